// The receiver library for a simulated receiver: the eight entry points over a
// ReceiverEmulator whose committed table, model and plug live in the state
// file, so that they outlast every load of the library.
#include "SimulatedReceiver.h"

#include "AtUsbHid.h"
#include "NotifySinks.h"
#include "ReceiverEmulator.h"
#include "SimulatorState.h"

#include <atomic>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <optional>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr unsigned int kVendorId = 0x0EBC;
constexpr unsigned int kProductId = 0x2501;
constexpr const char* kDevicePath = "simulated-receiver";

// Watches the state file's directory (the file itself is replaced by a
// rename) and reports plugging and unplugging to the sinks. Idle, it sleeps
// in poll() and makes no wakeups at all.
class PlugWatcher
{
public:
    // Only when the directory cannot be watched: how often to look instead.
    static constexpr int kFallbackPeriodMs = 250;

    PlugWatcher() : stopFd(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

    ~PlugWatcher()
    {
        Stop();
        if (stopFd >= 0)
            ::close(stopFd);
    }

    int Register(const AtUsbHidNotifySink* sink)
    {
        // Without its stop signal the watcher could never be stopped.
        if (!sink || !sink->deviceChange || stopFd < 0)
            return 0;
        std::lock_guard lock(lifecycle);
        sinks.Add(sink);
        if (thread.joinable() && !stopping)
            return 1;
        if (thread.joinable() && thread.get_id() == std::this_thread::get_id()) {
            stopping = false;
            return 1;
        }
        Join();
        stopping = false;
        const std::string path = SimulatorStatePath();
        // Taken now, so that a change made right after registering is seen.
        std::optional<SimulatorState> initial;
        if (SimulatorState state;
            !path.empty() && ReadStateFile(path, state).result == StateFile::Ok)
            initial = state;
        thread = std::thread([this, path, initial] { Run(path, initial); });
        return 1;
    }

    void Unregister(const AtUsbHidNotifySink* sink)
    {
        if (!sinks.Remove(sink))
            return;
        std::lock_guard lock(lifecycle);
        if (sinks.Empty())
            Join();
    }

    void Stop()
    {
        sinks.Clear();
        std::lock_guard lock(lifecycle);
        Join();
    }

private:
    void Join()
    {
        if (!thread.joinable())
            return;
        stopping = true;
        const std::uint64_t one = 1;
        [[maybe_unused]] const auto n = ::write(stopFd, &one, sizeof one);
        // From inside a sink call the thread ends by itself after the call.
        if (thread.get_id() != std::this_thread::get_id())
            thread.join();
    }

    void Run(const std::string& path, std::optional<SimulatorState> last)
    {
        const auto slash = path.rfind('/');
        const std::string dir = slash == std::string::npos ? "."
                                : slash == 0               ? "/"
                                                           : path.substr(0, slash);
        const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
        const int inotify = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        int watch = -1;
        bool look = false;
        while (!stopping) {
            if (watch < 0 && inotify >= 0 && !path.empty()) {
                watch = inotify_add_watch(inotify, dir.c_str(),
                                          IN_CLOSE_WRITE | IN_MOVED_TO | IN_CREATE | IN_ONLYDIR |
                                              IN_MOVE_SELF | IN_DELETE_SELF);
                // Anything may have happened while nothing watched.
                look = true;
            }
            if (look && !path.empty()) {
                SimulatorState now;
                // A missing or corrupt file says nothing about the plug.
                if (ReadStateFile(path, now).result == StateFile::Ok) {
                    if (last)
                        Report(*last, now);
                    last = now;
                }
            }
            look = false;
            pollfd fds[2] = {{stopFd, POLLIN, 0}, {inotify, POLLIN, 0}};
            if (::poll(fds, inotify >= 0 ? 2 : 1, watch >= 0 ? -1 : kFallbackPeriodMs) == 0)
                look = true;
            if (fds[0].revents & POLLIN) {
                std::uint64_t count = 0;
                [[maybe_unused]] const auto n = ::read(stopFd, &count, sizeof count);
            }
            if (inotify >= 0 && (fds[1].revents & POLLIN))
                look = Drain(inotify, name, watch) || look;
        }
        if (inotify >= 0)
            ::close(inotify);
    }

    // True when an event concerns the state file. A watch the kernel dropped
    // (the directory was removed) is forgotten, to be set up again; so is one
    // whose directory was moved away (`mv dir dir.old; mkdir dir`), which the
    // kernel would go on watching under its new name.
    static bool Drain(int inotify, const std::string& name, int& watch)
    {
        alignas(inotify_event) char buffer[4096];
        bool concerns = false;
        ssize_t n = 0;
        while ((n = ::read(inotify, buffer, sizeof buffer)) > 0) {
            for (char* p = buffer; p < buffer + n;) {
                const auto* event = reinterpret_cast<const inotify_event*>(p);
                if (event->mask & (IN_Q_OVERFLOW | IN_IGNORED | IN_MOVE_SELF))
                    concerns = true;
                if ((event->mask & IN_MOVE_SELF) && event->wd == watch)
                    inotify_rm_watch(inotify, watch);
                if ((event->mask & (IN_IGNORED | IN_MOVE_SELF)) && event->wd == watch)
                    watch = -1;
                if (event->len && name == event->name)
                    concerns = true;
                p += sizeof(inotify_event) + event->len;
            }
        }
        return concerns;
    }

    void Report(const SimulatorState& before, const SimulatorState& now)
    {
        const bool replaced = before.generation != now.generation || before.model != now.model;
        if (before.plugged && (!now.plugged || replaced))
            sinks.Dispatch(ATUSBHID_DEVICE_REMOVE_COMPLETE, kVendorId, kProductId, kDevicePath);
        if (now.plugged && (!before.plugged || replaced))
            sinks.Dispatch(ATUSBHID_DEVICE_ARRIVAL, kVendorId, kProductId, kDevicePath);
    }

    NotifySinks sinks;
    std::mutex lifecycle;
    std::thread thread;
    const int stopFd;
    std::atomic<bool> stopping{false};
};

struct Session
{
    std::uint32_t generation;
    std::string model;
    ReceiverEmulator emulator;
};

struct Simulator
{
    std::mutex mutex;
    std::optional<Session> session;
    std::atomic<unsigned int> vendorId{0};
    std::atomic<unsigned int> productId{0};
    std::atomic<int> findError{ATUSBHID_FIND_OK};
    std::string lastSaid;
    PlugWatcher watcher;
};

Simulator& Sim()
{
    static Simulator simulator;
    return simulator;
}

// Each trouble with the state file is said once, not on every call.
void Say(Simulator& sim, const std::string& message)
{
    if (message.empty() || message == sim.lastSaid)
        return;
    std::fprintf(stderr, "tavrolin-simulator: %s\n", message.c_str());
    sim.lastSaid = message;
}

// The state as the file has it; a missing or corrupt file is replaced by a
// receiver with its factory table. None when the file cannot be used at all:
// then there is no receiver.
std::optional<SimulatorState> LoadState(Simulator& sim)
{
    std::string error;
    const std::string path = SimulatorStatePath(&error);
    if (path.empty()) {
        Say(sim, error + "; no receiver");
        return std::nullopt;
    }
    SimulatorState state;
    const StateFileRead read = ReadStateFile(path, state);
    if (read.result == StateFile::Ok) {
        // Once the file is sound again, a later fault is news again.
        if (read.warnings.empty())
            sim.lastSaid.clear();
        else
            Say(sim, "state file " + path + ": skipped " + read.warnings);
        return state;
    }
    if (read.result == StateFile::Unusable) {
        Say(sim, "cannot use the state file " + path + ": " + read.why + "; no receiver");
        return std::nullopt;
    }
    const StateUpdate update = UpdateStateFile(path, [](SimulatorState&) { return false; });
    if (update.outcome == StateUpdate::Failed) {
        Say(sim, update.error + "; no receiver");
        return std::nullopt;
    }
    Say(sim, update.notice);
    return update.state;
}

// The open handle, if the receiver it was opened on is still there: pulling
// the receiver out or swapping it kills the handle for good.
Session* LiveSession(Simulator& sim, const SimulatorState& state)
{
    if (!sim.session)
        return nullptr;
    if (!state.plugged || state.generation != sim.session->generation ||
        state.model != sim.session->model) {
        sim.session.reset();
        return nullptr;
    }
    // The tool may have changed the table under an open handle.
    sim.session->emulator.SetTable(state.table);
    sim.session->emulator.SetAnswerSize(state.answerSize);
    return &*sim.session;
}

// With sim.mutex held: the open session, brought in line with the state file
// (read into `state`); null when none is open or the receiver went away. A
// closed handle reads no file.
Session* OpenSession(Simulator& sim, SimulatorState& state)
{
    if (!sim.session)
        return nullptr;
    const std::optional<SimulatorState> loaded = LoadState(sim);
    if (!loaded)
        return nullptr;
    state = *loaded;
    return LiveSession(sim, state);
}

} // namespace

namespace SimulatedReceiver {

void Shutdown()
{
    Simulator& sim = Sim();
    sim.watcher.Stop();
    std::lock_guard lock(sim.mutex);
    sim.session.reset();
}

} // namespace SimulatedReceiver

extern "C" {

ATUSBHID_API unsigned char findHidDevice(unsigned int vendorId, unsigned int productId)
{
    Simulator& sim = Sim();
    std::lock_guard lock(sim.mutex);
    sim.session.reset();
    sim.vendorId = vendorId;
    sim.productId = productId;
    sim.findError = ATUSBHID_FIND_NOT_FOUND;
    if (vendorId != kVendorId || productId != kProductId)
        return 0;
    const std::optional<SimulatorState> loaded = LoadState(sim);
    if (!loaded) {
        sim.findError = ATUSBHID_FIND_OTHER;
        return 0;
    }
    const SimulatorState& state = *loaded;
    if (!state.plugged)
        return 0;
    if (state.accessDenied) {
        sim.findError = ATUSBHID_FIND_NO_PERMISSION;
        return 0;
    }
    sim.session.emplace(Session{state.generation, state.model, ReceiverEmulator(state.Family())});
    sim.session->emulator.SetTable(state.table);
    sim.findError = ATUSBHID_FIND_OK;
    return 1;
}

ATUSBHID_API int lastFindError(void)
{
    return Sim().findError;
}

ATUSBHID_API void closeDevice(void)
{
    Simulator& sim = Sim();
    std::lock_guard lock(sim.mutex);
    sim.session.reset();
}

ATUSBHID_API unsigned char writeData(unsigned char* report)
{
    if (!report)
        return 0;
    Simulator& sim = Sim();
    std::lock_guard lock(sim.mutex);
    if (!sim.session)
        return 0;
    const std::string path = SimulatorStatePath();
    if (path.empty())
        return 0;
    // The request meets the table on file and its result is written back
    // under one lock, so that a change made meanwhile by the tool or another
    // program is never overwritten with an older table.
    bool taken = false;
    const StateUpdate update = UpdateStateFile(path, [&](SimulatorState& state) {
        Session* session = LiveSession(sim, state);
        if (!session || state.writesFail)
            return false;
        // Taken in, like any report the device accepts, even when it made no
        // sense to it.
        taken = true;
        const KeyTable before = session->emulator.Table();
        session->emulator.HandleRequest(report, 8);
        if (session->emulator.Table() == before)
            return false;
        if (state.keepTable) {
            // Accepted as if it took, yet the receiver still holds its old table.
            session->emulator.SetTable(before);
            return false;
        }
        state.table = session->emulator.Table();
        return true;
    });
    if (update.outcome == StateUpdate::Failed) {
        Say(sim, update.error);
        return 0;
    }
    Say(sim, update.notice);
    return taken ? 1 : 0;
}

ATUSBHID_API unsigned char readData(unsigned char* buffer)
{
    if (!buffer)
        return 0;
    Simulator& sim = Sim();
    std::lock_guard lock(sim.mutex);
    SimulatorState state;
    Session* session = OpenSession(sim, state);
    if (!session || state.silent)
        return 0;
    const std::optional<Report> answer = session->emulator.NextAnswer();
    if (!answer)
        return 0;
    std::memcpy(buffer, answer->data(), answer->size());
    return 1;
}

ATUSBHID_API unsigned char setFeature(unsigned char* report)
{
    // The receiver takes no feature reports; one is accepted and dropped.
    if (!report)
        return 0;
    Simulator& sim = Sim();
    std::lock_guard lock(sim.mutex);
    SimulatorState state;
    return OpenSession(sim, state) ? 1 : 0;
}

ATUSBHID_API int hidRegisterDeviceNotification(void* window)
{
    return Sim().watcher.Register(static_cast<const AtUsbHidNotifySink*>(window));
}

ATUSBHID_API void hidUnregisterDeviceNotification(void* window)
{
    Sim().watcher.Unregister(static_cast<const AtUsbHidNotifySink*>(window));
}

ATUSBHID_API int isMyDeviceNotification(void* eventData)
{
    const auto* event = static_cast<const AtUsbHidDeviceEvent*>(eventData);
    if (!event)
        return 0;
    Simulator& sim = Sim();
    const unsigned int vendor = sim.vendorId;
    const unsigned int product = sim.productId;
    return vendor != 0 && event->vendorId == vendor && event->productId == product ? 1 : 0;
}

} // extern "C"
