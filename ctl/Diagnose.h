// tavrolinctl diagnose: what this computer sees of the receiver, as plain
// text for a bug report. It only looks; the one report it sends is the read
// request, which changes nothing on the receiver.
#pragma once

#include <iosfwd>

// Always 0: whatever is found is the report.
int RunDiagnose(std::ostream& out);
