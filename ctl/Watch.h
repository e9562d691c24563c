// tavrolinctl watch: what each presenter button really sends, read from the
// receiver's keyboard input (its hidraw node), beside the table slot that
// holds that combination. Only reads: the node is opened read-only and
// closed when the command ends.
#pragma once

#include "Messages.h"
#include "PresenterFamilies.h"

#include <iosfwd>
#include <optional>

struct WatchOptions
{
    Language language = Language::English;
    const PresenterModel* model = nullptr; // names the buttons when the table cannot
    std::optional<long> count;             // combinations, then stop
    std::optional<double> timeout;         // seconds, then stop
    bool json = false;
};

// Ends with 0 after Ctrl+C (SIGINT or SIGTERM), the count or the timeout;
// with kExitNoReceiver when there is no receiver, no keyboard input on it,
// no permission to read it, or when the receiver leaves.
int RunWatch(const WatchOptions& options, std::ostream& out, std::ostream& err);
