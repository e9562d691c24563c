#pragma once

#include <cstdint>
#include <string>

// Windows virtual-key codes. The capture field and the configuration dialogs
// speak these codes on every platform, so they are defined here rather than
// taken from a platform header.
inline constexpr std::uint16_t VK_CANCEL = 0x03;
inline constexpr std::uint16_t VK_BACK = 0x08;
inline constexpr std::uint16_t VK_TAB = 0x09;
inline constexpr std::uint16_t VK_CLEAR = 0x0C;
inline constexpr std::uint16_t VK_RETURN = 0x0D;
inline constexpr std::uint16_t VK_SHIFT = 0x10;
inline constexpr std::uint16_t VK_CONTROL = 0x11;
inline constexpr std::uint16_t VK_MENU = 0x12;
inline constexpr std::uint16_t VK_PAUSE = 0x13;
inline constexpr std::uint16_t VK_CAPITAL = 0x14;
inline constexpr std::uint16_t VK_HANGUL = 0x15;
inline constexpr std::uint16_t VK_HANJA = 0x19;
inline constexpr std::uint16_t VK_ESCAPE = 0x1B;
inline constexpr std::uint16_t VK_SPACE = 0x20;
inline constexpr std::uint16_t VK_PRIOR = 0x21;
inline constexpr std::uint16_t VK_NEXT = 0x22;
inline constexpr std::uint16_t VK_END = 0x23;
inline constexpr std::uint16_t VK_HOME = 0x24;
inline constexpr std::uint16_t VK_LEFT = 0x25;
inline constexpr std::uint16_t VK_UP = 0x26;
inline constexpr std::uint16_t VK_RIGHT = 0x27;
inline constexpr std::uint16_t VK_DOWN = 0x28;
inline constexpr std::uint16_t VK_SELECT = 0x29;
inline constexpr std::uint16_t VK_PRINT = 0x2A;
inline constexpr std::uint16_t VK_EXECUTE = 0x2B;
inline constexpr std::uint16_t VK_SNAPSHOT = 0x2C;
inline constexpr std::uint16_t VK_INSERT = 0x2D;
inline constexpr std::uint16_t VK_DELETE = 0x2E;
inline constexpr std::uint16_t VK_HELP = 0x2F;
inline constexpr std::uint16_t VK_0 = 0x30; // '0' to '9' follow in order
inline constexpr std::uint16_t VK_A = 0x41; // 'A' to 'Z' follow in order
inline constexpr std::uint16_t VK_LWIN = 0x5B;
inline constexpr std::uint16_t VK_RWIN = 0x5C;
inline constexpr std::uint16_t VK_APPS = 0x5D;
inline constexpr std::uint16_t VK_SLEEP = 0x5F;
inline constexpr std::uint16_t VK_NUMPAD0 = 0x60;
inline constexpr std::uint16_t VK_NUMPAD1 = 0x61;
inline constexpr std::uint16_t VK_NUMPAD2 = 0x62;
inline constexpr std::uint16_t VK_NUMPAD3 = 0x63;
inline constexpr std::uint16_t VK_NUMPAD4 = 0x64;
inline constexpr std::uint16_t VK_NUMPAD5 = 0x65;
inline constexpr std::uint16_t VK_NUMPAD6 = 0x66;
inline constexpr std::uint16_t VK_NUMPAD7 = 0x67;
inline constexpr std::uint16_t VK_NUMPAD8 = 0x68;
inline constexpr std::uint16_t VK_NUMPAD9 = 0x69;
inline constexpr std::uint16_t VK_MULTIPLY = 0x6A;
inline constexpr std::uint16_t VK_ADD = 0x6B;
inline constexpr std::uint16_t VK_SEPARATOR = 0x6C;
inline constexpr std::uint16_t VK_SUBTRACT = 0x6D;
inline constexpr std::uint16_t VK_DECIMAL = 0x6E;
inline constexpr std::uint16_t VK_DIVIDE = 0x6F;
inline constexpr std::uint16_t VK_F1 = 0x70;
inline constexpr std::uint16_t VK_F2 = 0x71;
inline constexpr std::uint16_t VK_F3 = 0x72;
inline constexpr std::uint16_t VK_F4 = 0x73;
inline constexpr std::uint16_t VK_F5 = 0x74;
inline constexpr std::uint16_t VK_F6 = 0x75;
inline constexpr std::uint16_t VK_F7 = 0x76;
inline constexpr std::uint16_t VK_F8 = 0x77;
inline constexpr std::uint16_t VK_F9 = 0x78;
inline constexpr std::uint16_t VK_F10 = 0x79;
inline constexpr std::uint16_t VK_F11 = 0x7A;
inline constexpr std::uint16_t VK_F12 = 0x7B;
inline constexpr std::uint16_t VK_F13 = 0x7C;
inline constexpr std::uint16_t VK_F24 = 0x87; // F13 to F24 are consecutive
inline constexpr std::uint16_t VK_NUMLOCK = 0x90;
inline constexpr std::uint16_t VK_SCROLL = 0x91;
inline constexpr std::uint16_t VK_LSHIFT = 0xA0;
inline constexpr std::uint16_t VK_RSHIFT = 0xA1;
inline constexpr std::uint16_t VK_LCONTROL = 0xA2;
inline constexpr std::uint16_t VK_RCONTROL = 0xA3;
inline constexpr std::uint16_t VK_LMENU = 0xA4;
inline constexpr std::uint16_t VK_RMENU = 0xA5;
inline constexpr std::uint16_t VK_BROWSER_BACK = 0xA6;
inline constexpr std::uint16_t VK_BROWSER_FORWARD = 0xA7;
inline constexpr std::uint16_t VK_BROWSER_REFRESH = 0xA8;
inline constexpr std::uint16_t VK_BROWSER_STOP = 0xA9;
inline constexpr std::uint16_t VK_BROWSER_SEARCH = 0xAA;
inline constexpr std::uint16_t VK_BROWSER_FAVORITES = 0xAB;
inline constexpr std::uint16_t VK_BROWSER_HOME = 0xAC;
inline constexpr std::uint16_t VK_VOLUME_MUTE = 0xAD;
inline constexpr std::uint16_t VK_VOLUME_DOWN = 0xAE;
inline constexpr std::uint16_t VK_VOLUME_UP = 0xAF;
inline constexpr std::uint16_t VK_MEDIA_NEXT_TRACK = 0xB0;
inline constexpr std::uint16_t VK_MEDIA_PREV_TRACK = 0xB1;
inline constexpr std::uint16_t VK_MEDIA_STOP = 0xB2;
inline constexpr std::uint16_t VK_MEDIA_PLAY_PAUSE = 0xB3;
inline constexpr std::uint16_t VK_LAUNCH_MAIL = 0xB4;
inline constexpr std::uint16_t VK_LAUNCH_MEDIA_SELECT = 0xB5;
inline constexpr std::uint16_t VK_LAUNCH_APP1 = 0xB6;
inline constexpr std::uint16_t VK_LAUNCH_APP2 = 0xB7;
inline constexpr std::uint16_t VK_OEM_1 = 0xBA;      // ;:
inline constexpr std::uint16_t VK_OEM_PLUS = 0xBB;   // =+
inline constexpr std::uint16_t VK_OEM_COMMA = 0xBC;  // ,<
inline constexpr std::uint16_t VK_OEM_MINUS = 0xBD;  // -_
inline constexpr std::uint16_t VK_OEM_PERIOD = 0xBE; // .>
inline constexpr std::uint16_t VK_OEM_2 = 0xBF;      // /?
inline constexpr std::uint16_t VK_OEM_3 = 0xC0;      // `~
inline constexpr std::uint16_t VK_OEM_4 = 0xDB;      // [{
inline constexpr std::uint16_t VK_OEM_5 = 0xDC;      // \|
inline constexpr std::uint16_t VK_OEM_6 = 0xDD;      // ]}
inline constexpr std::uint16_t VK_OEM_7 = 0xDE;      // '"
inline constexpr std::uint16_t VK_OEM_102 = 0xE2;    // the extra key of ISO keyboards

// Receiver key code (HID Keyboard/Keypad usage) to virtual-key code; 0 when
// the code has no row in the conversion table.
std::uint8_t KeyCodeToVirtualKey(std::uint8_t keyCode);
// The same table read the other way; only the low 8 bits of virtualKey count.
std::uint8_t VirtualKeyToKeyCode(std::uint16_t virtualKey);

// The name shown for a key (UTF-8). The Windows keys have no name of their
// own while they are held, so that a held Windows key shows as its prefix only.
std::string KeyName(std::uint16_t vk, bool leftWinHeld, bool rightWinHeld);

enum class PrefixForm
{
    Latched, // a finished combination: "Shift+Ctrl+Alt+R_Wnd+L_Wnd+"
    Live     // keys held down now: "Shift+Ctrl+Alt+Windows+Windows+"
};
std::string ModifierPrefix(PrefixForm form, bool shift, bool ctrl, bool alt, bool rightWin,
                           bool leftWin);

// The prefix followed by the key's name; the prefix alone for Shift, Ctrl
// and Alt.
std::string KeyDisplayText(const std::string& prefix, std::uint16_t vk, bool leftWinHeld,
                           bool rightWinHeld);
