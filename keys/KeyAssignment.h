#pragma once

#include <cstdint>

// One presenter button's key as the receiver stores it.
struct KeyAssignment
{
    std::uint8_t modifiers = 0; // kMod* bits; bits 4 to 7 are ignored
    std::uint8_t keyCode = 0;   // HID Keyboard/Keypad usage ID; 0 = no key
};

// The left-hand half of the boot-keyboard modifier byte; one bit covers both
// sides of each modifier.
inline constexpr std::uint8_t kModCtrl = 0x01;
inline constexpr std::uint8_t kModShift = 0x02;
inline constexpr std::uint8_t kModAlt = 0x04;
inline constexpr std::uint8_t kModWin = 0x08;
