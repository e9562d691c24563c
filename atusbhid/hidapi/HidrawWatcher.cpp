#include "HidrawWatcher.h"

#include <cerrno>
#include <cstdint>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

int HidrawWatcher::Register(const AtUsbHidNotifySink* sink)
{
    if (!sink || !sink->deviceChange)
        return 0;
    std::lock_guard lock(lifecycle);
    const bool added = sinks.Add(sink);
    if (thread.joinable()) {
        if (!stopping)
            return 1;
        // Asked to stop from inside a sink call and registered again from
        // another: this thread carries on.
        if (thread.get_id() == std::this_thread::get_id()) {
            stopping = false;
            return 1;
        }
        Join();
    }
    if (!Start()) {
        if (added)
            sinks.Remove(sink);
        return 0;
    }
    return 1;
}

void HidrawWatcher::Unregister(const AtUsbHidNotifySink* sink)
{
    if (!sinks.Remove(sink))
        return;
    std::lock_guard lock(lifecycle);
    if (sinks.Empty())
        Join();
}

void HidrawWatcher::Stop()
{
    sinks.Clear();
    std::lock_guard lock(lifecycle);
    Join();
}

bool HidrawWatcher::Start()
{
    const HidPlatform& platform = CurrentHidPlatform();
    int monitorFd = -1;
    void* monitor = platform.monitorOpen(&monitorFd);
    if (!monitor)
        return false;
    wakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wakeFd < 0) {
        platform.monitorClose(monitor);
        return false;
    }
    // The nodes present now, so that their removal can be told even when
    // nothing is left in sysfs to ask.
    idsByNode.clear();
    pendingArrivals.clear();
    for (const HidrawNode& node : platform.enumerateHidraw())
        idsByNode[node.devnode] = IdsOf(node);
    stopping = false;
    thread = std::thread([this, monitor, monitorFd] { Run(monitor, monitorFd); });
    return true;
}

void HidrawWatcher::Join()
{
    if (!thread.joinable())
        return;
    stopping = true;
    const std::uint64_t one = 1;
    [[maybe_unused]] auto n = write(wakeFd, &one, sizeof one);
    // Asked from inside a sink call: the thread ends by itself after the call,
    // and whoever starts the next one joins it.
    if (thread.get_id() == std::this_thread::get_id())
        return;
    thread.join();
    close(wakeFd);
    wakeFd = -1;
}

void HidrawWatcher::Run(void* monitor, int monitorFd)
{
    const HidPlatform& platform = CurrentHidPlatform();
    while (!stopping) {
        pollfd fds[2] = {{monitorFd, POLLIN, 0}, {wakeFd, POLLIN, 0}};
        const int timeout = pendingArrivals.empty() ? -1 : int(kArrivalRetry.count());
        if (poll(fds, 2, timeout) < 0 && errno != EINTR)
            break;
        if (fds[1].revents & POLLIN) {
            std::uint64_t count = 0;
            [[maybe_unused]] auto n = read(wakeFd, &count, sizeof count);
        }
        if (stopping)
            break;
        if (fds[0].revents & POLLIN) {
            HidrawEvent event;
            while (!stopping && platform.monitorReceive(monitor, &event))
                Handle(event);
        } else if (fds[0].revents & (POLLERR | POLLHUP | POLLNVAL)) {
            break;
        }
        ReportArrivals();
    }
    platform.monitorClose(monitor);
}

UsbIds HidrawWatcher::IdsOf(const HidrawNode& node)
{
    UsbIds ids;
    if (!ParseHidId(node.hidId, ids))
        ParseHidSyspath(node.syspath, ids);
    return ids;
}

void HidrawWatcher::Handle(const HidrawEvent& event)
{
    const HidrawNode& node = event.node;
    if (node.devnode.empty())
        return;
    switch (event.kind) {
    case HidrawEvent::Kind::Add:
        idsByNode[node.devnode] = IdsOf(node);
        pendingArrivals[node.devnode] = Clock::now() + kArrivalGrace;
        ReportArrivals();
        break;
    case HidrawEvent::Kind::Remove: {
        UsbIds ids;
        const auto known = idsByNode.find(node.devnode);
        if (known != idsByNode.end()) {
            ids = known->second;
            idsByNode.erase(known);
        } else {
            ids = IdsOf(node);
        }
        pendingArrivals.erase(node.devnode);
        sinks.Dispatch(ATUSBHID_DEVICE_REMOVE_COMPLETE, ids.vendorId, ids.productId, node.devnode);
        break;
    }
    case HidrawEvent::Kind::Other:
        break;
    }
}

void HidrawWatcher::ReportArrivals()
{
    const HidPlatform& platform = CurrentHidPlatform();
    const auto now = Clock::now();
    const unsigned long receiver = wanted;
    for (auto it = pendingArrivals.begin(); it != pendingArrivals.end();) {
        const UsbIds ids = idsByNode[it->first];
        const bool ours = receiver != 0 && ((static_cast<unsigned long>(ids.vendorId) << 16) |
                                            ids.productId) == receiver;
        // Past the grace period it is reported anyway: the program's attempt
        // to open it then fails like any other. Another device's node is
        // never opened: that may have effects of its own.
        if (!ours || now >= it->second || platform.openError(it->first.c_str()) == 0) {
            const std::string devnode = it->first;
            it = pendingArrivals.erase(it);
            sinks.Dispatch(ATUSBHID_DEVICE_ARRIVAL, ids.vendorId, ids.productId, devnode);
        } else {
            ++it;
        }
    }
}
