#pragma once

#include <cstdint>
#include <string>

// Keys by their place on the keyboard. Linux numbers them with evdev codes;
// the receiver sends usages of the USB HID Keyboard/Keypad page, which the
// computer it is plugged into turns into characters with its own layout.
// Capturing the place rather than the character makes the presenter send the
// key the user pressed, on every layout.

// The usage of the key with this evdev code; 0 for none.
std::uint8_t EvdevToUsage(int evdevCode);
// The evdev code of the key with this usage; -1 for none.
int UsageToEvdev(std::uint8_t usage);

// The virtual-key code a key capture field keeps for the key with this usage:
// the key at the same place on a US keyboard, or VK_SHIFT, VK_CONTROL,
// VK_MENU, VK_LWIN or VK_RWIN for either side's modifier. 0 for a key that
// the receiver's table cannot hold.
std::uint16_t UsageToVirtualKey(std::uint8_t usage);

// What a character key produces without modifiers on a US layout (UTF-8,
// letters in lower case); empty for a key whose name does not depend on the
// layout, such as "F5", "Page Up" or "Num 1".
std::string UsBaseCharacter(std::uint16_t virtualKey);
