// tavrolinctl: the receiver's key table from the command line.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

// Exit statuses.
inline constexpr int kExitOk = 0;
inline constexpr int kExitUsage = 1;       // bad arguments, key names or files; wrong model
inline constexpr int kExitNoReceiver = 2;  // none there, not permitted, or not answering
inline constexpr int kExitNotVerified = 3; // a write the receiver does not hold
inline constexpr int kExitNoAnswer = 4;    // written and committed, but no read-back in time

// args without the program's name. `in` answers the reset question.
int RunTavrolinCtl(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
                   std::ostream& err);
