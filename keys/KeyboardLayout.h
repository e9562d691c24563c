#pragma once

#include <QString>
#include <cstdint>
#include <memory>

class QKeyEvent;

// What the capture fields learn from the keyboard in use: which physical key
// an event comes from, and what that key produces on the layout in use. The
// program asks the window system; tests put in a layout of their own.
class KeyboardLayout
{
public:
    virtual ~KeyboardLayout() = default;

    // The evdev code of the key of an event, -1 when the event does not say.
    // On X11 and Wayland the native scan code is the XKB keycode, which is
    // the evdev code plus 8.
    virtual int EvdevCode(const QKeyEvent& event) const;

    // What the key with this evdev code produces without modifiers on the
    // layout in use; a dead key as its spacing mark ("^", "´"). Empty when
    // not known.
    virtual QString BaseSymbol(int evdevCode) = 0;

    // The layout may have changed since it was last asked (the user may
    // switch layouts at any time).
    virtual void Invalidate() {}

    // The layout the capture fields use; built on first use for the platform.
    static KeyboardLayout& Current();
    // Replaces it (tests); nullptr brings back the platform's.
    static void Install(std::unique_ptr<KeyboardLayout> layout);
};

// The name a capture field shows for a character key: what the key produces
// on this layout without modifiers, in upper case ("Z" for the key at the
// place of Y on a German keyboard). Empty for keys named by the key-name
// table, and where the layout gives what a US keyboard gives, so that a US
// layout shows every name as KeyName does.
QString LayoutKeyName(KeyboardLayout& layout, std::uint16_t virtualKey);
