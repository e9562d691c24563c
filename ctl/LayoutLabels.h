// How the desktop's keyboard layout labels the character keys, so that show
// can print the label beside a key's name where the two differ: key names
// and files stay those of a US keyboard (a file means the same on every
// computer), while the program's key fields name keys as the layout does.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

struct xkb_keymap;

class LayoutLabels
{
public:
    // The X server's layout ($DISPLAY; on Wayland desktops XWayland's, which
    // follows the compositor's), else the one XKB_DEFAULT_LAYOUT names; none
    // at all without either.
    static LayoutLabels OfDesktop();
    // The layout of these XKB rule names ("de", ""), for tests.
    static LayoutLabels OfNames(const char* layout, const char* variant);

    // What the layout prints on the key with this key code, in upper case as
    // on a keycap ("Z" for Y on a German layout); empty where it prints what
    // a US keyboard does, and for keys named the same everywhere (F5, Num 1).
    std::string Label(std::uint8_t keyCode) const;

private:
    std::shared_ptr<xkb_keymap> keymap;
    std::uint32_t layout = 0; // the one in use, of those the keymap holds
};
