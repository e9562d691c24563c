#include "HidIds.h"

#include <charconv>

namespace {

bool IsHex(std::string_view s)
{
    if (s.empty())
        return false;
    for (char c : s) {
        const bool hex = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
        if (!hex)
            return false;
    }
    return true;
}

bool Hex(std::string_view s, unsigned int& value)
{
    if (!IsHex(s) || s.size() > 8)
        return false;
    return std::from_chars(s.data(), s.data() + s.size(), value, 16).ec == std::errc{};
}

} // namespace

bool ParseHidId(std::string_view hidId, UsbIds& ids)
{
    const auto first = hidId.find(':');
    const auto second = first == std::string_view::npos ? first : hidId.find(':', first + 1);
    if (second == std::string_view::npos)
        return false;
    unsigned int bus = 0, vendor = 0, product = 0;
    if (!Hex(hidId.substr(0, first), bus) ||
        !Hex(hidId.substr(first + 1, second - first - 1), vendor) ||
        !Hex(hidId.substr(second + 1), product) || vendor > 0xFFFF || product > 0xFFFF)
        return false;
    ids = {vendor, product};
    return true;
}

bool ParseHidSyspath(std::string_view syspath, UsbIds& ids)
{
    // The last component that looks like "BBBB:VVVV:PPPP.NNNN" is the hid device.
    bool found = false;
    std::size_t start = 0;
    while (start <= syspath.size()) {
        auto end = syspath.find('/', start);
        if (end == std::string_view::npos)
            end = syspath.size();
        const std::string_view part = syspath.substr(start, end - start);
        if (part.size() == 19 && part[4] == ':' && part[9] == ':' && part[14] == '.' &&
            IsHex(part.substr(0, 4)) && IsHex(part.substr(15, 4))) {
            unsigned int vendor = 0, product = 0;
            if (Hex(part.substr(5, 4), vendor) && Hex(part.substr(10, 4), product)) {
                ids = {vendor, product};
                found = true;
            }
        }
        start = end + 1;
    }
    return found;
}
