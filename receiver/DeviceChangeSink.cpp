#include "DeviceChangeSink.h"

#include <cstring>
#include <utility>

DeviceChangeSink::DeviceChangeSink(Post postFn, Handler handlerFn)
    : post(std::move(postFn)), handler(std::move(handlerFn))
{
    sink.deviceChange = &DeviceChangeSink::Forward;
    sink.context = this;
}

void DeviceChangeSink::Forward(void* context, unsigned int eventType, const void* eventData)
{
    auto* self = static_cast<DeviceChangeSink*>(context);
    if (!self)
        return;
    AtUsbHidDeviceEvent copy{};
    if (eventData)
        std::memcpy(&copy, eventData, sizeof copy);
    copy.path[sizeof copy.path - 1] = '\0';
    self->post([self, eventType, copy]() mutable { self->handler(eventType, &copy); });
}
