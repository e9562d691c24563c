// The presenter models and the four families their receivers belong to: the
// plain facts every front end needs (table size, button names, factory
// table), with no user-interface data. Model texts are compared byte for byte.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

enum class PresenterFamilyId
{
    TwoKey, // LT-61
    Qn,     // QN-90, QN-70 Vela, QN-95 Vela
    Lt61p,  // LT-61P, LT-65
    Rv80    // RV-80, RV-80G
};

struct PresenterFamily
{
    static constexpr int kMaxSlots = 10;

    PresenterFamilyId id;
    const char* name; // how messages name the family
    int tableSize;    // the receiver's table size, also the number of buttons
    // Slot order: slot 1 first. Only the first tableSize entries are used.
    std::array<const char*, kMaxSlots> buttonNames; // as labelled on the dialog
    std::array<std::uint8_t, kMaxSlots> factoryModifiers;
    std::array<std::uint8_t, kMaxSlots> factoryKeyCodes; // HID keyboard usages
};

struct PresenterModel
{
    const char* text;
    PresenterFamilyId family;
    bool listed; // offered in the main window's model list
};

// In the main window's list order; "QN-90" is known but not listed.
inline constexpr std::array<PresenterModel, 8> kPresenterModels{{
    {"LT-61", PresenterFamilyId::TwoKey, true},
    {"LT-61P", PresenterFamilyId::Lt61p, true},
    {"LT-65", PresenterFamilyId::Lt61p, true},
    {"RV-80", PresenterFamilyId::Rv80, true},
    {"RV-80G", PresenterFamilyId::Rv80, true},
    {"QN-70 Vela", PresenterFamilyId::Qn, true},
    {"QN-95 Vela", PresenterFamilyId::Qn, true},
    {"QN-90", PresenterFamilyId::Qn, false},
}};

// Factory key codes: 0x4B Page Up, 0x4E Page Down, 0x3E F5, 0x29 Esc,
// 0x2B Tab (with Alt), 0x37 full stop, 0x51 Down, 0x52 Up.
inline constexpr std::array<PresenterFamily, 4> kPresenterFamilies{{
    {PresenterFamilyId::TwoKey, "LT-61", 2, {"PAGE UP", "PAGE DOWN"}, {0x00, 0x00}, {0x4B, 0x4E}},
    // The QN backgrounds show symbols; these are their meanings.
    {PresenterFamilyId::Qn,
     "QN",
     5,
     {"SLIDESHOW", "EXIT", "SWITCH WINDOW", "LEFT", "RIGHT"},
     {0x00, 0x00, 0x04, 0x00, 0x00},
     {0x3E, 0x29, 0x2B, 0x4B, 0x4E}},
    {PresenterFamilyId::Lt61p,
     "LT-61P/LT-65",
     5,
     {"PREVIOUS", "NEXT", "BLACK SCREEN", "START", "END"},
     {0x00, 0x00, 0x00, 0x00, 0x00},
     {0x4B, 0x4E, 0x37, 0x3E, 0x29}},
    {PresenterFamilyId::Rv80,
     "RV-80",
     7,
     {"BLACK SCREEN", "DOWN", "UP", "START", "END", "PREVIOUS", "NEXT"},
     {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00},
     {0x37, 0x51, 0x52, 0x3E, 0x29, 0x4B, 0x4E}},
}};

// The table sizes some presenter has; any other size is no family's.
inline constexpr std::array<int, 4> kKnownTableSizes{2, 4, 5, 7};

constexpr const PresenterFamily& FamilyData(PresenterFamilyId id)
{
    for (const PresenterFamily& family : kPresenterFamilies)
        if (family.id == id)
            return family;
    return kPresenterFamilies[0];
}

// Null when the text names no model. Byte for byte.
const PresenterModel* FindPresenterModel(std::string_view text);
// The same, ignoring ASCII case, for texts typed on a command line.
const PresenterModel* FindPresenterModelIgnoringCase(std::string_view text);

// A received size of 0 (no table) or of another family's table: a dialog of
// this family shows its factory table instead.
bool ShowsFactoryTable(const PresenterFamily& family, int receivedSize);
