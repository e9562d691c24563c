#include "Ctl.h"

#include "CheckedIo.h"
#include "Diagnose.h"
#include "Help.h"
#include "Json.h"
#include "LayoutLabels.h"
#include "Locale.h"
#include "Messages.h"
#include "ReceiverSession.h"
#include "TableFile.h"
#include "Watch.h"

#include "KeyNames.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <iterator>
#include <map>
#include <optional>
#include <sstream>
#include <type_traits>

#ifndef TAVROLIN_VERSION
#define TAVROLIN_VERSION "unknown"
#endif

namespace {

const char* const kHelp = R"(Usage: tavrolinctl [--lang en|ko] COMMAND [OPTIONS] [ARGUMENTS]

Reads and writes the key table of a presenter's USB receiver (0ebc:2501).

Commands:
  show [--model M] [--json]      The receiver's table: slot, button, key, bytes.
  set --model M SLOT KEY ...     Give buttons new keys; the other buttons keep
                                 theirs. Example: set --model RV-80 1 Ctrl+F5 7 "Page Down"
  reset [--model M] [--yes]      Restore the factory table (asks unless --yes).
  export --model M FILE          Save the receiver's table in a key table file
                                 (FILE - writes to standard output).
  import FILE                    Write a key table file to the receiver
                                 (FILE - reads standard input).
  watch [--count N] [--timeout S]
                                 Print each key combination the presenter
                                 sends, and the slot that holds it.
  models                         The presenter models and their buttons.
  diagnose                       What this computer sees of the receiver, for a
                                 bug report. Changes nothing.

Options:
  --model M   The presenter model, as 'tavrolinctl models' lists it.
  --json      show, watch, models, diagnose, and the outcome of set, import
              and reset: print JSON for scripts.
  --yes, -y   reset: do not ask.
  --lang L    Messages in English (en) or Korean (ko); by default as the
              locale says (LC_ALL, LC_MESSAGES, LANG).
  --help, -h  This text; 'tavrolinctl COMMAND --help' a command's.
  --version   The version.

Keys are named as the program's key fields show them: A, 1, F5, Page Up, Num .,
Shift+Ctrl+F5, L_Wnd+D; modifiers in any case; none for no key, Ctrl+none for a
modifier alone. Letters and punctuation are named as on a US keyboard whatever
the desktop's layout, so that a file means the same on every computer: on a
German layout the key a key field shows as "Z" is Y here, and show prints the
layout's label beside it: Y [Z]. Writes are committed and read back: the
command fails unless the receiver holds the keys.

Exit status: 0 done; 1 bad usage, key name or file, a model that does not fit
the receiver, or output that could not be written; 2 no receiver, no
permission, or no answer; 3 written but not verified; 4 written and committed,
but the receiver did not answer in time (it may hold the keys: run show).
See tavrolinctl(1).
)";

std::string Lower(std::string text)
{
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

std::string Join(const std::vector<std::string>& items, const char* separator = ", ")
{
    std::string out;
    for (const std::string& item : items)
        out += (out.empty() ? "" : separator) + item;
    return out;
}

std::string Hex(std::uint8_t byte)
{
    char text[4];
    std::snprintf(text, sizeof text, "%02X", byte);
    return text;
}

std::string Padded(std::string text, std::size_t width)
{
    // Counted in characters, not bytes, for the odd non-ASCII name.
    std::size_t chars = 0;
    for (unsigned char c : text)
        chars += (c & 0xC0) != 0x80;
    // A text as wide as its column or wider still ends in a blank, so that
    // it never runs into the next one.
    text.append(chars < width ? width - chars : 1, ' ');
    return text;
}

struct Options
{
    Language language = Language::English;
    std::string command;
    std::vector<std::string> arguments;
    std::optional<std::string> model;
    std::optional<std::string> count, timeout; // watch
    bool json = false;
    bool yes = false;
    bool help = false;
    bool version = false;
};

// A command's failure: the exit status and the lines for standard error.
struct Failure
{
    int status;
    std::vector<std::string> lines;
};

class Ctl
{
public:
    Ctl(std::istream& in, std::ostream& out, std::ostream& err) : in(in), out(out), err(err) {}

    int Run(const std::vector<std::string>& args);
    Language MessageLanguage() const { return options.language; }

private:
    std::optional<Failure> Parse(const std::vector<std::string>& args);
    int Report(const Failure& failure);
    Failure Usage(Msg message, std::initializer_list<std::string> args = {})
    {
        return {kExitUsage, {T(message, args), T(Msg::TryHelp)}};
    }
    Failure Fail(int status, Msg message, std::initializer_list<std::string> args = {})
    {
        return {status, {T(message, args)}};
    }
    std::string T(Msg message, std::initializer_list<std::string> args = {}) const
    {
        return Text(options.language, message, args);
    }

    std::optional<Failure> ResolveModel(const PresenterModel*& model);
    std::optional<Failure> OpenReceiver();
    std::optional<Failure> ReadReceiver(ReceivedTable& table, bool needTable);
    std::optional<Failure> OpenAndRead(ReceivedTable& table, bool needTable = true)
    {
        if (auto failure = OpenReceiver())
            return failure;
        return ReadReceiver(table, needTable);
    }
    // Whether the receiver's table belongs to the model's family; `file`
    // names a table file the model came from.
    std::optional<Failure> CheckFits(const PresenterModel& model, const ReceivedTable& table,
                                     const std::string* file = nullptr);
    std::optional<Failure> NoArguments();
    // The outcome of a write; with --json also on standard output, with
    // what was to be written.
    int Written(const ReceiverSession::Written& written, const PresenterModel* model,
                const PresenterFamily* family, const std::vector<KeyAssignment>& keys);
    // Why a file could not be used, in the command's language where the
    // system's own words would mislead.
    std::string FileError(int error) const
    {
        return error == ENOTSUP ? T(Msg::NotRegularFile) : std::strerror(error);
    }

    int Show();
    int Set();
    int Reset();
    int Export();
    int Import();
    int Models();
    int Watch();
    int Help();

    std::istream& in;
    std::ostream& out;
    std::ostream& err;
    Options options;
    ReceiverSession session;
};

int Ctl::Report(const Failure& failure)
{
    for (const std::string& line : failure.lines)
        err << "tavrolinctl: " << line << '\n';
    return failure.status;
}

std::optional<Failure> Ctl::Parse(const std::vector<std::string>& args)
{
    // The language first, so that every message is in it.
    options.language = LanguageFromEnvironment();
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--")
            break;
        std::string value;
        if (args[i] == "--lang" && i + 1 < args.size())
            value = args[i + 1];
        else if (args[i].rfind("--lang=", 0) == 0)
            value = args[i].substr(7);
        else
            continue;
        const std::string lower = Lower(value);
        if (lower == "ko" || lower == "korean" || lower.rfind("ko_", 0) == 0)
            options.language = Language::Korean;
        else if (lower == "en" || lower == "english" || lower.rfind("en_", 0) == 0)
            options.language = Language::English;
        else
            return Usage(Msg::UnknownLanguage, {value});
    }

    bool optionsEnd = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnd || arg == "-" || arg.empty() || arg[0] != '-') {
            if (options.command.empty())
                options.command = arg;
            else
                options.arguments.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnd = true;
            continue;
        }
        std::string name = arg;
        std::optional<std::string> value;
        if (const auto equals = arg.find('=');
            arg.rfind("--", 0) == 0 && equals != std::string::npos) {
            name = arg.substr(0, equals);
            value = arg.substr(equals + 1);
        }
        const auto takeValue = [&]() -> bool {
            if (value)
                return true;
            if (i + 1 >= args.size())
                return false;
            value = args[++i];
            return true;
        };
        if (name == "--help" || name == "-h") {
            options.help = true;
        } else if (name == "--version" || name == "-V") {
            options.version = true;
        } else if (name == "--json" && !value) {
            options.json = true;
        } else if ((name == "--yes" || name == "-y") && !value) {
            options.yes = true;
        } else if (name == "--lang") {
            if (!takeValue())
                return Usage(Msg::OptionNeedsValue, {name});
        } else if (name == "--model" || name == "-m") {
            if (!takeValue())
                return Usage(Msg::OptionNeedsValue, {name});
            options.model = *value;
        } else if (name == "--count" || name == "--timeout") {
            if (!takeValue())
                return Usage(Msg::OptionNeedsValue, {name});
            (name == "--count" ? options.count : options.timeout) = *value;
        } else {
            return Usage(Msg::UnknownOption, {arg});
        }
    }
    return std::nullopt;
}

std::optional<Failure> Ctl::ResolveModel(const PresenterModel*& model)
{
    model = nullptr;
    if (!options.model)
        return std::nullopt;
    model = FindPresenterModelIgnoringCase(*options.model);
    if (!model)
        return Usage(Msg::UnknownModel, {*options.model, ModelList()});
    return std::nullopt;
}

std::optional<Failure> Ctl::NoArguments()
{
    if (!options.arguments.empty())
        return Usage(Msg::TooManyArguments, {options.command, options.arguments.front()});
    return std::nullopt;
}

std::optional<Failure> Ctl::OpenReceiver()
{
    switch (session.Open()) {
    case ReceiverSession::Opened::Ok:
        break;
    case ReceiverSession::Opened::NoLibrary:
        return Fail(kExitNoReceiver, Msg::NoLibrary);
    case ReceiverSession::Opened::NotFound:
        return Fail(kExitNoReceiver, Msg::NotConnected);
    case ReceiverSession::Opened::NoPermission:
        return Fail(kExitNoReceiver, Msg::NoPermission);
    }
    return std::nullopt;
}

std::optional<Failure> Ctl::ReadReceiver(ReceivedTable& table, bool needTable)
{
    switch (session.ReadTable(table)) {
    case ReceiverSession::Read::Ok:
        break;
    case ReceiverSession::Read::Disconnected:
        return Fail(kExitNoReceiver, Msg::NotConnected);
    case ReceiverSession::Read::NoAnswer:
        if (table.size > KeyTableStore::kCapacity)
            return Fail(kExitNoReceiver, Msg::OddTable, {std::to_string(table.size)});
        return Fail(kExitNoReceiver, Msg::NoTable);
    }
    if (needTable && table.size == 0)
        return Fail(kExitNoReceiver, Msg::EmptyTable);
    return std::nullopt;
}

std::optional<Failure> Ctl::CheckFits(const PresenterModel& model, const ReceivedTable& table,
                                      const std::string* file)
{
    const PresenterFamily& family = FamilyData(model.family);
    const std::vector<const PresenterFamily*> held = FamiliesOfTable(table);
    for (const PresenterFamily* f : held)
        if (f == &family)
            return std::nullopt;
    std::vector<std::string> heldNames;
    for (const PresenterFamily* f : held)
        heldNames.emplace_back(f->name);
    const std::string heldText = Join(heldNames, " / ");
    if (file && !held.empty())
        return Fail(kExitUsage, Msg::FileForOtherFamily,
                    {*file, model.text, family.name, heldText});
    if (held.empty() || table.size != family.tableSize)
        return Fail(kExitUsage, Msg::WrongModelSize,
                    {model.text, std::to_string(family.tableSize), std::to_string(table.size)});
    return Fail(kExitUsage, Msg::WrongModelFamily, {model.text, family.name, heldText});
}

int Ctl::Written(const ReceiverSession::Written& written, const PresenterModel* model,
                 const PresenterFamily* family, const std::vector<KeyAssignment>& keys)
{
    if (options.json)
        out << WriteOutcomeJson(options.command, model, family, keys, written) << std::flush;
    switch (written.result) {
    case ReceiverSession::Written::Verified:
        err << T(Msg::Completed) << '\n';
        return kExitOk;
    case ReceiverSession::Written::NotSent:
        return Report(Fail(kExitNotVerified, Msg::WriteFailed));
    case ReceiverSession::Written::NoReadback:
        // The requests went out and were committed: what the receiver holds
        // is not known, so neither success nor "not written".
        return Report(Fail(kExitNoAnswer, Msg::NoAnswerInTime));
    case ReceiverSession::Written::NotVerified:
        if (written.slot == 0)
            return Report(
                {kExitNotVerified,
                 {T(Msg::NotKept), T(Msg::ReadBackSize, {std::to_string(written.receivedSize)})}});
        {
            std::string found = AssignmentText(written.found);
            // Modifier bits that have no name still make another key.
            if (found == AssignmentText(written.wanted))
                found += " (0x" + Hex(written.found.modifiers) + ")";
            return Report(
                {kExitNotVerified,
                 {T(Msg::NotKept), T(Msg::NotVerified, {std::to_string(written.slot), found,
                                                        AssignmentText(written.wanted)})}});
        }
    }
    return kExitNotVerified;
}

int Ctl::Show()
{
    const PresenterModel* model = nullptr;
    if (auto failure = NoArguments())
        return Report(*failure);
    if (auto failure = ResolveModel(model))
        return Report(*failure);
    ReceivedTable table;
    if (auto failure = OpenAndRead(table, false))
        return Report(*failure);
    const PresenterFamily* family = nullptr;
    std::vector<const PresenterFamily*> families;
    if (table.size > 0) {
        if (model) {
            if (auto failure = CheckFits(*model, table))
                return Report(*failure);
            family = &FamilyData(model->family);
            families = {family};
        } else {
            families = FamiliesOfTable(table);
            if (families.size() == 1)
                family = families.front();
        }
    }
    const auto button = [&](int slot) -> std::string {
        return family && slot <= family->tableSize ? family->buttonNames[slot - 1] : "";
    };

    if (options.json) {
        out << "{\"size\": " << table.size
            << ", \"model\": " << (model ? JsonString(model->text) : "null") << ", \"families\": [";
        for (std::size_t i = 0; i < families.size(); ++i)
            out << (i ? ", " : "") << JsonString(families[i]->name);
        out << "], \"slots\": [";
        for (int slot = 1; slot <= table.size; ++slot) {
            const KeyAssignment key = table.Key(slot);
            out << (slot > 1 ? ",\n  " : "\n  ") << "{\"slot\": " << slot
                << ", \"button\": " << (button(slot).empty() ? "null" : JsonString(button(slot)))
                << ", \"key\": " << JsonString(AssignmentText(key))
                << ", \"entry\": " << int(table.entryBytes[slot - 1])
                << ", \"modifiers\": " << int(key.modifiers)
                << ", \"keyCode\": " << int(key.keyCode) << "}";
        }
        out << (table.size ? "\n" : "") << "]}\n";
    } else {
        std::vector<std::string> names;
        for (const PresenterFamily* f : families)
            names.emplace_back(f->name);
        out << "received size: " << table.size;
        if (!names.empty())
            out << " (" << Join(names, " or ") << " family)";
        out << '\n';
        if (table.size > 0)
            out << "slot  " << Padded("button", 15) << Padded("key", 18)
                << "bytes (entry modifier key)\n";
        // Beside the US name a key has here, the label the desktop's layout
        // prints on it, as the key fields show it.
        const LayoutLabels labels = table.size > 0 ? LayoutLabels::OfDesktop() : LayoutLabels();
        for (int slot = 1; slot <= table.size; ++slot) {
            const KeyAssignment key = table.Key(slot);
            const std::string label = labels.Label(key.keyCode);
            out << Padded(std::to_string(slot), 6) << Padded(button(slot), 15)
                << Padded(AssignmentText(key) + (label.empty() ? "" : " [" + label + "]"), 18)
                << Hex(table.entryBytes[slot - 1]) << ' ' << Hex(key.modifiers) << ' '
                << Hex(key.keyCode) << '\n';
        }
    }
    if (table.size == 0)
        err << "tavrolinctl: " << T(Msg::EmptyTable) << '\n';
    else if (!family && families.size() > 1) {
        std::vector<std::string> names;
        for (const PresenterFamily* f : families)
            names.emplace_back(f->name);
        err << "tavrolinctl: "
            << T(Msg::AmbiguousFamily, {std::to_string(table.size), Join(names, " / ")}) << '\n';
    }
    return kExitOk;
}

int Ctl::Set()
{
    const PresenterModel* model = nullptr;
    if (auto failure = ResolveModel(model))
        return Report(*failure);
    if (!model)
        return Report(Usage(Msg::NeedsModel, {"set"}));
    const PresenterFamily& family = FamilyData(model->family);
    if (options.arguments.empty())
        return Report(Usage(Msg::MissingArguments, {"set", "SLOT KEY"}));
    if (options.arguments.size() % 2 != 0)
        return Report(Usage(Msg::SetNeedsPairs, {options.arguments.back()}));

    // Everything typed is checked before the receiver is touched.
    std::map<int, KeyAssignment> changes;
    for (std::size_t i = 0; i < options.arguments.size(); i += 2) {
        const std::string& slotText = options.arguments[i];
        int slot = 0;
        const bool digits = !slotText.empty() && slotText.size() <= 2 &&
                            slotText.find_first_not_of("0123456789") == std::string::npos;
        if (digits)
            slot = std::stoi(slotText);
        if (!digits || slot < 1 || slot > family.tableSize)
            return Report(Fail(kExitUsage, Msg::BadSlot,
                               {slotText, model->text, std::to_string(family.tableSize)}));
        if (changes.count(slot))
            return Report(Fail(kExitUsage, Msg::SlotTwice, {slotText}));
        const KeyNameParse key = ParseKeyName(options.arguments[i + 1]);
        if (!key.ok)
            return Report(
                Fail(kExitUsage, Msg::BadKeyName, {options.arguments[i + 1], Join(key.nearest)}));
        changes[slot] = key.key;
    }

    ReceivedTable table;
    if (auto failure = OpenAndRead(table))
        return Report(*failure);
    if (auto failure = CheckFits(*model, table))
        return Report(*failure);
    std::vector<KeyAssignment> keys;
    for (int slot = 1; slot <= family.tableSize; ++slot)
        keys.push_back(changes.count(slot) ? changes[slot] : table.Key(slot));
    return Written(session.WriteTable(family, keys), model, &family, keys);
}

int Ctl::Reset()
{
    const PresenterModel* model = nullptr;
    if (auto failure = NoArguments())
        return Report(*failure);
    if (auto failure = ResolveModel(model))
        return Report(*failure);
    // The receiver first, so that nobody is asked about one that is not there;
    // its table may be anything, which is why one resets.
    if (auto failure = OpenReceiver())
        return Report(*failure);
    if (model) {
        ReceivedTable table;
        if (session.ReadTable(table) == ReceiverSession::Read::Ok && table.size > 0)
            if (auto failure = CheckFits(*model, table))
                return Report(*failure);
    }
    if (!options.yes) {
        err << T(Msg::ResetQuestion) << " [y/N] " << std::flush;
        std::string answer;
        std::getline(in, answer);
        while (!answer.empty() && (answer.back() == '\r' || answer.back() == ' '))
            answer.pop_back();
        const std::string a = Lower(answer);
        const bool yes = a == "y" || a == "yes" || a == "예" || a == "네";
        if (!yes)
            return Report(Fail(kExitUsage, Msg::ResetDeclined));
    }
    const PresenterFamily* family = model ? &FamilyData(model->family) : nullptr;
    std::vector<KeyAssignment> factory;
    for (int slot = 1; family && slot <= family->tableSize; ++slot)
        factory.push_back({family->factoryModifiers[slot - 1], family->factoryKeyCodes[slot - 1]});
    return Written(session.FactoryReset(family), model, family, factory);
}

int Ctl::Export()
{
    const PresenterModel* model = nullptr;
    if (auto failure = ResolveModel(model))
        return Report(*failure);
    if (!model)
        return Report(Usage(Msg::NeedsModel, {"export"}));
    if (options.arguments.empty())
        return Report(Usage(Msg::MissingArguments, {"export", "FILE"}));
    if (options.arguments.size() > 1)
        return Report(Usage(Msg::TooManyArguments, {"export", options.arguments[1]}));
    const std::string& file = options.arguments.front();
    if (file.empty())
        return Report(Usage(Msg::EmptyFileName, {"export"}));

    ReceivedTable table;
    if (auto failure = OpenAndRead(table))
        return Report(*failure);
    if (auto failure = CheckFits(*model, table))
        return Report(*failure);
    std::vector<KeyAssignment> keys;
    for (int slot = 1; slot <= FamilyData(model->family).tableSize; ++slot)
        keys.push_back(table.Key(slot));
    const std::string text = FormatKeyTableFile(*model, keys);
    if (file == "-") {
        // Checked with every other output when the command ends.
        out << text;
        return kExitOk;
    }
    // Beside the file under a name of its own and renamed over it, so that a
    // failed export leaves an earlier file whole.
    if (const int error = ReplaceFile(file, text))
        return Report(Fail(kExitUsage, Msg::FileNotWritten, {file, FileError(error)}));
    err << T(Msg::Exported, {file}) << '\n';
    return kExitOk;
}

int Ctl::Import()
{
    if (options.model)
        return Report(Usage(Msg::TooManyArguments, {"import", "--model"}));
    if (options.arguments.empty())
        return Report(Usage(Msg::MissingArguments, {"import", "FILE"}));
    if (options.arguments.size() > 1)
        return Report(Usage(Msg::TooManyArguments, {"import", options.arguments[1]}));
    const std::string& file = options.arguments.front();

    if (file.empty())
        return Report(Usage(Msg::EmptyFileName, {"import"}));

    std::string text;
    int error = 0;
    if (file == "-") {
        text.resize(kMaxKeyTableFileSize + 1);
        in.read(text.data(), static_cast<std::streamsize>(text.size()));
        if (in.bad())
            error = EIO;
        text.resize(static_cast<std::size_t>(in.gcount()));
    } else {
        error = ReadRegularFile(file, kMaxKeyTableFileSize, text);
    }
    if (error)
        return Report({kExitUsage,
                       {T(Msg::FileUnreadable, {file, FileError(error)}), T(Msg::NothingWritten)}});
    const KeyTableFileParse parsed = ParseKeyTableFile(text);
    if (!parsed.ok) {
        const KeyTableFileError& e = parsed.error;
        std::vector<std::string> a = e.args;
        a.resize(4);
        const std::string why = T(e.message, {a[0], a[1], a[2], a[3]});
        const std::string line =
            // The reason is a whole message already, never shortened.
            file + (e.line > 0 ? ":" + std::to_string(e.line) : std::string()) + ": " + why;
        return Report({kExitUsage, {line, T(Msg::NothingWritten)}});
    }

    ReceivedTable table;
    if (auto failure = OpenAndRead(table))
        return Report(*failure);
    if (auto failure = CheckFits(*parsed.table.model, table, &file)) {
        failure->lines.push_back(T(Msg::NothingWritten));
        return Report(*failure);
    }
    const PresenterFamily& family = FamilyData(parsed.table.model->family);
    return Written(session.WriteTable(family, parsed.table.keys), parsed.table.model, &family,
                   parsed.table.keys);
}

int Ctl::Models()
{
    if (auto failure = NoArguments())
        return Report(*failure);
    if (options.json) {
        out << ModelsJson();
        return kExitOk;
    }
    for (const PresenterModel& model : kPresenterModels) {
        const PresenterFamily& family = FamilyData(model.family);
        std::vector<std::string> buttons;
        for (int slot = 1; slot <= family.tableSize; ++slot)
            buttons.push_back(std::to_string(slot) + " " + family.buttonNames[slot - 1]);
        out << Padded(model.text, 12) << Padded(std::string(family.name) + " family", 21)
            << Join(buttons) << '\n';
    }
    return kExitOk;
}

int Ctl::Watch()
{
    if (auto failure = NoArguments())
        return Report(*failure);
    WatchOptions watch;
    watch.language = options.language;
    watch.json = options.json;
    if (auto failure = ResolveModel(watch.model))
        return Report(*failure);
    // Whole numbers of combinations; seconds may have a fraction.
    const auto number = [&](const std::optional<std::string>& text, const char* name, bool fraction,
                            auto& value) -> std::optional<Failure> {
        if (!text)
            return std::nullopt;
        const char* begin = text->c_str();
        char* end = nullptr;
        errno = 0;
        const double parsed =
            fraction ? std::strtod(begin, &end) : double(std::strtol(begin, &end, 10));
        if (text->empty() || *end || errno || !(parsed > 0) || parsed > 1e9 ||
            !std::isdigit(static_cast<unsigned char>(text->front())))
            return Usage(Msg::BadNumber, {name, *text});
        value = static_cast<std::remove_reference_t<decltype(*value)>>(parsed);
        return std::nullopt;
    };
    if (auto failure = number(options.count, "--count", false, watch.count))
        return Report(*failure);
    if (auto failure = number(options.timeout, "--timeout", true, watch.timeout))
        return Report(*failure);
    return RunWatch(watch, out, err);
}

int Ctl::Help()
{
    // 'help' alone, or 'help COMMAND', or 'COMMAND --help'.
    const std::string& topic =
        options.command == "help"
            ? (options.arguments.empty() ? std::string() : options.arguments.front())
            : options.command;
    if (topic.empty() || topic == "help") {
        out << kHelp;
        return kExitOk;
    }
    const char* text = CommandHelp(topic);
    if (!text)
        return Report(Usage(Msg::UnknownCommand, {topic}));
    out << text;
    return kExitOk;
}

int Ctl::Run(const std::vector<std::string>& args)
{
    if (auto failure = Parse(args))
        return Report(*failure);
    if (options.help || options.command == "help")
        return Help();
    if (options.version) {
        out << "tavrolinctl " TAVROLIN_VERSION "\n";
        return kExitOk;
    }
    if (options.command.empty()) {
        err << kHelp;
        return kExitUsage;
    }
    const std::string& c = options.command;
    if (c == "complete")
        return PrintCompletions(options.arguments, out);
    if (!CommandHelp(c))
        return Report(Usage(Msg::UnknownCommand, {c}));
    if (c == "export" && options.json)
        return Report(Usage(Msg::NotForCommand, {c, "--json"}));
    if (c != "reset" && options.yes)
        return Report(Usage(Msg::NotForCommand, {c, "--yes"}));
    if (c != "watch" && (options.count || options.timeout))
        return Report(Usage(Msg::NotForCommand, {c, options.count ? "--count" : "--timeout"}));
    if (c == "show")
        return Show();
    if (c == "set")
        return Set();
    if (c == "reset")
        return Reset();
    if (c == "export")
        return Export();
    if (c == "import")
        return Import();
    if (c == "models")
        return Models();
    if (c == "watch")
        return Watch();
    if (c == "diagnose") {
        if (auto failure = NoArguments())
            return Report(*failure);
        if (options.model)
            return Report(Usage(Msg::UnknownOption, {"--model"}));
        return RunDiagnose(out, options.json);
    }
    return Report(Usage(Msg::UnknownCommand, {c}));
}

} // namespace

int RunTavrolinCtl(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
                   std::ostream& err)
{
    Ctl ctl(in, out, err);
    const int status = ctl.Run(args);
    // Output lost to a full disk or a closed pipe is a failure, never a
    // silent success.
    if (const int error = FlushChecked(out)) {
        err << "tavrolinctl: "
            << Text(ctl.MessageLanguage(), Msg::OutputFailed, {std::strerror(error)}) << '\n';
        return status == kExitOk ? kExitUsage : status;
    }
    return status;
}
