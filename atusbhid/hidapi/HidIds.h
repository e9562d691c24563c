// Reading USB ids out of what udev says about a hidraw node.
#pragma once

#include <string_view>

struct UsbIds
{
    unsigned int vendorId = 0;
    unsigned int productId = 0;
};

// HID_ID property: "BBBB:VVVVVVVV:PPPPPPPP".
bool ParseHidId(std::string_view hidId, UsbIds& ids);
// The hid device's component of a sysfs path: "BBBB:VVVV:PPPP.NNNN".
bool ParseHidSyspath(std::string_view syspath, UsbIds& ids);
