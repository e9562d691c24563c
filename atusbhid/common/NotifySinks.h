// The sinks registered for device-change notifications, shared by the
// library's watcher thread and the caller's thread.
//
// Calls to the sinks are made with the lock held, so once Remove has
// returned no call to that sink is running or can still start. The lock is
// recursive so that a sink may register or unregister from inside its call.
#pragma once

#include "AtUsbHid.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <string_view>
#include <vector>

class NotifySinks
{
public:
    // False when the sink was registered already.
    bool Add(const AtUsbHidNotifySink* sink)
    {
        std::lock_guard lock(mutex);
        if (Contains(sink))
            return false;
        sinks.push_back({sink, *sink});
        return true;
    }

    // True when no sink is left.
    bool Remove(const AtUsbHidNotifySink* sink)
    {
        std::lock_guard lock(mutex);
        sinks.erase(std::remove_if(sinks.begin(), sinks.end(),
                                   [sink](const Entry& e) { return e.key == sink; }),
                    sinks.end());
        return sinks.empty();
    }

    bool Contains(const AtUsbHidNotifySink* sink)
    {
        std::lock_guard lock(mutex);
        return std::any_of(sinks.begin(), sinks.end(),
                           [sink](const Entry& e) { return e.key == sink; });
    }

    bool Empty()
    {
        std::lock_guard lock(mutex);
        return sinks.empty();
    }

    void Clear()
    {
        std::lock_guard lock(mutex);
        sinks.clear();
    }

    void Dispatch(unsigned int eventType, unsigned int vendorId, unsigned int productId,
                  std::string_view path)
    {
        AtUsbHidDeviceEvent event{};
        event.vendorId = vendorId;
        event.productId = productId;
        const std::size_t n = std::min(path.size(), sizeof event.path - 1);
        std::memcpy(event.path, path.data(), n);
        std::lock_guard lock(mutex);
        // Copied: a sink that unregisters from inside its call changes the list.
        const std::vector<Entry> now = sinks;
        for (const Entry& e : now) {
            if (e.copy.deviceChange && Contains(e.key))
                e.copy.deviceChange(e.copy.context, eventType, &event);
        }
    }

private:
    struct Entry
    {
        const AtUsbHidNotifySink* key;
        AtUsbHidNotifySink copy;
    };

    std::recursive_mutex mutex;
    std::vector<Entry> sinks;
};
