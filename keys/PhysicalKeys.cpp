#include "PhysicalKeys.h"

#include "KeyCodes.h"

#include <array>

namespace {

struct EvdevUsage
{
    std::uint16_t evdev;
    std::uint8_t usage;
};

// The fixed assignment of Linux input event codes to HID Keyboard/Keypad
// usages (the keyboard table of the kernel's HID input driver, read the other
// way). Keys reported only on other usage pages are left out.
constexpr EvdevUsage kEvdevUsages[] = {
    {1, 0x29},   {2, 0x1E},   {3, 0x1F},   {4, 0x20},   {5, 0x21},   {6, 0x22},   {7, 0x23},
    {8, 0x24},   {9, 0x25},   {10, 0x26},  {11, 0x27},  {12, 0x2D},  {13, 0x2E},  {14, 0x2A},
    {15, 0x2B},  {16, 0x14},  {17, 0x1A},  {18, 0x08},  {19, 0x15},  {20, 0x17},  {21, 0x1C},
    {22, 0x18},  {23, 0x0C},  {24, 0x12},  {25, 0x13},  {26, 0x2F},  {27, 0x30},  {28, 0x28},
    {29, 0xE0},  {30, 0x04},  {31, 0x16},  {32, 0x07},  {33, 0x09},  {34, 0x0A},  {35, 0x0B},
    {36, 0x0D},  {37, 0x0E},  {38, 0x0F},  {39, 0x33},  {40, 0x34},  {41, 0x35},  {42, 0xE1},
    {43, 0x31},  {44, 0x1D},  {45, 0x1B},  {46, 0x06},  {47, 0x19},  {48, 0x05},  {49, 0x11},
    {50, 0x10},  {51, 0x36},  {52, 0x37},  {53, 0x38},  {54, 0xE5},  {55, 0x55},  {56, 0xE2},
    {57, 0x2C},  {58, 0x39},  {59, 0x3A},  {60, 0x3B},  {61, 0x3C},  {62, 0x3D},  {63, 0x3E},
    {64, 0x3F},  {65, 0x40},  {66, 0x41},  {67, 0x42},  {68, 0x43},  {69, 0x53},  {70, 0x47},
    {71, 0x5F},  {72, 0x60},  {73, 0x61},  {74, 0x56},  {75, 0x5C},  {76, 0x5D},  {77, 0x5E},
    {78, 0x57},  {79, 0x59},  {80, 0x5A},  {81, 0x5B},  {82, 0x62},  {83, 0x63},  {85, 0x94},
    {86, 0x64},  {87, 0x44},  {88, 0x45},  {89, 0x87},  {90, 0x92},  {91, 0x93},  {92, 0x8A},
    {93, 0x88},  {94, 0x8B},  {95, 0x8C},  {96, 0x58},  {97, 0xE4},  {98, 0x54},  {99, 0x46},
    {100, 0xE6}, {102, 0x4A}, {103, 0x52}, {104, 0x4B}, {105, 0x50}, {106, 0x4F}, {107, 0x4D},
    {108, 0x51}, {109, 0x4E}, {110, 0x49}, {111, 0x4C}, {113, 0x7F}, {114, 0x81}, {115, 0x80},
    {116, 0x66}, {117, 0x67}, {119, 0x48}, {121, 0x85}, {122, 0x90}, {123, 0x91}, {124, 0x89},
    {125, 0xE3}, {126, 0xE7}, {127, 0x65}, {128, 0x78}, {129, 0x79}, {130, 0x76}, {131, 0x7A},
    {132, 0x77}, {133, 0x7C}, {134, 0x74}, {135, 0x7D}, {136, 0x7E}, {137, 0x7B}, {138, 0x75},
    {179, 0xB6}, {180, 0xB7}, {183, 0x68}, {184, 0x69}, {185, 0x6A}, {186, 0x6B}, {187, 0x6C},
    {188, 0x6D}, {189, 0x6E}, {190, 0x6F}, {191, 0x70}, {192, 0x71}, {193, 0x72}, {194, 0x73},
};

constexpr int kEvdevLimit = 195;

constexpr auto MakeEvdevTable()
{
    std::array<std::uint8_t, kEvdevLimit> table{};
    for (const EvdevUsage& row : kEvdevUsages)
        table[row.evdev] = row.usage;
    return table;
}

constexpr auto kEvdevTable = MakeEvdevTable();

// No usage may stand for two keys, or a key read back from the receiver
// could not be found again.
constexpr bool UsagesAreDistinct()
{
    for (std::size_t i = 0; i < std::size(kEvdevUsages); ++i)
        for (std::size_t j = i + 1; j < std::size(kEvdevUsages); ++j)
            if (kEvdevUsages[i].usage == kEvdevUsages[j].usage ||
                kEvdevUsages[i].evdev == kEvdevUsages[j].evdev)
                return false;
    return true;
}
static_assert(UsagesAreDistinct());

struct BaseCharacter
{
    std::uint8_t vk;
    const char* text;
};

constexpr BaseCharacter kUsBase[] = {
    {VK_OEM_1, ";"},      {VK_OEM_PLUS, "="}, {VK_OEM_COMMA, ","}, {VK_OEM_MINUS, "-"},
    {VK_OEM_PERIOD, "."}, {VK_OEM_2, "/"},    {VK_OEM_3, "`"},     {VK_OEM_4, "["},
    {VK_OEM_5, "\\"},     {VK_OEM_6, "]"},    {VK_OEM_7, "'"},
};

} // namespace

std::uint8_t EvdevToUsage(int evdevCode)
{
    if (evdevCode < 0 || evdevCode >= kEvdevLimit)
        return 0;
    return kEvdevTable[evdevCode];
}

int UsageToEvdev(std::uint8_t usage)
{
    if (usage == 0)
        return -1;
    for (const EvdevUsage& row : kEvdevUsages)
        if (row.usage == usage)
            return row.evdev;
    return -1;
}

std::uint16_t UsageToVirtualKey(std::uint8_t usage)
{
    switch (usage) {
    case 0xE0: // left and right Control
    case 0xE4:
        return VK_CONTROL;
    case 0xE1: // left and right Shift
    case 0xE5:
        return VK_SHIFT;
    case 0xE2: // left and right Alt (AltGr)
    case 0xE6:
        return VK_MENU;
    case 0xE3:
        return VK_LWIN;
    case 0xE7:
        return VK_RWIN;
    case 0x58:
        // The table has no row for the keypad's Enter; computers treat it
        // as Enter, which is what the field has always captured for it.
        return VK_RETURN;
    default:
        return KeyCodeToVirtualKey(usage);
    }
}

std::string UsBaseCharacter(std::uint16_t virtualKey)
{
    if (virtualKey >= VK_A && virtualKey < VK_A + 26)
        return std::string(1, static_cast<char>('a' + (virtualKey - VK_A)));
    if (virtualKey >= VK_0 && virtualKey < VK_0 + 10)
        return std::string(1, static_cast<char>('0' + (virtualKey - VK_0)));
    for (const BaseCharacter& base : kUsBase)
        if (base.vk == virtualKey)
            return base.text;
    return {};
}
