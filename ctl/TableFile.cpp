#include "TableFile.h"

#include "KeyNames.h"

#include <charconv>
#include <map>

namespace {

std::string_view Trim(std::string_view text)
{
    const auto blank = [](char c) {
        return c == ' ' || c == '\t' || c == '\r';
    };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return text;
}

std::string Lower(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return out;
}

bool IsUtf8(std::string_view text)
{
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == 0)
            return false;
        const std::size_t n = c < 0x80           ? 1
                              : (c >> 5) == 0x6  ? 2
                              : (c >> 4) == 0xE  ? 3
                              : (c >> 3) == 0x1E ? 4
                                                 : 0;
        if (n == 0 || i + n > text.size())
            return false;
        for (std::size_t k = 1; k < n; ++k)
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80)
                return false;
        i += n;
    }
    return true;
}

std::string Join(const std::vector<std::string>& items)
{
    std::string out;
    for (const std::string& item : items)
        out += (out.empty() ? "" : ", ") + item;
    return out;
}

KeyTableFileParse Fail(int line, Msg message, std::vector<std::string> args = {})
{
    KeyTableFileParse result;
    result.error = {line, message, std::move(args)};
    return result;
}

} // namespace

std::string ModelList()
{
    std::vector<std::string> names;
    for (const PresenterModel& model : kPresenterModels)
        names.emplace_back(model.text);
    return Join(names);
}

KeyTableFileParse ParseKeyTableFile(std::string_view text)
{
    if (text.size() > kMaxKeyTableFileSize)
        return Fail(0, Msg::FileTooLong);
    if (!IsUtf8(text))
        return Fail(0, Msg::FileNotText);

    // Editors that mark their UTF-8 files do so with a byte-order mark.
    if (text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3);

    KeyTableFileParse result;
    KeyTableFile& table = result.table;
    const PresenterFamily* family = nullptr;
    bool haveFormat = false;
    std::map<std::string, int> seen; // name -> line
    std::map<int, KeyAssignment> slots;

    int lineNumber = 0;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        ++lineNumber;

        // No key name, model text or number holds a '#'.
        line = Trim(line.substr(0, line.find('#')));
        if (line.empty())
            continue;
        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos || Trim(line.substr(0, equals)).empty())
            return Fail(lineNumber, Msg::FileSyntax);
        const std::string written(Trim(line.substr(0, equals)));
        std::string name = Lower(written);
        const std::string_view value = Trim(line.substr(equals + 1));

        // A slot is one setting however its number is written ("1", "01").
        int slot = 0;
        const auto [numberEnd, error] =
            std::from_chars(name.data(), name.data() + name.size(), slot);
        const bool isSlot = error == std::errc{} && numberEnd == name.data() + name.size();
        if (isSlot)
            name = std::to_string(slot);
        if (const auto earlier = seen.find(name); earlier != seen.end())
            return Fail(lineNumber, Msg::FileFieldTwice,
                        {written, std::to_string(earlier->second)});
        seen[name] = lineNumber;

        if (!haveFormat) {
            if (name != "format")
                return Fail(lineNumber, Msg::FileFormatMissing);
            if (value != "1")
                return Fail(lineNumber, Msg::FileFormatUnknown, {std::string(value)});
            haveFormat = true;
            continue;
        }
        if (name == "model") {
            const PresenterModel* model = FindPresenterModelIgnoringCase(value);
            if (!model)
                return Fail(lineNumber, Msg::FileModelUnknown, {std::string(value), ModelList()});
            table.model = model;
            family = &FamilyData(model->family);
            continue;
        }

        if (!isSlot)
            return Fail(lineNumber, Msg::FileUnknownField, {written});
        if (!family)
            return Fail(lineNumber, Msg::FileSlotBeforeModel);
        if (slot < 1 || slot > family->tableSize)
            return Fail(lineNumber, Msg::BadSlot,
                        {written, table.model->text, std::to_string(family->tableSize)});
        const KeyNameParse key = ParseKeyName(value);
        if (!key.ok)
            return Fail(lineNumber, Msg::BadKeyName, {std::string(value), Join(key.nearest)});
        slots[slot] = key.key;
    }

    if (!haveFormat)
        return Fail(0, Msg::FileFormatMissing);
    if (!family)
        return Fail(0, Msg::FileModelMissing);
    for (int slot = 1; slot <= family->tableSize; ++slot) {
        if (!slots.count(slot))
            return Fail(
                0, Msg::FileSlotsMissing,
                {std::to_string(slot), table.model->text, std::to_string(family->tableSize)});
        table.keys.push_back(slots[slot]);
    }
    result.ok = true;
    return result;
}

std::string FormatKeyTableFile(const PresenterModel& model, const std::vector<KeyAssignment>& keys)
{
    const PresenterFamily& family = FamilyData(model.family);
    std::string out = "# Tavrolin key table: slot = key, as the key fields show it.\n"
                      "format = 1\n"
                      "model = ";
    out += model.text;
    out += "\n\n";
    for (std::size_t i = 0; i < keys.size(); ++i) {
        std::string line = std::to_string(i + 1) + " = " + AssignmentText(keys[i]);
        if (i < static_cast<std::size_t>(family.tableSize)) {
            line.resize(std::max<std::size_t>(line.size() + 1, 24), ' ');
            line += "# ";
            line += family.buttonNames[i];
        }
        out += line + "\n";
    }
    return out;
}
