#include "KeyNames.h"

#include "KeyCodes.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <numeric>
#include <utility>

namespace {

std::string Lower(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return out;
}

std::string_view Trim(std::string_view text)
{
    const auto blank = [](char c) {
        return c == ' ' || c == '\t';
    };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return text;
}

std::string Prefix(std::uint8_t modifiers)
{
    const bool win = (modifiers & kModWin) != 0;
    return ModifierPrefix(PrefixForm::Latched, modifiers & kModShift, modifiers & kModCtrl,
                          modifiers & kModAlt, win, win);
}

struct ModifierWord
{
    const char* word; // lower case
    std::uint8_t bit;
};

// The latched prefix's words, and the live prefix's "Windows".
constexpr ModifierWord kModifierWords[] = {
    {"shift", kModShift}, {"ctrl", kModCtrl}, {"alt", kModAlt},
    {"r_wnd", kModWin},   {"l_wnd", kModWin}, {"windows", kModWin},
};
constexpr const char* kModifierNames[] = {"Shift", "Ctrl", "Alt", "R_Wnd", "L_Wnd", "Windows"};

// The word at the front of `text` if a '+' and more follow it: a modifier's
// place. "Num +" is a key, not the modifier "Num".
bool SplitModifier(std::string_view text, std::string_view& word, std::string_view& rest)
{
    std::size_t n = 0;
    while (n < text.size() && (std::isalpha(static_cast<unsigned char>(text[n])) || text[n] == '_'))
        ++n;
    if (n == 0)
        return false;
    const std::string_view after = Trim(text.substr(n));
    if (after.size() < 2 || after.front() != '+')
        return false;
    word = text.substr(0, n);
    rest = Trim(after.substr(1));
    return !rest.empty();
}

int ModifierBit(std::string_view word)
{
    const std::string lower = Lower(word);
    for (const ModifierWord& m : kModifierWords)
        if (lower == m.word)
            return m.bit;
    return -1;
}

// Restricted Damerau-Levenshtein distance, so that swapped letters ("Crtl")
// count as one slip.
int Distance(const std::string& a, const std::string& b)
{
    const std::size_t n = a.size(), m = b.size();
    std::vector<std::vector<int>> d(n + 1, std::vector<int>(m + 1));
    for (std::size_t i = 0; i <= n; ++i)
        d[i][0] = static_cast<int>(i);
    for (std::size_t j = 0; j <= m; ++j)
        d[0][j] = static_cast<int>(j);
    for (std::size_t i = 1; i <= n; ++i)
        for (std::size_t j = 1; j <= m; ++j) {
            const int cost = a[i - 1] == b[j - 1] ? 0 : 1;
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + cost});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
        }
    return d[n][m];
}

// The `count` candidates closest to `typed`, closest first; ties keep the
// candidates' order.
std::vector<std::string> Closest(std::string_view typed, const std::vector<std::string>& candidates,
                                 std::size_t count)
{
    const std::string lower = Lower(typed);
    std::vector<std::pair<int, std::size_t>> ranked;
    for (std::size_t i = 0; i < candidates.size(); ++i)
        ranked.emplace_back(Distance(lower, Lower(candidates[i])), i);
    std::stable_sort(ranked.begin(), ranked.end(),
                     [](const auto& x, const auto& y) { return x.first < y.first; });
    std::vector<std::string> out;
    for (std::size_t i = 0; i < ranked.size() && i < count; ++i)
        out.push_back(candidates[ranked[i].second]);
    return out;
}

// 0x01 to 0xFF written as "0x" and two hex digits.
bool ParseHexCode(std::string_view text, std::uint8_t& code)
{
    if (text.size() != 4 || text[0] != '0' || (text[1] != 'x' && text[1] != 'X'))
        return false;
    unsigned value = 0;
    for (char c : text.substr(2)) {
        const int digit = std::isdigit(static_cast<unsigned char>(c)) ? c - '0'
                          : (c >= 'a' && c <= 'f')                    ? c - 'a' + 10
                          : (c >= 'A' && c <= 'F')                    ? c - 'A' + 10
                                                                      : -1;
        if (digit < 0)
            return false;
        value = value * 16 + static_cast<unsigned>(digit);
    }
    if (value == 0)
        return false;
    code = static_cast<std::uint8_t>(value);
    return true;
}

// The key code whose name is `text`, ignoring case; 0 when none.
std::uint8_t KeyCodeOfName(std::string_view text)
{
    const std::string lower = Lower(text);
    for (int code = 1; code < 256; ++code) {
        const std::uint8_t vk = KeyCodeToVirtualKey(static_cast<std::uint8_t>(code));
        if (vk && Lower(KeyName(vk, false, false)) == lower)
            return static_cast<std::uint8_t>(code);
    }
    return 0;
}

} // namespace

std::string AssignmentName(KeyAssignment key)
{
    const std::uint8_t vk = KeyCodeToVirtualKey(key.keyCode);
    // The field shows nothing at all for a key it cannot show.
    if (vk == 0)
        return {};
    return Prefix(key.modifiers) + KeyName(vk, false, false);
}

std::string AssignmentText(KeyAssignment key)
{
    // A modifier held with no key is kept, as "Ctrl+none".
    if (key.keyCode == 0)
        return Prefix(key.modifiers) + "none";
    if (std::string name = AssignmentName(key); !name.empty())
        return name;
    char code[8];
    std::snprintf(code, sizeof code, "0x%02X", key.keyCode);
    return Prefix(key.modifiers) + code;
}

const std::vector<std::string>& ReceiverKeyNames()
{
    static const std::vector<std::string> names = [] {
        std::vector<std::string> out;
        for (int code = 1; code < 256; ++code)
            if (const std::uint8_t vk = KeyCodeToVirtualKey(static_cast<std::uint8_t>(code)))
                out.push_back(KeyName(vk, false, false));
        return out;
    }();
    return names;
}

namespace {

// Modifiers and one key, or nothing at all; the words it could not take as
// modifiers are left in `text`.
bool Exact(std::string_view& text, KeyAssignment& key)
{
    std::uint8_t modifiers = 0;
    std::string_view word, rest;
    while (SplitModifier(text, word, rest)) {
        const int bit = ModifierBit(word);
        if (bit < 0)
            break;
        modifiers |= static_cast<std::uint8_t>(bit);
        text = rest;
    }
    key.modifiers = modifiers;
    if (Lower(text) == "none") {
        key.keyCode = 0;
        return true;
    }
    key.keyCode = KeyCodeOfName(text);
    return key.keyCode != 0 || ParseHexCode(text, key.keyCode);
}

// Suggestions look at no more than this of a text: no key name comes close
// to a longer one anyway.
constexpr std::size_t kMaxCompared = 32;

} // namespace

KeyNameParse ParseKeyName(std::string_view typed)
{
    KeyNameParse result;
    std::string_view text = Trim(typed);
    if (text.empty() || Lower(text) == "none") {
        result.ok = true;
        return result;
    }
    if (Exact(text, result.key)) {
        result.ok = true;
        return result;
    }

    // Refused. A misspelt modifier in front of a sound key is the likelier
    // slip; otherwise the key's name is.
    const std::uint8_t modifiers = result.key.modifiers;
    result.key = {};
    std::string_view word, rest;
    KeyAssignment tail;
    if (SplitModifier(text, word, rest) && Exact(rest, tail)) {
        const std::vector<std::string> words(std::begin(kModifierNames), std::end(kModifierNames));
        for (const std::string& m : Closest(word.substr(0, kMaxCompared), words, 2)) {
            KeyAssignment guess = tail;
            guess.modifiers |= static_cast<std::uint8_t>(modifiers | ModifierBit(m));
            result.nearest.push_back(AssignmentText(guess));
        }
        return result;
    }
    for (const std::string& name : Closest(text.substr(0, kMaxCompared), ReceiverKeyNames(), 3))
        result.nearest.push_back(Prefix(modifiers) + name);
    return result;
}
