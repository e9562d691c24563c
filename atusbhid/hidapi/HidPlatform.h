// The few hidapi and udev calls the library makes, gathered in one table so
// that tests can put a fake device world in their place.
#pragma once

#include <hidapi.h>

#include <cstddef>
#include <string>
#include <vector>

// One hidraw node as udev knows it.
struct HidrawNode
{
    std::string devnode; // /dev/hidrawN
    std::string syspath; // .../0003:0EBC:2501.0001/hidraw/hidrawN
    std::string hidId;   // HID_ID of the hid parent ("0003:00000EBC:00002501"); may be empty
};

struct HidrawEvent
{
    enum class Kind
    {
        Add,
        Remove,
        Other
    };
    Kind kind = Kind::Other;
    HidrawNode node;
};

struct HidPlatform
{
    int (*init)();
    int (*exit)();
    hid_device_info* (*enumerate)(unsigned short vendorId, unsigned short productId);
    void (*freeEnumeration)(hid_device_info* devices);
    hid_device* (*openPath)(const char* path);
    void (*close)(hid_device* device);
    int (*write)(hid_device* device, const unsigned char* data, std::size_t length);
    int (*readTimeout)(hid_device* device, unsigned char* data, std::size_t length,
                       int milliseconds);
    int (*sendFeatureReport)(hid_device* device, const unsigned char* data, std::size_t length);

    // A monitor of the hidraw subsystem; *fd becomes readable when an event is
    // waiting. Null when none can be had.
    void* (*monitorOpen)(int* fd);
    // One waiting event; false when none is waiting. Never blocks.
    bool (*monitorReceive)(void* monitor, HidrawEvent* event);
    void (*monitorClose)(void* monitor);
    std::vector<HidrawNode> (*enumerateHidraw)();
    // 0 when the node may be opened for reading and writing, else the errno
    // that opening it gives (EACCES when the udev rule has not given access).
    int (*openError)(const char* devnode);
};

const HidPlatform& RealHidPlatform();
// Null goes back to the real one.
void SetHidPlatform(const HidPlatform* platform);
const HidPlatform& CurrentHidPlatform();
