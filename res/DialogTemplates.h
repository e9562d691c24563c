#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The program's dialog templates, in dialog units, as the resource compiler
// would have laid them out. SkinDialog::ApplyTemplate turns them into widget
// geometry at kPixelsPerDialogUnit pixels per unit in both directions.

inline constexpr int kPixelsPerDialogUnit = 2;

// Window and control style bits, with their Windows values, so that a template
// reads like its resource script.
inline constexpr std::uint32_t WS_POPUP = 0x80000000u;
inline constexpr std::uint32_t WS_CHILD = 0x40000000u;
inline constexpr std::uint32_t WS_VISIBLE = 0x10000000u;
inline constexpr std::uint32_t WS_DISABLED = 0x08000000u;
inline constexpr std::uint32_t WS_BORDER = 0x00800000u;
inline constexpr std::uint32_t WS_VSCROLL = 0x00200000u;
inline constexpr std::uint32_t WS_GROUP = 0x00020000u;
inline constexpr std::uint32_t WS_TABSTOP = 0x00010000u;
inline constexpr std::uint32_t DS_SETFONT = 0x00000040u;
inline constexpr std::uint32_t ES_CENTER = 0x0001u;
inline constexpr std::uint32_t ES_AUTOHSCROLL = 0x0080u;
inline constexpr std::uint32_t ES_NOHIDESEL = 0x0100u;
inline constexpr std::uint32_t BS_GROUPBOX = 0x0007u;
inline constexpr std::uint32_t BS_OWNERDRAW = 0x000Bu;
inline constexpr std::uint32_t BS_TYPEMASK = 0x000Fu;
inline constexpr std::uint32_t BS_CENTER = 0x0300u;
inline constexpr std::uint32_t SS_CENTER = 0x0001u;
inline constexpr std::uint32_t SS_BITMAP = 0x000Eu;
inline constexpr std::uint32_t SS_TYPEMASK = 0x001Fu;
inline constexpr std::uint32_t SS_NOTIFY = 0x0100u;
inline constexpr std::uint32_t SS_CENTERIMAGE = 0x0200u;
inline constexpr std::uint32_t CBS_DROPDOWN = 0x0002u;

enum class ControlClass
{
    Edit,
    Button,
    Static,
    ComboBox,
    GroupBox
};

struct ControlTemplate
{
    int id;
    ControlClass cls;
    const char* text; // UTF-8; empty for edits, lists and pictures
    int x, y, cx, cy;
    std::uint32_t style;
    bool visible; // WS_VISIBLE, kept apart for readability
    int bitmapId; // SS_BITMAP pictures only, else 0
};

struct DialogTemplate
{
    int id;
    int cx, cy;
    std::vector<ControlTemplate> controls; // template order = tab order
};

// nullptr for an id that is not one of the program's templates.
const DialogTemplate* FindDialogTemplate(int id);

// The entries a template adds to a list control when the dialog is created, in
// order; empty when the control has none.
std::vector<std::string> ControlInitialData(int templateId, int controlId);
