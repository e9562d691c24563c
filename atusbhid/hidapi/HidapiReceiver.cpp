#include "HidapiReceiver.h"

#include "AtUsbHid.h"
#include "HidPlatform.h"
#include "HidrawWatcher.h"

#include <atomic>
#include <cstring>

namespace {

constexpr std::size_t kReportSize = 8;

struct State
{
    hid_device* device = nullptr;
    bool initialised = false;
    // Read by isMyDeviceNotification, which may run on any thread.
    std::atomic<unsigned int> vendorId{0};
    std::atomic<unsigned int> productId{0};
    HidrawWatcher watcher;
};

State& S()
{
    static State state;
    return state;
}

bool IsVendorDefined(unsigned short usagePage)
{
    return usagePage >= 0xFF00;
}

// The receiver may offer several interfaces (its keyboard, a vendor channel);
// requests go to the vendor-defined one.
const hid_device_info* ChooseInterface(const hid_device_info* devices, unsigned int vendorId,
                                       unsigned int productId)
{
    const hid_device_info* first = nullptr;
    for (const hid_device_info* d = devices; d; d = d->next) {
        if (d->vendor_id != vendorId || d->product_id != productId || !d->path || !*d->path)
            continue;
        if (IsVendorDefined(d->usage_page))
            return d;
        if (!first)
            first = d;
    }
    return first;
}

unsigned char SendReport(int (*send)(hid_device*, const unsigned char*, std::size_t),
                         const unsigned char* report)
{
    State& s = S();
    if (!report || !s.device)
        return 0;
    // No report id: hidapi takes a leading 0 in its place.
    unsigned char out[kReportSize + 1] = {0};
    std::memcpy(out + 1, report, kReportSize);
    const int sent = send(s.device, out, sizeof out);
    // hidraw counts the leading 0, other backends do not.
    return sent >= int(kReportSize) ? 1 : 0;
}

} // namespace

namespace HidapiReceiver {

void Shutdown()
{
    State& s = S();
    s.watcher.Stop();
    closeDevice();
    // As after a fresh load: no receiver looked for yet.
    s.vendorId = 0;
    s.productId = 0;
    if (s.initialised) {
        CurrentHidPlatform().exit();
        s.initialised = false;
    }
}

} // namespace HidapiReceiver

extern "C" {

ATUSBHID_API unsigned char findHidDevice(unsigned int vendorId, unsigned int productId)
{
    State& s = S();
    closeDevice();
    s.vendorId = vendorId;
    s.productId = productId;
    if (vendorId == 0 || vendorId > 0xFFFF || productId == 0 || productId > 0xFFFF)
        return 0;
    const HidPlatform& platform = CurrentHidPlatform();
    if (!s.initialised) {
        if (platform.init() != 0)
            return 0;
        s.initialised = true;
    }
    hid_device_info* devices = platform.enumerate(static_cast<unsigned short>(vendorId),
                                                  static_cast<unsigned short>(productId));
    if (const hid_device_info* chosen = ChooseInterface(devices, vendorId, productId))
        s.device = platform.openPath(chosen->path);
    if (devices)
        platform.freeEnumeration(devices);
    return s.device ? 1 : 0;
}

ATUSBHID_API void closeDevice(void)
{
    State& s = S();
    if (s.device) {
        CurrentHidPlatform().close(s.device);
        s.device = nullptr;
    }
}

ATUSBHID_API unsigned char writeData(unsigned char* report)
{
    return SendReport(CurrentHidPlatform().write, report);
}

ATUSBHID_API unsigned char setFeature(unsigned char* report)
{
    return SendReport(CurrentHidPlatform().sendFeatureReport, report);
}

ATUSBHID_API unsigned char readData(unsigned char* buffer)
{
    State& s = S();
    if (!buffer || !s.device)
        return 0;
    // Room for a longer report than expected, so that one is recognised and
    // dropped rather than cut to size.
    unsigned char in[64];
    const int n = CurrentHidPlatform().readTimeout(s.device, in, sizeof in, 0);
    // n < 0: the device has gone; the removal notification closes it.
    if (n != int(kReportSize))
        return 0;
    std::memcpy(buffer, in, kReportSize);
    return 1;
}

ATUSBHID_API int hidRegisterDeviceNotification(void* window)
{
    return S().watcher.Register(static_cast<const AtUsbHidNotifySink*>(window));
}

ATUSBHID_API void hidUnregisterDeviceNotification(void* window)
{
    S().watcher.Unregister(static_cast<const AtUsbHidNotifySink*>(window));
}

ATUSBHID_API int isMyDeviceNotification(void* eventData)
{
    const auto* event = static_cast<const AtUsbHidDeviceEvent*>(eventData);
    if (!event)
        return 0;
    State& s = S();
    const unsigned int vendor = s.vendorId;
    const unsigned int product = s.productId;
    return vendor != 0 && event->vendorId == vendor && event->productId == product ? 1 : 0;
}

} // extern "C"
