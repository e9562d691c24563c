// tavrolin-simulator: shows and changes the simulated receiver's state.
#include "ReceiverEmulator.h"
#include "SimulatorState.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <strings.h>
#include <vector>

namespace {

const char* const kHelp = R"(Usage: tavrolin-simulator [--state FILE] [COMMAND [ARGUMENTS]]

Shows and changes the simulated presenter receiver. The program talks to it
when the loader finds the simulator's libAtUsbHid.so first, for instance:

  LD_LIBRARY_PATH=<build>/atusbhid/simulator <build>/app/tavrolin

The receiver keeps its model, key table, plug and faults in a state file:
$TAVROLIN_SIMULATOR_STATE, else $XDG_RUNTIME_DIR/tavrolin-simulator.state,
else /tmp/tavrolin-simulator-<uid>/state (the directory private to you; $TMPDIR
replaces /tmp). --state FILE uses FILE instead. It must be a regular file of
yours; a file that cannot be read as a state is kept as FILE.bad and replaced
by a factory state on the next change.

Commands:
  show                 Model, plug, key table and faults (the default).
  models               The model texts it can be.
  model NAME           Become a receiver for NAME with its factory table
                       (quote names with spaces: model "QN-70 Vela"). A plugged
                       receiver is unplugged and plugged in as the new one.
  plug                 Plug the receiver in.
  unplug               Pull it out. A running program hears of both within a
                       few hundred milliseconds.
  reset                Restore the factory table.
  set SLOT KEY [MOD]   Put key code KEY with modifier byte MOD (hex, as the
                       receiver stores them; MOD 01 Ctrl, 02 Shift, 04 Alt,
                       08 Windows) in slot SLOT (1-based).
  fault silent on|off  Read requests are never answered.
  fault size N|off     Answer read requests with a table of N entries (0 to 255;
                       0 answers "no table") instead of the receiver's own.
  fault writes on|off  Every report written fails and changes nothing.
  fault keep on|off    Key writes and commits are accepted, yet the committed
                       table stays as it was.
  fault access on|off  The receiver is there but may not be opened (as when
                       this user lacks permission on it).
  fault clear          No faults.
  path                 Print the state file's path.
  --help               This text.

Exit status: 0 done, 1 the state file could not be used or written, 2 bad
usage.
)";

struct KeyName
{
    std::uint8_t code;
    const char* name;
};

std::string NameOfKey(std::uint8_t modifier, std::uint8_t keyCode)
{
    static const KeyName names[] = {
        {0x28, "Enter"},   {0x29, "Esc"},    {0x2A, "Backspace"}, {0x2B, "Tab"},
        {0x2C, "Space"},   {0x37, "."},      {0x49, "Insert"},    {0x4A, "Home"},
        {0x4B, "Page Up"}, {0x4C, "Delete"}, {0x4D, "End"},       {0x4E, "Page Down"},
        {0x4F, "Right"},   {0x50, "Left"},   {0x51, "Down"},      {0x52, "Up"},
    };
    std::string name;
    if (keyCode == 0)
        return "(none)";
    if (keyCode >= 0x04 && keyCode <= 0x1D)
        name = std::string(1, char('A' + keyCode - 0x04));
    else if (keyCode >= 0x1E && keyCode <= 0x27)
        name = std::string(1, keyCode == 0x27 ? '0' : char('1' + keyCode - 0x1E));
    else if (keyCode >= 0x3A && keyCode <= 0x45)
        name = "F" + std::to_string(keyCode - 0x3A + 1);
    for (const KeyName& k : names) {
        if (k.code == keyCode)
            name = k.name;
    }
    if (name.empty())
        name = "?";
    std::string prefix;
    if (modifier & 0x01)
        prefix += "Ctrl+";
    if (modifier & 0x02)
        prefix += "Shift+";
    if (modifier & 0x04)
        prefix += "Alt+";
    if (modifier & 0x08)
        prefix += "Win+";
    return prefix + name;
}

// Messages quote what was typed or read: no control character of it reaches
// the terminal (an escape sequence could rewrite what the user sees).
std::string Printable(const std::string& text)
{
    std::string out;
    for (const char c : text)
        out += (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) ? '?' : c;
    return out;
}

void Say(const std::string& message)
{
    if (!message.empty())
        std::fprintf(stderr, "tavrolin-simulator: %s\n", Printable(message).c_str());
}

int Usage(const std::string& message)
{
    std::fprintf(stderr, "tavrolin-simulator: %s\nTry 'tavrolin-simulator --help'.\n",
                 Printable(message).c_str());
    return 2;
}

void Show(const std::string& path, const SimulatorState& s)
{
    std::printf("State file: %s\n", path.c_str());
    std::printf("Model:      %s (%s family, %zu keys)\n", s.model.c_str(), FamilyName(s.Family()),
                s.table.size());
    std::printf("Plugged in: %s\n", s.plugged ? "yes" : "no");
    std::printf("Key table:\n");
    const KeyTable& factory = FactoryTable(s.Family());
    for (std::size_t i = 0; i < s.table.size(); ++i) {
        const KeyEntry& e = s.table[i];
        std::string name = NameOfKey(e.modifier, e.keyCode);
        if (e != factory[i])
            name += std::string(name.size() < 16 ? 16 - name.size() : 1, ' ') + "(changed)";
        std::printf("  %zu  %02X:%02X  %s\n", i + 1, e.modifier, e.keyCode, name.c_str());
    }
    std::string faults;
    if (s.silent)
        faults += "read requests unanswered; ";
    if (s.answerSize >= 0)
        faults += "answers a table of " + std::to_string(s.answerSize) + " entries; ";
    if (s.writesFail)
        faults += "writes fail; ";
    if (s.keepTable)
        faults += "commits keep the old table; ";
    if (s.accessDenied)
        faults += "may not be opened; ";
    std::printf("Faults:     %s\n",
                faults.empty() ? "none" : faults.substr(0, faults.size() - 2).c_str());
}

bool ParseHex(const char* text, std::uint8_t& out)
{
    char* end = nullptr;
    const long v = std::strtol(text, &end, 16);
    if (!*text || *end || v < 0 || v > 0xFF)
        return false;
    out = static_cast<std::uint8_t>(v);
    return true;
}

bool ParseOnOff(const std::string& text, bool& out)
{
    if (text == "on" || text == "yes" || text == "fail") {
        out = true;
        return true;
    }
    if (text == "off" || text == "no" || text == "ok") {
        out = false;
        return true;
    }
    return false;
}

std::string FindModel(const std::string& name)
{
    for (const std::string& m : ReceiverModels()) {
        if (m == name)
            return m;
    }
    for (const std::string& m : ReceiverModels()) {
        if (strcasecmp(m.c_str(), name.c_str()) == 0)
            return m;
    }
    return {};
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    std::string path, pathError;
    if (args.size() >= 1 && (args[0] == "--help" || args[0] == "-h" || args[0] == "help")) {
        std::fputs(kHelp, stdout);
        return 0;
    }
    if (args.size() >= 2 && args[0] == "--state") {
        path = args[1];
        args.erase(args.begin(), args.begin() + 2);
        if (path.empty())
            return Usage("--state needs a file name");
    } else {
        path = SimulatorStatePath(&pathError);
    }
    const std::string command = args.empty() ? "show" : args[0];
    const std::size_t operands = args.empty() ? 0 : args.size() - 1;
    auto arg = [&](std::size_t i) {
        return args[i];
    };

    if (command == "--help" || command == "-h" || command == "help") {
        std::fputs(kHelp, stdout);
        return 0;
    }
    if (command == "models" && operands == 0) {
        for (const std::string& m : ReceiverModels())
            std::printf("%s\t%s family, %zu keys\n", m.c_str(), FamilyName(*FamilyOfModel(m)),
                        FactoryTable(*FamilyOfModel(m)).size());
        return 0;
    }
    if (path.empty()) {
        Say(pathError);
        return 1;
    }
    if (command == "path" && operands == 0) {
        std::printf("%s\n", path.c_str());
        return 0;
    }
    if (command == "show" && operands == 0) {
        SimulatorState state;
        const StateFileRead read = ReadStateFile(path, state);
        if (read.result == StateFile::Unusable) {
            Say("cannot use the state file " + path + ": " + read.why);
            return 1;
        }
        if (read.result == StateFile::Corrupt)
            Say("unusable state file " + path + " (" + read.why +
                "); showing the factory state it would start from");
        if (!read.warnings.empty())
            Say("state file " + path + ": skipped " + read.warnings);
        Show(path, state);
        return 0;
    }

    // Every other command changes the state.
    std::function<bool(SimulatorState&, std::string&)> change;
    if (command == "model" && operands == 1) {
        const std::string model = FindModel(arg(1));
        if (model.empty())
            return Usage("unknown model \"" + arg(1) + "\"; see 'tavrolin-simulator models'");
        change = [model](SimulatorState& s, std::string&) {
            s.model = model;
            s.table = FactoryTable(s.Family());
            s.generation = NextGeneration(s.generation);
            return true;
        };
    } else if ((command == "plug" || command == "unplug") && operands == 0) {
        const bool plug = command == "plug";
        change = [plug](SimulatorState& s, std::string&) {
            if (plug && !s.plugged)
                s.generation = NextGeneration(s.generation);
            s.plugged = plug;
            return true;
        };
    } else if (command == "reset" && operands == 0) {
        change = [](SimulatorState& s, std::string&) {
            s.table = FactoryTable(s.Family());
            return true;
        };
    } else if (command == "set" && (operands == 2 || operands == 3)) {
        const std::string slotText = arg(1);
        char* end = nullptr;
        long slot = std::strtol(slotText.c_str(), &end, 10);
        if (slotText.empty() || *end || !std::isdigit(static_cast<unsigned char>(slotText[0])))
            slot = 0;
        KeyEntry entry;
        if (!ParseHex(arg(2).c_str(), entry.keyCode) ||
            (operands == 3 && !ParseHex(arg(3).c_str(), entry.modifier)))
            return Usage("KEY and MOD are hex bytes, e.g. 'set 1 4B 00'");
        change = [slot, entry](SimulatorState& s, std::string& error) {
            if (slot < 1 || slot > long(s.table.size())) {
                error = "slot must be 1 to " + std::to_string(s.table.size());
                return false;
            }
            s.table[slot - 1] = entry;
            return true;
        };
    } else if (command == "fault" && operands == 1 && arg(1) == "clear") {
        change = [](SimulatorState& s, std::string&) {
            s.silent = false;
            s.answerSize = -1;
            s.writesFail = false;
            s.keepTable = false;
            s.accessDenied = false;
            return true;
        };
    } else if (command == "fault" && operands == 2) {
        const std::string which = arg(1), value = arg(2);
        bool on = false;
        if (which == "silent" && ParseOnOff(value, on)) {
            change = [on](SimulatorState& s, std::string&) {
                return s.silent = on, true;
            };
        } else if (which == "writes" && ParseOnOff(value, on)) {
            change = [on](SimulatorState& s, std::string&) {
                return s.writesFail = on, true;
            };
        } else if (which == "keep" && ParseOnOff(value, on)) {
            change = [on](SimulatorState& s, std::string&) {
                return s.keepTable = on, true;
            };
        } else if (which == "access" && ParseOnOff(value, on)) {
            change = [on](SimulatorState& s, std::string&) {
                return s.accessDenied = on, true;
            };
        } else if (which == "size") {
            char* end = nullptr;
            const long n = value == "off" ? -1 : std::strtol(value.c_str(), &end, 10);
            if ((end && (*end || value.empty())) || n < -1 || n > 255)
                return Usage("fault size takes 0 to 255 or off");
            change = [n](SimulatorState& s, std::string&) {
                s.answerSize = static_cast<int>(n);
                return true;
            };
        } else {
            return Usage("unknown fault \"" + which + " " + value + "\"");
        }
    } else {
        return Usage("unknown command or wrong arguments: " + command);
    }

    std::string usageError;
    const StateUpdate update =
        UpdateStateFile(path, [&](SimulatorState& s) { return change(s, usageError); });
    Say(update.notice);
    if (update.outcome == StateUpdate::Failed) {
        Say(update.error);
        return 1;
    }
    if (!usageError.empty())
        return Usage(usageError);
    Show(path, update.state);
    return 0;
}
