#include "HidapiReceiver.h"

#include "AtUsbHid.h"
#include "HidPlatform.h"
#include "HidrawWatcher.h"
#include "RequestWorker.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <dlfcn.h>
#include <mutex>
#include <string>

namespace {

constexpr std::size_t kReportSize = 8;

struct State
{
    hid_device* device = nullptr;
    bool initialised = false;
    std::atomic<unsigned int> vendorId{0};
    std::atomic<unsigned int> productId{0};
    std::atomic<int> findError{ATUSBHID_FIND_NOT_FOUND};
    // The node held open, for isMyDeviceNotification, which may run on any
    // thread.
    std::mutex heldLock;
    std::string heldPath;
    HidrawWatcher watcher;
    RequestWorker requests;
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

std::string HeldPath()
{
    State& s = S();
    std::lock_guard lock(s.heldLock);
    return s.heldPath;
}

void SetHeldPath(std::string path)
{
    State& s = S();
    std::lock_guard lock(s.heldLock);
    s.heldPath = std::move(path);
}

// The receiver may offer several interfaces (its keyboard, a vendor channel);
// requests go to the vendor-defined one. Of several, the one held open
// already is kept, so that another receiver of the same kind plugged in
// meanwhile does not take over.
const hid_device_info* ChooseInterface(const hid_device_info* devices, unsigned int vendorId,
                                       unsigned int productId, const std::string& held)
{
    const hid_device_info* vendor = nullptr;
    const hid_device_info* other = nullptr;
    for (const hid_device_info* d = devices; d; d = d->next) {
        if (d->vendor_id != vendorId || d->product_id != productId || !d->path || !*d->path)
            continue;
        const hid_device_info*& best = IsVendorDefined(d->usage_page) ? vendor : other;
        if (!best || (!held.empty() && held == d->path))
            best = d;
    }
    return vendor ? vendor : other;
}

int FindErrorOf(int openError)
{
    switch (openError) {
    case EACCES:
    case EPERM:
        return ATUSBHID_FIND_NO_PERMISSION;
    case ENOENT:
    case ENODEV:
    case ENXIO:
        // Gone between the enumeration and the open.
        return ATUSBHID_FIND_NOT_FOUND;
    default:
        return ATUSBHID_FIND_OTHER;
    }
}

// A hidraw write returns only once the transfer is done; a receiver that
// stalls must not hold the caller longer than this.
constexpr std::chrono::milliseconds kRequestLimit{1000};

// A request that hangs goes on in the library's own thread, which runs the
// library's code and hidapi's: from then on the library stays loaded until
// the process ends, so that a dialog that unloads it returns at once instead
// of waiting for the kernel to give up on the transfer.
void KeepLoaded()
{
    static std::once_flag once;
    std::call_once(once, [] {
        Dl_info info{};
        if (dladdr(reinterpret_cast<void*>(&KeepLoaded), &info) && info.dli_fname)
            dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
    });
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
    const int sent = s.requests.Run(s.device, send, out, sizeof out, kRequestLimit);
    if (sent < 0 && s.requests.Busy())
        KeepLoaded();
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
    // hidapi stays initialised for a request that still hangs in it.
    const bool hanging = s.requests.Busy();
    s.requests.Stop();
    // As after a fresh load: no receiver looked for yet.
    s.vendorId = 0;
    s.productId = 0;
    s.findError = ATUSBHID_FIND_NOT_FOUND;
    if (s.initialised && !hanging) {
        CurrentHidPlatform().exit();
        s.initialised = false;
    }
}

} // namespace HidapiReceiver

extern "C" {

ATUSBHID_API unsigned char findHidDevice(unsigned int vendorId, unsigned int productId)
{
    State& s = S();
    s.vendorId = vendorId;
    s.productId = productId;
    s.watcher.SetWanted(vendorId, productId);
    if (vendorId == 0 || vendorId > 0xFFFF || productId == 0 || productId > 0xFFFF) {
        closeDevice();
        s.findError = ATUSBHID_FIND_NOT_FOUND;
        return 0;
    }
    const HidPlatform& platform = CurrentHidPlatform();
    if (!s.initialised) {
        if (platform.init() != 0) {
            closeDevice();
            s.findError = ATUSBHID_FIND_OTHER;
            return 0;
        }
        s.initialised = true;
    }
    hid_device_info* devices = platform.enumerate(static_cast<unsigned short>(vendorId),
                                                  static_cast<unsigned short>(productId));
    const std::string held = s.device ? HeldPath() : std::string();
    const hid_device_info* chosen = ChooseInterface(devices, vendorId, productId, held);
    const std::string path = chosen ? chosen->path : "";
    if (devices)
        platform.freeEnumeration(devices);

    // Found where it is held open already (another device's arrival makes
    // the program look again): kept, so that answers on their way are not
    // thrown away with the descriptor.
    if (s.device && !path.empty() && path == held && !s.requests.Busy()) {
        s.findError = ATUSBHID_FIND_OK;
        return 1;
    }
    closeDevice();
    if (path.empty()) {
        s.findError = ATUSBHID_FIND_NOT_FOUND;
        return 0;
    }
    s.device = platform.openPath(path.c_str());
    if (!s.device) {
        // Opening again tells why: hidapi's own message is not meant for this.
        s.findError = FindErrorOf(platform.openError(path.c_str()));
        return 0;
    }
    SetHeldPath(path);
    s.findError = ATUSBHID_FIND_OK;
    return 1;
}

ATUSBHID_API void closeDevice(void)
{
    State& s = S();
    if (s.device) {
        SetHeldPath({});
        // A request still hanging on it keeps it until it comes back.
        s.requests.CloseWhenIdle(s.device, CurrentHidPlatform().close);
        s.device = nullptr;
    }
}

ATUSBHID_API int lastFindError(void)
{
    return S().findError;
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
    // While a request hangs the receiver is not answering; reading now
    // would only wait for it.
    if (!buffer || !s.device || s.requests.Busy())
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
    // Only the node held open is ours. The kernel does not give its number
    // to another node while it is open, so an event with its path is its
    // removal. Any other event, an arrival of the receiver's other
    // interface included, is not ours: the program then looks for the
    // receiver again, and so moves to the vendor interface when that one
    // arrives after the keyboard.
    const std::size_t length = strnlen(event->path, sizeof event->path);
    if (length == 0 || length == sizeof event->path)
        return 0;
    const std::string held = HeldPath();
    return !held.empty() && held == std::string(event->path, length) ? 1 : 0;
}

} // extern "C"
