// The receiver library for a simulated receiver: the eight entry points over a
// ReceiverEmulator whose committed table, model and plug live in the state
// file, so that they outlast every load of the library.
#include "SimulatedReceiver.h"

#include "AtUsbHid.h"
#include "NotifySinks.h"
#include "ReceiverEmulator.h"
#include "SimulatorState.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <optional>
#include <thread>

namespace {

constexpr unsigned int kVendorId = 0x0EBC;
constexpr unsigned int kProductId = 0x2501;
constexpr const char* kDevicePath = "simulated-receiver";

// Polls the state file and reports plugging and unplugging to the sinks.
class PlugWatcher
{
public:
    static constexpr std::chrono::milliseconds kPeriod{100};

    ~PlugWatcher() { Stop(); }

    int Register(const AtUsbHidNotifySink* sink)
    {
        if (!sink || !sink->deviceChange)
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
        // Taken now, so that a change made right after registering is seen.
        std::optional<SimulatorState> initial;
        if (SimulatorState state; ReadStateFile(SimulatorStatePath(), state) == StateFile::Ok)
            initial = state;
        thread = std::thread([this, initial] { Run(initial); });
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
        {
            std::lock_guard lock(wakeMutex);
            stopping = true;
        }
        wake.notify_all();
        // From inside a sink call the thread ends by itself after the call.
        if (thread.get_id() != std::this_thread::get_id())
            thread.join();
    }

    void Run(std::optional<SimulatorState> last)
    {
        std::unique_lock lock(wakeMutex);
        while (!stopping) {
            lock.unlock();
            SimulatorState now;
            // A missing or half-written file says nothing about the plug.
            if (ReadStateFile(SimulatorStatePath(), now) == StateFile::Ok) {
                if (last)
                    Report(*last, now);
                last = now;
            }
            lock.lock();
            wake.wait_for(lock, kPeriod, [this] { return stopping.load(); });
        }
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
    std::mutex wakeMutex;
    std::condition_variable wake;
    std::atomic<bool> stopping{false};
};

struct Session
{
    unsigned long generation;
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
    bool warned = false;
    PlugWatcher watcher;
};

Simulator& Sim()
{
    static Simulator simulator;
    return simulator;
}

// The state as the file has it. A missing or corrupt file is replaced by a
// receiver with its factory table, and that is said once, not on every call.
SimulatorState LoadState(Simulator& sim)
{
    const std::string path = SimulatorStatePath();
    SimulatorState state;
    std::string why;
    if (ReadStateFile(path, state, &why) == StateFile::Ok)
        return state;
    StateFileLock lock(path);
    const StateFile again = ReadStateFile(path, state, &why);
    if (again == StateFile::Ok)
        return state;
    if (!sim.warned) {
        std::fprintf(stderr,
                     "tavrolin-simulator: %s state file %s (%s); starting a %s receiver with its "
                     "factory table\n",
                     again == StateFile::Missing ? "no" : "unusable", path.c_str(), why.c_str(),
                     state.model.c_str());
    }
    // Once the file is sound again, a later corruption is news again.
    sim.warned = !WriteStateFile(path, state);
    return state;
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
    state = LoadState(sim);
    return LiveSession(sim, state);
}

bool Persist(Simulator& sim, const KeyTable& table)
{
    const std::string path = SimulatorStatePath();
    StateFileLock lock(path);
    SimulatorState state;
    if (ReadStateFile(path, state) != StateFile::Ok || !LiveSession(sim, state))
        return false;
    state.table = table;
    return WriteStateFile(path, state);
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
    const SimulatorState state = LoadState(sim);
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
    SimulatorState state;
    Session* session = OpenSession(sim, state);
    if (!session || state.writesFail)
        return 0;
    const KeyTable before = session->emulator.Table();
    session->emulator.HandleRequest(report, 8);
    const KeyTable after = session->emulator.Table();
    if (state.keepTable) {
        // Accepted as if it took, yet the receiver still holds its old table.
        session->emulator.SetTable(before);
        return 1;
    }
    // Taken in, like any report the device accepts, even when it made no
    // sense to it; lost only when the receiver went away meanwhile.
    if (after != before && !Persist(sim, after))
        return 0;
    return 1;
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
