// The program's command line: --help and --version print and end the
// program; any other option or argument is an error rather than a window
// opened as if nothing had been said.
#pragma once

#include <optional>

// The exit status when the program is to end without a window; nothing when
// it is to run. Needs no display: it runs before the application object.
std::optional<int> HandleCommandLine(int argc, char** argv);
