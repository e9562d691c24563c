#include "Help.h"

#include "KeyNames.h"
#include "PresenterFamilies.h"

#include <ostream>

namespace {

struct CommandText
{
    const char* command;
    const char* text;
};

const CommandText kCommands[] = {
    {"show", R"~(Usage: tavrolinctl show [--model M] [--json]

Prints the receiver's key table: slot, the button's name, the key and the
bytes the receiver holds (entry byte, modifier byte, key code). Without
--model the family is told by the table; with it, a table of another family
is an error.

  --model M   Name the buttons as on model M (see 'tavrolinctl models').
  --json      One JSON object: size, model, families, slots.

Exit status: 0 shown; 1 bad usage or another family's table; 2 no receiver,
no permission or no answer.
)~"},
    {"set", R"~(Usage: tavrolinctl set --model M SLOT KEY [SLOT KEY ...] [--json]

Gives the buttons in the slots new keys; the other buttons keep theirs. The
whole table is written and committed, then read back.

  tavrolinctl set --model RV-80 1 Ctrl+F5 7 "Page Down"

  --model M   The presenter model (see 'tavrolinctl models'); slots are
              1 to the number of its buttons.
  --json      The outcome as one JSON object: what was written, verified or not.

Keys are named as the key fields show them (A, F5, Page Up, Num ., Ctrl+F5,
L_Wnd+D, none). Exit status: 0 written and verified; 1 bad usage, slot, key
name or a model that does not fit the receiver; 2 no receiver, no permission
or no answer; 3 written but not verified; 4 written and committed, but the
read-back did not come in time (run show).
)~"},
    {"reset", R"~(Usage: tavrolinctl reset [--model M] [--yes] [--json]

Restores the receiver's factory table and reads it back. Asks on the terminal
first unless --yes is given.

  --model M   Refuse a receiver of another family than model M's.
  --yes, -y   Do not ask.
  --json      The outcome as one JSON object.

Exit status: 0 reset and verified; 1 bad usage, another family, or not
confirmed; 2 no receiver, no permission or no answer; 3 not verified; 4 reset
and committed, but the read-back did not come in time (run show).
)~"},
    {"export", R"~(Usage: tavrolinctl export --model M FILE

Saves the receiver's table in a key table file; FILE - writes to standard
output. A failed export leaves an earlier FILE as it was.

Exit status: 0 saved; 1 bad usage, another family, or FILE not written;
2 no receiver, no permission or no answer.
)~"},
    {"import", R"~(Usage: tavrolinctl import FILE [--json]

Writes a key table file to the receiver and reads it back; FILE - reads
standard input. Only a regular file is read. The file names its model; a file for another family than the receiver's, or with any fault, is
refused before anything is written.

  --json      The outcome as one JSON object.

Exit status: 0 written and verified; 1 bad usage or file, another family;
2 no receiver, no permission or no answer; 3 not verified; 4 written and
committed, but the read-back did not come in time (run show).
)~"},
    {"models", R"~(Usage: tavrolinctl models [--json]

Lists the presenter models, their families and their buttons.

  --json      A JSON array: model, family, buttons.
)~"},
    {"diagnose", R"~(Usage: tavrolinctl diagnose [--json]

Prints what this computer sees of the receiver, for a bug report: its hidraw
nodes, their USB interfaces, usage pages and report descriptors, whether this
user may open them and why not, the udev rule, the receiver library and which
node it would choose, and the table if it can be read. Sends no report but the
read request; changes nothing.

  --json      The same as one JSON object.

Exit status: 0.
)~"},
    {"watch", R"~(Usage: tavrolinctl watch [--model M] [--count N] [--timeout S] [--json]

Prints each key combination the presenter sends, one line each, as it
arrives: the time, the key named as 'show' names it, its usage and modifier
byte in hex, and the table slot that holds it ("button 4 (START)"). Reads the
receiver's keyboard input (its hidraw node) and never writes to it. Runs until
Ctrl+C.

  --model M   Name the buttons as on model M when the table does not tell.
  --count N   Stop after N combinations.
  --timeout S Stop after S seconds.
  --json      One JSON object per line: time, key, modifiers, keyCode,
              usage, slots.

Exit status: 0 ended by Ctrl+C, --count or --timeout; 1 bad usage; 2 no
receiver, no keyboard input on it, no permission to read it, or the receiver
was removed while watched.
)~"},
};

} // namespace

const char* CommandHelp(const std::string& command)
{
    for (const CommandText& c : kCommands)
        if (command == c.command)
            return c.text;
    return nullptr;
}

int PrintCompletions(const std::vector<std::string>& args, std::ostream& out)
{
    const std::string what = args.empty() ? std::string() : args.front();
    if (what == "models") {
        for (const PresenterModel& model : kPresenterModels)
            out << model.text << '\n';
    } else if (what == "slots" && args.size() > 1) {
        if (const PresenterModel* model = FindPresenterModelIgnoringCase(args[1]))
            for (int slot = 1; slot <= FamilyData(model->family).tableSize; ++slot)
                out << slot << '\n';
    } else if (what == "keys") {
        for (const std::string& name : ReceiverKeyNames())
            out << name << '\n';
        out << "none\n";
    }
    return 0;
}
