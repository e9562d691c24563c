#include "KeyCodes.h"

#include <array>
#include <cstddef>

namespace {

struct ConversionRow
{
    std::uint8_t keyCode;
    std::uint8_t virtualKey;
};

// Consecutive keys that are consecutive in both numberings.
struct ConversionRun
{
    std::uint8_t keyCode;
    std::uint8_t virtualKey;
    std::uint8_t count = 1;
};

constexpr ConversionRun kRuns[] = {
    {0x04, 0x41, 26}, // A to Z
    {0x1E, 0x31, 9},  // 1 to 9 of the main block
    {0x27, 0x30},     // 0 of the main block
    {0x28, VK_RETURN},
    {0x29, VK_ESCAPE},
    {0x2A, VK_BACK},
    {0x2B, VK_TAB},
    {0x2C, VK_SPACE},
    {0x2D, VK_OEM_MINUS},
    {0x2E, VK_OEM_PLUS},
    {0x2F, VK_OEM_4},
    {0x30, VK_OEM_6},
    {0x31, VK_OEM_5},
    {0x33, VK_OEM_1},
    {0x34, VK_OEM_7},
    {0x35, VK_OEM_3},
    {0x36, VK_OEM_COMMA},
    {0x37, VK_OEM_PERIOD},
    {0x38, VK_OEM_2},
    {0x39, VK_CAPITAL},
    {0x3A, VK_F1, 12}, // F1 to F12
    {0x46, VK_SNAPSHOT},
    {0x47, VK_SCROLL},
    {0x48, VK_PAUSE},
    {0x49, VK_INSERT},
    {0x4A, VK_HOME},
    {0x4B, VK_PRIOR},
    {0x4C, VK_DELETE},
    {0x4D, VK_END},
    {0x4E, VK_NEXT},
    {0x4F, VK_RIGHT},
    {0x50, VK_LEFT},
    {0x51, VK_DOWN},
    {0x52, VK_UP},
    {0x53, VK_NUMLOCK},
    {0x54, VK_DIVIDE},
    {0x55, VK_MULTIPLY},
    {0x56, VK_SUBTRACT},
    {0x57, VK_ADD},
    {0x59, VK_NUMPAD1, 9}, // keypad 1 to 9
    {0x62, VK_NUMPAD0},
    // The field names the keypad decimal key "Num .", so it must also be
    // writable; without this row it would be written as "no key".
    {0x63, VK_DECIMAL},
};

constexpr std::size_t RowCount()
{
    std::size_t n = 0;
    for (const ConversionRun& run : kRuns)
        n += run.count;
    return n;
}

constexpr auto MakeTable()
{
    std::array<ConversionRow, RowCount()> rows{};
    std::size_t i = 0;
    for (const ConversionRun& run : kRuns)
        for (std::uint8_t k = 0; k < run.count; ++k)
            rows[i++] = {static_cast<std::uint8_t>(run.keyCode + k),
                         static_cast<std::uint8_t>(run.virtualKey + k)};
    return rows;
}

constexpr auto kConversionTable = MakeTable();

// Each direction must be the exact inverse of the other, so neither column
// may hold a code twice, and no row may pair a code with "no key".
constexpr bool IsOneToOne()
{
    for (std::size_t i = 0; i < kConversionTable.size(); ++i) {
        if (kConversionTable[i].keyCode == 0 || kConversionTable[i].virtualKey == 0)
            return false;
        for (std::size_t j = i + 1; j < kConversionTable.size(); ++j)
            if (kConversionTable[i].keyCode == kConversionTable[j].keyCode ||
                kConversionTable[i].virtualKey == kConversionTable[j].virtualKey)
                return false;
    }
    return true;
}
static_assert(kConversionTable.size() == 94);
static_assert(IsOneToOne());

struct NamedKey
{
    std::uint8_t vk;
    const char* name;
};

constexpr NamedKey kNames[] = {
    {VK_BACK, "Backspace"},
    {VK_TAB, "Tab"},
    {VK_RETURN, "Enter"},
    {VK_PAUSE, "Pause"},
    {VK_CAPITAL, "Caps Lock"},
    {VK_ESCAPE, "Esc"},
    {VK_SPACE, "Space"},
    {VK_PRIOR, "Page Up"},
    {VK_NEXT, "Page Down"},
    {VK_END, "End"},
    {VK_HOME, "Home"},
    {VK_LEFT, "Left"},
    {VK_UP, "Up"},
    {VK_RIGHT, "Right"},
    {VK_DOWN, "Down"},
    // Without a name of its own it would show as "," like the comma key.
    {VK_SNAPSHOT, "Print Screen"},
    {VK_INSERT, "Ins"},
    {VK_DELETE, "Del"},
    {VK_MULTIPLY, "Num *"},
    {VK_ADD, "Num +"},
    {VK_SUBTRACT, "Num -"},
    {VK_DECIMAL, "Num ."},
    {VK_DIVIDE, "Num /"},
    {VK_NUMLOCK, "Num Lock"},
    {VK_SCROLL, "Scroll"},
    {VK_OEM_1, ";"},
    {VK_OEM_PLUS, "="},
    {VK_OEM_COMMA, ","},
    {VK_OEM_MINUS, "-"},
    {VK_OEM_PERIOD, "."},
    {VK_OEM_2, "/"},
    {VK_OEM_3, "~"},
    {VK_OEM_4, "["},
    {VK_OEM_5, "\\"},
    {VK_OEM_6, "]"},
    {VK_OEM_7, "'"},
};

// Windows-1252 bytes 0x80 to 0x9F; the five bytes it leaves undefined map to
// the C1 controls of the same value, as Windows converts them. Every other
// byte is the Latin-1 character of the same value.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

// The one character whose ANSI code is the given byte, as UTF-8.
std::string AnsiCharacter(std::uint8_t byte)
{
    if (byte == 0)
        return {}; // "%c" of 0 ends the string at once
    const char32_t c = (byte >= 0x80 && byte < 0xA0) ? kCp1252High[byte - 0x80] : byte;
    std::string out;
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
    return out;
}

bool IsPrefixOnlyKey(std::uint8_t vk)
{
    return vk == VK_SHIFT || vk == VK_CONTROL || vk == VK_MENU;
}

} // namespace

std::uint8_t KeyCodeToVirtualKey(std::uint8_t keyCode)
{
    for (const ConversionRow& row : kConversionTable)
        if (row.keyCode == keyCode)
            return row.virtualKey;
    return 0;
}

std::uint8_t VirtualKeyToKeyCode(std::uint16_t virtualKey)
{
    const auto vk = static_cast<std::uint8_t>(virtualKey & 0xFF);
    for (const ConversionRow& row : kConversionTable)
        if (row.virtualKey == vk)
            return row.keyCode;
    return 0;
}

std::string KeyName(std::uint16_t virtualKey, bool leftWinHeld, bool rightWinHeld)
{
    // Virtual-key codes are below 256; a larger value is named by its low
    // byte, the same byte that the field keeps and the receiver is sent.
    const auto vk = static_cast<std::uint8_t>(virtualKey & 0xFF);
    if (vk == VK_LWIN)
        return leftWinHeld ? std::string() : std::string("Windows");
    if (vk == VK_RWIN)
        return rightWinHeld ? std::string() : std::string("Windows");
    if (vk >= VK_NUMPAD0 && vk <= VK_NUMPAD9)
        return std::string("Num ") += static_cast<char>('0' + (vk - VK_NUMPAD0));
    if (vk >= VK_F1 && vk <= VK_F12)
        // Appended rather than "F" + ..., which trips a false -Wrestrict in GCC 12.
        return std::string("F") += std::to_string(vk - VK_F1 + 1);
    if (IsPrefixOnlyKey(vk))
        return {};
    for (const NamedKey& named : kNames)
        if (named.vk == vk)
            return named.name;
    return AnsiCharacter(vk);
}

std::string ModifierPrefix(PrefixForm form, bool shift, bool ctrl, bool alt, bool rightWin,
                           bool leftWin)
{
    std::string prefix;
    if (shift)
        prefix += "Shift+";
    if (ctrl)
        prefix += "Ctrl+";
    if (alt)
        prefix += "Alt+";
    const bool latched = form == PrefixForm::Latched;
    if (rightWin)
        prefix += latched ? "R_Wnd+" : "Windows+";
    if (leftWin)
        prefix += latched ? "L_Wnd+" : "Windows+";
    return prefix;
}

std::string KeyDisplayText(const std::string& prefix, std::uint16_t vk, bool leftWinHeld,
                           bool rightWinHeld)
{
    if (IsPrefixOnlyKey(static_cast<std::uint8_t>(vk & 0xFF)))
        return prefix;
    return prefix + KeyName(vk, leftWinHeld, rightWinHeld);
}
