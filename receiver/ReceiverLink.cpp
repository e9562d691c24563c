#include "ReceiverLink.h"

#include "AtUsbHid.h"
#include "DynamicLibrary.h"

#include <cstdio>

AtUsbHidEntryPoints& AtUsbHidTable()
{
    static AtUsbHidEntryPoints table;
    return table;
}

namespace {

template <typename Fn> bool Lookup(void* module, const char* name, Fn& slot)
{
    void* address = DynamicLibrary::Symbol(module, name);
    if (!address)
        return false;
    slot = reinterpret_cast<Fn>(address);
    return true;
}

} // namespace

ReceiverLink::~ReceiverLink()
{
    Release();
}

bool ReceiverLink::BindEntryPoints(void* module)
{
    AtUsbHidEntryPoints& t = AtUsbHidTable();
    const bool bound =
        Lookup(module, "findHidDevice", t.findHidDevice) &&
        Lookup(module, "closeDevice", t.closeDevice) && Lookup(module, "writeData", t.writeData) &&
        Lookup(module, "readData", t.readData) &&
        Lookup(module, "hidRegisterDeviceNotification", t.hidRegisterDeviceNotification) &&
        Lookup(module, "hidUnregisterDeviceNotification", t.hidUnregisterDeviceNotification) &&
        Lookup(module, "isMyDeviceNotification", t.isMyDeviceNotification) &&
        Lookup(module, "setFeature", t.setFeature);
    if (!bound) {
        std::fprintf(stderr, "%s\n", "Error: Cannot get address of function.");
        return false;
    }
    // Looked up after the eight and never a reason to refuse the library.
    t.lastFindError = reinterpret_cast<int (*)()>(DynamicLibrary::Symbol(module, "lastFindError"));
    return true;
}

int ReceiverLink::Open(unsigned int vendor, unsigned int product, void* owner)
{
    vendorId = vendor;
    productId = product;
    window = owner;
    connected = 0;
    findError = ATUSBHID_FIND_NOT_FOUND;

    // Loaded once per link: every re-open on arrival reuses the module, so the
    // single unload in Release balances it.
    if (!module)
        module = DynamicLibrary::Load("AtUsbHid");
    if (!module)
        return 0;
    if (!BindEntryPoints(module))
        return 0;

    AtUsbHidEntryPoints& t = AtUsbHidTable();
    if (t.findHidDevice(vendorId, productId)) {
        // One registration per window: a re-open keeps the one it has.
        if (!registration)
            registration = t.hidRegisterDeviceNotification(window);
        connected = 1;
        findError = ATUSBHID_FIND_OK;
    } else if (t.lastFindError) {
        const int cause = t.lastFindError();
        // A library that says "found" although it found nothing, or a cause
        // unknown here, counts as not found.
        findError = cause == ATUSBHID_FIND_NO_PERMISSION || cause == ATUSBHID_FIND_OTHER
                        ? cause
                        : ATUSBHID_FIND_NOT_FOUND;
    }
    return 1;
}

int ReceiverLink::Close()
{
    AtUsbHidEntryPoints& t = AtUsbHidTable();
    if (connected) {
        t.closeDevice();
        connected = 0;
    }
    if (registration) {
        t.hidUnregisterDeviceNotification(window);
        registration = 0;
    }
    return 1;
}

void ReceiverLink::Release()
{
    Close();
    if (module) {
        DynamicLibrary::Free(module);
        module = nullptr;
    }
}

int ReceiverLink::Write(const ReceiverReport& report)
{
    if (!connected)
        return 0;
    // The library takes a mutable pointer; it gets a copy, never our report.
    ReceiverReport copy = report;
    return AtUsbHidTable().writeData(copy.data()) ? 1 : 0;
}

int ReceiverLink::Read(ReceiverReport& buffer)
{
    if (!connected)
        return 0;
    if (!AtUsbHidTable().readData(buffer.data()))
        return -1;
    return buffer.bytes[7];
}

int ReceiverLink::DiscardWaitingAnswers(int limit)
{
    int dropped = 0;
    ReceiverReport answer;
    while (dropped < limit && connected && Read(answer) != -1)
        ++dropped;
    return dropped;
}

int ReceiverLink::ClassifyDeviceChange(unsigned int eventType, void* eventData)
{
    if (eventType != kDeviceArrival && eventType != kDeviceRemoveComplete)
        return kIgnored;

    // A link whose library never bound has nothing to ask; an event for it
    // counts as someone else's device.
    AtUsbHidEntryPoints& t = AtUsbHidTable();
    const int mine =
        (module && t.isMyDeviceNotification && eventData) ? t.isMyDeviceNotification(eventData) : 0;
    if (eventType == kDeviceArrival) {
        if (mine && connected)
            return kAlreadyOpen;
        Open(vendorId, productId, window);
        return kReopened;
    }
    if (connected && mine) {
        t.closeDevice();
        connected = 0;
        findError = ATUSBHID_FIND_NOT_FOUND;
        return kRemoved;
    }
    return kIgnored;
}
