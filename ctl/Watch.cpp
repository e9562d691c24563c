#include "Watch.h"

#include "Ctl.h"
#include "Diagnose.h"
#include "Json.h"
#include "KeyNames.h"
#include "KeyboardReports.h"
#include "ReceiverSession.h"

#include <linux/hidraw.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

namespace {

volatile std::sig_atomic_t stopSignal = 0;

void OnStop(int signal)
{
    stopSignal = signal;
}

// Ctrl+C ends the watch rather than the process, so that the node is closed
// and the exit status is ours. Without SA_RESTART, so that a waiting poll()
// returns at once.
class StopSignals
{
public:
    StopSignals()
    {
        stopSignal = 0;
        struct sigaction action
        {};
        action.sa_handler = OnStop;
        sigemptyset(&action.sa_mask);
        sigaction(SIGINT, &action, &oldInt);
        sigaction(SIGTERM, &action, &oldTerm);
    }
    ~StopSignals()
    {
        sigaction(SIGINT, &oldInt, nullptr);
        sigaction(SIGTERM, &oldTerm, nullptr);
    }
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

private:
    struct sigaction oldInt
    {};
    struct sigaction oldTerm
    {};
};

// The descriptor from the node itself, for a sysfs that does not offer it.
std::vector<unsigned char> DescriptorOf(int fd)
{
    hidraw_report_descriptor descriptor{};
    int size = 0;
    if (ioctl(fd, HIDIOCGRDESCSIZE, &size) != 0 || size <= 0 || size > HID_MAX_DESCRIPTOR_SIZE)
        return {};
    descriptor.size = static_cast<__u32>(size);
    if (ioctl(fd, HIDIOCGRDESC, &descriptor) != 0)
        return {};
    return {descriptor.value, descriptor.value + size};
}

std::string Now(bool iso)
{
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch() %
                                                                          std::chrono::seconds(1))
                        .count();
    std::tm local{};
    localtime_r(&seconds, &local);
    char text[64], zone[8] = "";
    std::strftime(text, sizeof text, iso ? "%Y-%m-%dT%H:%M:%S" : "%H:%M:%S", &local);
    std::string out = text;
    char fraction[8];
    std::snprintf(fraction, sizeof fraction, ".%03d", static_cast<int>(ms));
    out += fraction;
    if (iso && std::strftime(zone, sizeof zone, "%z", &local) == 5) // +0100 -> +01:00
        out += std::string(zone, 3) + ":" + std::string(zone + 3, 2);
    return out;
}

std::string Hex(unsigned value)
{
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", value);
    return text;
}

class Watcher
{
public:
    Watcher(const WatchOptions& options, std::ostream& out, std::ostream& err)
        : options(options), out(out), err(err)
    {}
    int Run();

private:
    int Fail(int status, const std::string& line)
    {
        err << "tavrolinctl: " << line << '\n';
        return status;
    }
    std::string T(Msg message, std::initializer_list<std::string> args = {}) const
    {
        return Text(options.language, message, args);
    }
    void ReadTable();
    void Print(KeyAssignment key);
    int Watch(int fd, const KeyboardLayout& layout);

    const WatchOptions& options;
    std::ostream& out;
    std::ostream& err;
    bool haveTable = false;
    ReceivedTable table;
    const PresenterFamily* family = nullptr;
};

void Watcher::ReadTable()
{
    // A session of its own, ended before the watching starts: the receiver
    // library is not left holding the receiver, and on a receiver with one
    // interface nothing but this command reads the node while it watches.
    ReceiverSession session;
    haveTable = session.Open() == ReceiverSession::Opened::Ok &&
                session.ReadTable(table) == ReceiverSession::Read::Ok && table.size > 0;
    if (!haveTable) {
        err << "tavrolinctl: " << T(Msg::WatchWithoutTable) << '\n';
        return;
    }
    if (options.model) {
        const PresenterFamily& f = FamilyData(options.model->family);
        if (f.tableSize == table.size)
            family = &f;
    } else if (const auto families = FamiliesOfTable(table); families.size() == 1) {
        family = families.front();
    }
}

void Watcher::Print(KeyAssignment key)
{
    std::vector<int> slots;
    if (haveTable)
        for (int slot = 1; slot <= table.size; ++slot)
            if (table.Key(slot).modifiers == key.modifiers &&
                table.Key(slot).keyCode == key.keyCode)
                slots.push_back(slot);
    const auto button = [&](int slot) -> std::string {
        return family && slot <= family->tableSize ? family->buttonNames[slot - 1] : "";
    };
    if (options.json) {
        JsonObject line;
        line.Text("time", Now(true))
            .Text("key", AssignmentText(key))
            .Number("modifiers", key.modifiers)
            .Number("keyCode", key.keyCode)
            .Text("usage", Hex(key.keyCode));
        std::vector<std::string> held;
        for (int slot : slots) {
            JsonObject s;
            s.Number("slot", slot);
            if (button(slot).empty())
                s.Null("button");
            else
                s.Text("button", button(slot));
            held.push_back(s.Str());
        }
        if (haveTable)
            line.Raw("slots", JsonArray(held));
        else
            line.Null("slots");
        out << line.Str() << '\n' << std::flush;
        return;
    }
    std::string name = AssignmentText(key);
    if (name.size() < 18)
        name.append(18 - name.size(), ' ');
    out << Now(false) << "  " << name << "  usage " << Hex(key.keyCode) << ", modifiers "
        << Hex(key.modifiers);
    std::string where;
    for (int slot : slots)
        where += (where.empty() ? "" : ", ") + std::to_string(slot) +
                 (button(slot).empty() ? "" : " (" + button(slot) + ")");
    if (!slots.empty())
        out << "  " << (slots.size() > 1 ? "buttons " : "button ") << where;
    else if (haveTable)
        out << "  in no slot of the receiver's table";
    out << '\n' << std::flush;
}

int Watcher::Watch(int fd, const KeyboardLayout& layout)
{
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    const auto deadline = options.timeout
                              ? start + std::chrono::duration_cast<Clock::duration>(
                                            std::chrono::duration<double>(*options.timeout))
                              : Clock::time_point::max();
    KeyPresses presses;
    long printed = 0;
    unsigned char report[4096]; // the largest report hidraw hands over
    while (!stopSignal) {
        const auto left = deadline - Clock::now();
        if (left <= Clock::duration::zero())
            return kExitOk;
        // A long wait on a real node, where poll() wakes for each report.
        const auto wait = std::min<Clock::duration>(left, std::chrono::milliseconds(500));
        pollfd p{fd, POLLIN, 0};
        const int ready = poll(
            &p, 1, static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(wait).count()));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready < 0 || (p.revents & (POLLERR | POLLHUP | POLLNVAL)))
            return Fail(kExitNoReceiver, T(Msg::ReceiverRemoved));
        if (ready == 0)
            continue;
        const ssize_t n = read(fd, report, sizeof report);
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
            // Said to be readable with nothing there: a node that cannot
            // wait (an emulated one). Ask again a little later.
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            continue;
        }
        if (n <= 0)
            return Fail(kExitNoReceiver, T(Msg::ReceiverRemoved));
        KeyboardState state;
        if (!DecodeKeyboardReport(layout, report, static_cast<std::size_t>(n), state))
            continue;
        for (const KeyAssignment& key : presses.Next(state)) {
            Print(key);
            // Output nobody gets (a full disk): stop, and let the caller say so.
            if (!out)
                return kExitOk;
            if (options.count && ++printed >= *options.count)
                return kExitOk;
        }
    }
    return kExitOk;
}

int Watcher::Run()
{
    std::string problem;
    std::vector<ReceiverNode> nodes = ReceiverNodes(problem);
    std::erase_if(nodes, [](const ReceiverNode& node) { return node.devnode.empty(); });
    if (nodes.empty())
        return Fail(kExitNoReceiver, T(Msg::NotConnected));
    // The keyboard collection, on an interface of its own or beside the
    // vendor one under its own report ID.
    const ReceiverNode* chosen = nullptr;
    KeyboardLayout layout;
    for (const ReceiverNode& node : nodes) {
        layout = ParseKeyboardLayout(node.descriptor);
        if (layout.found) {
            chosen = &node;
            break;
        }
    }
    std::string devnode = chosen ? chosen->devnode : std::string();
    int fd = -1;
    if (!chosen) {
        // sysfs without descriptors: ask each node.
        for (const ReceiverNode& node : nodes) {
            if (node.descriptorRead && !node.descriptor.empty())
                continue;
            const int candidate = open(node.devnode.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
            if (candidate < 0)
                continue;
            layout = ParseKeyboardLayout(DescriptorOf(candidate));
            close(candidate);
            if (layout.found) {
                devnode = node.devnode;
                break;
            }
        }
        if (devnode.empty()) {
            // No node would tell, perhaps because none may be opened.
            for (const ReceiverNode& node : nodes)
                if (access(node.devnode.c_str(), R_OK) != 0 && (errno == EACCES || errno == EPERM))
                    return Fail(kExitNoReceiver,
                                node.devnode + ": " + AccessRefusal(node.devnode, EACCES));
            return Fail(kExitNoReceiver, T(Msg::NoKeyboardInput));
        }
    }

    // Opened before the table is read, so that a node this user may not
    // read is told at once.
    fd = open(devnode.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        if (error == EACCES || error == EPERM)
            return Fail(kExitNoReceiver, devnode + ": " + AccessRefusal(devnode, error));
        if (error == ENOENT || error == ENODEV || error == ENXIO)
            return Fail(kExitNoReceiver, T(Msg::NotConnected));
        return Fail(kExitNoReceiver, devnode + ": " + std::strerror(error));
    }
    ReadTable();
    const StopSignals signals;
    const std::string where =
        devnode + (layout.reportIds ? ", report ID " + std::to_string(layout.reportId) : "");
    err << "tavrolinctl: " << T(Msg::Watching, {where}) << '\n' << std::flush;
    const int status = Watch(fd, layout);
    close(fd);
    return status;
}

} // namespace

int RunWatch(const WatchOptions& options, std::ostream& out, std::ostream& err)
{
    Watcher watcher(options, out, err);
    return watcher.Run();
}
