// Watches the hidraw subsystem on a thread of its own and tells the
// registered sinks of every HID device's arrival and removal.
#pragma once

#include "HidIds.h"
#include "HidPlatform.h"
#include "NotifySinks.h"

#include <atomic>
#include <chrono>
#include <map>
#include <mutex>
#include <string>
#include <thread>

class HidrawWatcher
{
public:
    // How long an arrival waits for the node to become usable: udev rules set
    // its permissions after the event.
    static constexpr std::chrono::milliseconds kArrivalGrace{2000};
    static constexpr std::chrono::milliseconds kArrivalRetry{50};

    ~HidrawWatcher() { Stop(); }

    // Nonzero when the sink will hear of device changes. A sink registered
    // twice is watched once.
    int Register(const AtUsbHidNotifySink* sink);
    // Returns once the thread can no longer call the sink.
    void Unregister(const AtUsbHidNotifySink* sink);
    // Stops watching for every sink.
    void Stop();
    // The receiver's ids: only its nodes are opened to see whether they are
    // usable yet; the nodes of other devices are reported at once, unopened.
    void SetWanted(unsigned int vendorId, unsigned int productId)
    {
        wanted = (static_cast<unsigned long>(vendorId) << 16) | productId;
    }
    bool Running() const { return thread.joinable(); }

private:
    using Clock = std::chrono::steady_clock;

    bool Start();
    void Join();
    void Run(void* monitor, int monitorFd);
    void Handle(const HidrawEvent& event);
    void ReportArrivals();
    UsbIds IdsOf(const HidrawNode& node);

    NotifySinks sinks;
    std::mutex lifecycle; // Start, Join
    std::thread thread;
    int wakeFd = -1;
    std::atomic<bool> stopping{false};
    std::atomic<unsigned long> wanted{0};

    // Used by the thread only.
    std::map<std::string, UsbIds> idsByNode;
    std::map<std::string, Clock::time_point> pendingArrivals;
};
