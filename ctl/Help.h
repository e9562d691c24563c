// The usage text of each command, for 'tavrolinctl COMMAND --help' and
// 'tavrolinctl help COMMAND'.
#pragma once

#include <string>

// Null for a text that names no command.
const char* CommandHelp(const std::string& command);
