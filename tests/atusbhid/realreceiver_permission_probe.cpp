// Run by atusbhid_real_receiver as an ordinary user: a testbed of its own with one
// receiver whose nodes it may open ("allow"), may not open ("deny"), or no
// receiver at all ("absent"); then what the real library says through the
// program's link.
#include "EmulatedReceivers.h"
#include "ReceiverLink.h"

#include <cstdio>
#include <cstring>

int main(int argc, char** argv)
{
    const char* mode = argc > 1 ? argv[1] : "";
    EmulatedReceivers usb;
    if (!usb.Ready() || !EmulatedReceivers::InMockEnvironment()) {
        std::fprintf(stderr, "no testbed\n");
        return 2;
    }
    if (std::strcmp(mode, "absent") != 0) {
        const int r = usb.Plug();
        if (std::strcmp(mode, "deny") == 0) {
            // As with the udev rule not yet loaded: root's nodes, for root only.
            usb.SetMode(r, HidInterface::Vendor, 0);
            usb.SetMode(r, HidInterface::Keyboard, 0);
        }
    }
    ReceiverLink link;
    if (link.Open(0x0EBC, 0x2501, nullptr) != 1) {
        std::fprintf(stderr, "the library did not load\n");
        return 2;
    }
    std::printf("connected=%d cause=%d\n", link.IsConnected(), link.LastFindError());
    link.Release();
    return 0;
}
