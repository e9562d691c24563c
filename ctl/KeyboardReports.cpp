#include "KeyboardReports.h"

#include <algorithm>
#include <map>

namespace {

constexpr std::uint32_t kKeyboardApplication = 0x00010006; // Generic Desktop, Keyboard
constexpr std::uint32_t kKeyboardPage = 0x07;
constexpr std::uint32_t kFirstModifier = 0xE0, kLastModifier = 0xE7;

struct Globals
{
    std::uint32_t usagePage = 0;
    std::int32_t logicalMin = 0, logicalMax = 0;
    bool logicalMaxNegative = false; // as written, before the fix-up below
    int reportSize = 0, reportCount = 0, reportId = 0;
};

std::uint32_t Unsigned(const unsigned char* data, std::size_t size)
{
    std::uint32_t value = 0;
    for (std::size_t k = 0; k < size; ++k)
        value |= static_cast<std::uint32_t>(data[k]) << (8 * k);
    return value;
}

std::int32_t Signed(const unsigned char* data, std::size_t size)
{
    const std::uint32_t value = Unsigned(data, size);
    if (size == 0 || size >= 4)
        return static_cast<std::int32_t>(value);
    const std::uint32_t sign = 1u << (8 * size - 1);
    return static_cast<std::int32_t>((value ^ sign) - sign);
}

std::uint32_t Bits(const unsigned char* data, int offset, int count)
{
    std::uint32_t value = 0;
    for (int i = 0; i < count; ++i) {
        const int bit = offset + i;
        if (data[bit / 8] & (1u << (bit % 8)))
            value |= 1u << i;
    }
    return value;
}

} // namespace

KeyboardLayout ParseKeyboardLayout(const std::vector<unsigned char>& d)
{
    KeyboardLayout layout;
    Globals globals;
    std::vector<Globals> stack;
    std::vector<std::uint32_t> usages;
    std::uint32_t usageMin = 0;
    bool haveRange = false;
    int depth = 0, keyboardDepth = -1;
    bool keyboardReportIdKnown = false;
    std::map<int, int> inputBits; // per report ID

    const auto full = [&](std::uint32_t usage, std::size_t size) {
        return size == 4 ? usage : (globals.usagePage << 16) | (usage & 0xFFFF);
    };
    for (std::size_t i = 0; i < d.size();) {
        const unsigned char prefix = d[i];
        if (prefix == 0xFE) { // long item: never a keyboard's
            if (i + 2 >= d.size())
                return {};
            i += 3 + d[i + 1];
            continue;
        }
        const std::size_t size = (prefix & 3) == 3 ? 4 : (prefix & 3);
        if (i + 1 + size > d.size())
            return {};
        const unsigned char* data = d.data() + i + 1;
        const int type = (prefix >> 2) & 3, tag = prefix >> 4;
        i += 1 + size;

        if (type == 1) { // global
            switch (tag) {
            case 0x0:
                globals.usagePage = Unsigned(data, size);
                break;
            case 0x1:
                globals.logicalMin = Signed(data, size);
                break;
            case 0x2:
                globals.logicalMax = Signed(data, size);
                globals.logicalMaxNegative = globals.logicalMax < 0;
                break;
            case 0x7:
                globals.reportSize = static_cast<int>(Unsigned(data, size));
                break;
            case 0x8:
                globals.reportId = static_cast<int>(Unsigned(data, size));
                layout.reportIds = true;
                break;
            case 0x9:
                globals.reportCount = static_cast<int>(Unsigned(data, size));
                break;
            case 0xA:
                stack.push_back(globals);
                break;
            case 0xB:
                if (stack.empty())
                    return {};
                globals = stack.back();
                stack.pop_back();
                break;
            default:
                break;
            }
            continue;
        }
        if (type == 2) { // local
            if (tag == 0x0)
                usages.push_back(full(Unsigned(data, size), size));
            else if (tag == 0x1)
                usageMin = full(Unsigned(data, size), size), haveRange = true;
            else if (tag == 0x2) // the count bounds the range
                haveRange = true;
            continue;
        }
        if (type != 0)
            return {};
        // Main items.
        if (tag == 0xA) { // collection
            const bool application = size > 0 && data[0] == 1;
            if (application && keyboardDepth < 0 && !usages.empty() &&
                usages.front() == kKeyboardApplication)
                keyboardDepth = depth;
            ++depth;
        } else if (tag == 0xC) { // end collection
            if (depth == 0)
                return {};
            if (--depth == keyboardDepth)
                keyboardDepth = -2; // the first keyboard collection only
        } else if (tag == 0x8) {    // input
            // Checked before multiplying: a hostile descriptor may give any size.
            if (globals.reportSize < 0 || globals.reportSize > 32 || globals.reportCount < 0 ||
                globals.reportCount > 4096)
                return {};
            const int bits = globals.reportSize * globals.reportCount;
            const bool constant = size > 0 && (data[0] & 1);
            const std::uint32_t page = haveRange         ? usageMin >> 16
                                       : !usages.empty() ? usages.front() >> 16
                                                         : 0;
            if (keyboardDepth >= 0 && !constant && page == kKeyboardPage) {
                if (keyboardReportIdKnown && globals.reportId != layout.reportId)
                    return {}; // a keyboard spread over several reports: not a presenter's
                keyboardReportIdKnown = true;
                layout.reportId = globals.reportId;
                KeyboardField field;
                field.bitOffset = inputBits[globals.reportId];
                field.bitSize = globals.reportSize;
                field.count = globals.reportCount;
                field.variable = size > 0 && (data[0] & 2);
                if (haveRange)
                    field.usageMin = usageMin & 0xFFFF;
                else
                    for (std::uint32_t u : usages)
                        field.usages.push_back(u & 0xFFFF);
                field.logicalMin = globals.logicalMin;
                field.logicalMax = globals.logicalMax;
                // "25 FF" means 255 to most keyboards, although it reads -1.
                if (globals.logicalMaxNegative && globals.logicalMin >= 0)
                    field.logicalMax &= (1 << std::min(globals.reportSize, 31)) - 1;
                layout.fields.push_back(field);
            }
            inputBits[globals.reportId] += bits;
        }
        usages.clear();
        usageMin = 0;
        haveRange = false;
    }
    layout.found = keyboardReportIdKnown;
    if (!layout.found)
        return {};
    return layout;
}

bool DecodeKeyboardReport(const KeyboardLayout& layout, const unsigned char* data, std::size_t size,
                          KeyboardState& state)
{
    if (!layout.found)
        return false;
    if (layout.reportIds) {
        if (size < 1 || data[0] != layout.reportId)
            return false;
        ++data;
        --size;
    }
    KeyboardState out;
    const long available = static_cast<long>(size) * 8;
    for (const KeyboardField& f : layout.fields) {
        if (f.bitOffset + static_cast<long>(f.bitSize) * f.count > available)
            return false;
        for (int i = 0; i < f.count; ++i) {
            const std::uint32_t value = Bits(data, f.bitOffset + i * f.bitSize, f.bitSize);
            std::uint32_t usage = 0;
            if (f.variable) {
                if (value == 0)
                    continue;
                const auto index = static_cast<std::size_t>(i);
                usage = f.usages.empty() ? f.usageMin + static_cast<std::uint32_t>(i)
                                         : f.usages[std::min(index, f.usages.size() - 1)];
            } else {
                const auto v = static_cast<std::int64_t>(value);
                if (v < f.logicalMin || v > f.logicalMax)
                    continue; // no key in this place
                const auto index = static_cast<std::size_t>(v - f.logicalMin);
                usage = f.usages.empty()          ? f.usageMin + static_cast<std::uint32_t>(index)
                        : index < f.usages.size() ? f.usages[index]
                                                  : 0;
            }
            if (usage >= 0x01 && usage <= 0x03)
                return false; // rollover or a keyboard error: no key state at all
            if (usage >= kFirstModifier && usage <= kLastModifier)
                out.modifiers |= static_cast<std::uint8_t>(1u << (usage - kFirstModifier));
            else if (usage > 0x03 && usage <= 0xFF &&
                     std::find(out.keys.begin(), out.keys.end(), usage) == out.keys.end())
                out.keys.push_back(static_cast<std::uint8_t>(usage));
        }
    }
    state = out;
    return true;
}

std::vector<KeyAssignment> KeyPresses::Next(const KeyboardState& state)
{
    std::vector<KeyAssignment> pressed;
    for (std::uint8_t key : state.keys)
        if (std::find(down.begin(), down.end(), key) == down.end())
            pressed.push_back({TableModifiers(state.modifiers), key});
    down = state.keys;
    return pressed;
}

std::uint8_t TableModifiers(std::uint8_t reportModifiers)
{
    return static_cast<std::uint8_t>((reportModifiers | (reportModifiers >> 4)) & 0x0F);
}
