// The receiver's keyboard input as hidraw delivers it: where the keyboard
// collection's keys lie in its input reports (from the report descriptor),
// what one report holds, and which combinations a run of reports presses.
// Plain data, no device: the caller reads the node.
#pragma once

#include "KeyAssignment.h"

#include <cstdint>
#include <vector>

// One Input item of the keyboard collection, on the Keyboard/Keypad page.
struct KeyboardField
{
    int bitOffset = 0; // after the report ID byte, when there is one
    int bitSize = 0;
    int count = 0;
    bool variable = false;             // one bit per usage (modifiers, bitmap keys)
    std::uint32_t usageMin = 0;        // of the usage range or the first usage
    std::vector<std::uint32_t> usages; // listed one by one instead of a range
    std::int32_t logicalMin = 0;
    std::int32_t logicalMax = 0;
};

struct KeyboardLayout
{
    bool found = false;     // a keyboard application collection (usage page 1, usage 6)
    bool reportIds = false; // the descriptor numbers its reports: each starts with its ID
    int reportId = 0;       // the keyboard collection's; 0 without report IDs
    std::vector<KeyboardField> fields;
};

// What the descriptor says of the keyboard collection. Never reads past the
// end; a broken or foreign descriptor gives found == false.
KeyboardLayout ParseKeyboardLayout(const std::vector<unsigned char>& descriptor);

// The keys down in one report: the modifier byte as a boot keyboard sends it
// (bit 0 left Ctrl ... bit 7 right GUI) and the other usages, in report
// order.
struct KeyboardState
{
    std::uint8_t modifiers = 0;
    std::vector<std::uint8_t> keys;
};

// False for a report of another collection (another report ID), one too
// short for the layout, or a keyboard's "too many keys" report.
bool DecodeKeyboardReport(const KeyboardLayout& layout, const unsigned char* data, std::size_t size,
                          KeyboardState& state);

// Turns reports into the combinations they press: a key that goes down
// is one combination with the modifiers held with it; several keys going
// down in one report are several combinations; a report with every key up
// is the release.
class KeyPresses
{
public:
    std::vector<KeyAssignment> Next(const KeyboardState& state);

private:
    std::vector<std::uint8_t> down;
};

// The modifier byte of a boot keyboard folded into a table entry's: the
// receiver's table has one bit per modifier, for either side.
std::uint8_t TableModifiers(std::uint8_t reportModifiers);
