// The usage text of each command, for 'tavrolinctl COMMAND --help' and
// 'tavrolinctl help COMMAND'.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

// Null for a text that names no command.
const char* CommandHelp(const std::string& command);

// tavrolinctl complete WHAT [MODEL], for the shell's completion: the words
// one per line: "models", "slots" of a model, "keys" (names without
// modifiers). Always 0; an unknown WHAT or model prints nothing.
int PrintCompletions(const std::vector<std::string>& args, std::ostream& out);
