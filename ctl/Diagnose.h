// tavrolinctl diagnose: what this computer sees of the receiver, as plain
// text for a bug report. It only looks; the one report it sends is the read
// request, which changes nothing on the receiver.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

// Always 0: whatever is found is the report. `json`: the same facts as one
// JSON object.
int RunDiagnose(std::ostream& out, bool json = false);

// A hidraw node of a receiver (0ebc:2501), as udev and sysfs describe it.
struct ReceiverNode
{
    std::string devnode; // empty when udev names none
    std::string syspath;
    std::string interfaceNumber; // as sysfs has it; empty when unknown
    std::vector<unsigned char> descriptor;
    bool descriptorRead = false; // sysfs offered the report descriptor
};

// Every receiver node present; `problem` says why none could be looked for.
std::vector<ReceiverNode> ReceiverNodes(std::string& problem);

// The first Usage Page item of a HID report descriptor; -1 when there is none.
long ReportDescriptorUsagePage(const std::vector<unsigned char>& descriptor);

// Why this user may not open a device node that gave `error`, as diagnose
// tells it: "this user may NOT open it: Permission denied (not the owner, ...)".
std::string AccessRefusal(const std::string& devnode, int error);
