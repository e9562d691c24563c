// The receiving end of the library's device-change notifications.
//
// The library may report from a thread of its own, and the event it hands
// over lives only during the call. The sink copies the event and posts the
// copy to the owner's thread, where the handler gets a pointer to it (to hand
// on to ReceiverLink::ClassifyDeviceChange).
#pragma once

#include "AtUsbHid.h"

#include <functional>

class DeviceChangeSink
{
public:
    // Runs a function on the owner's thread. It must drop the function when
    // the owner is gone by then (a Qt queued call with the owner as context).
    using Post = std::function<void(std::function<void()>)>;
    using Handler = std::function<void(unsigned int eventType, AtUsbHidDeviceEvent* event)>;

    DeviceChangeSink(Post post, Handler handler);
    DeviceChangeSink(const DeviceChangeSink&) = delete;
    DeviceChangeSink& operator=(const DeviceChangeSink&) = delete;

    // What the link passes to the library as its window.
    void* Window() { return &sink; }

private:
    static void Forward(void* context, unsigned int eventType, const void* eventData);

    AtUsbHidNotifySink sink;
    Post post;
    Handler handler;
};
