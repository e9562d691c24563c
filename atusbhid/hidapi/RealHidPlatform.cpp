#include "HidPlatform.h"

#include <libudev.h>

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace {

struct Monitor
{
    udev* context = nullptr;
    udev_monitor* monitor = nullptr;
};

std::string Text(const char* s)
{
    return s ? std::string(s) : std::string();
}

HidrawNode NodeOf(udev_device* device)
{
    HidrawNode node;
    node.devnode = Text(udev_device_get_devnode(device));
    if (node.devnode.empty())
        node.devnode = Text(udev_device_get_property_value(device, "DEVNAME"));
    node.syspath = Text(udev_device_get_syspath(device));
    // Gone on removal: the parent has left sysfs with the node.
    if (udev_device* hid = udev_device_get_parent_with_subsystem_devtype(device, "hid", nullptr))
        node.hidId = Text(udev_device_get_property_value(hid, "HID_ID"));
    return node;
}

void* MonitorOpen(int* fd)
{
    auto* m = new Monitor;
    m->context = udev_new();
    if (m->context)
        m->monitor = udev_monitor_new_from_netlink(m->context, "udev");
    if (!m->monitor ||
        udev_monitor_filter_add_match_subsystem_devtype(m->monitor, "hidraw", nullptr) < 0 ||
        udev_monitor_enable_receiving(m->monitor) < 0) {
        if (m->monitor)
            udev_monitor_unref(m->monitor);
        if (m->context)
            udev_unref(m->context);
        delete m;
        return nullptr;
    }
    const int monitorFd = udev_monitor_get_fd(m->monitor);
    // receive_device must never wait: the watcher polls the descriptor itself.
    fcntl(monitorFd, F_SETFL, fcntl(monitorFd, F_GETFL) | O_NONBLOCK);
    *fd = monitorFd;
    return m;
}

bool MonitorReceive(void* handle, HidrawEvent* event)
{
    auto* m = static_cast<Monitor*>(handle);
    udev_device* device = udev_monitor_receive_device(m->monitor);
    if (!device)
        return false;
    const std::string action = Text(udev_device_get_action(device));
    event->kind = action == "add"      ? HidrawEvent::Kind::Add
                  : action == "remove" ? HidrawEvent::Kind::Remove
                                       : HidrawEvent::Kind::Other;
    event->node = NodeOf(device);
    udev_device_unref(device);
    return true;
}

void MonitorClose(void* handle)
{
    auto* m = static_cast<Monitor*>(handle);
    if (!m)
        return;
    udev_monitor_unref(m->monitor);
    udev_unref(m->context);
    delete m;
}

std::vector<HidrawNode> EnumerateHidraw()
{
    std::vector<HidrawNode> nodes;
    udev* context = udev_new();
    if (!context)
        return nodes;
    if (udev_enumerate* e = udev_enumerate_new(context)) {
        udev_enumerate_add_match_subsystem(e, "hidraw");
        udev_enumerate_scan_devices(e);
        udev_list_entry* entry = nullptr;
        udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(e))
        {
            udev_device* device =
                udev_device_new_from_syspath(context, udev_list_entry_get_name(entry));
            if (!device)
                continue;
            nodes.push_back(NodeOf(device));
            udev_device_unref(device);
        }
        udev_enumerate_unref(e);
    }
    udev_unref(context);
    return nodes;
}

int OpenError(const char* devnode)
{
    const int fd = ::open(devnode, O_RDWR | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return errno ? errno : EIO;
    ::close(fd);
    return 0;
}

void Close(hid_device* device)
{
    hid_close(device);
}

void FreeEnumeration(hid_device_info* devices)
{
    hid_free_enumeration(devices);
}

const HidPlatform kReal = {
    &hid_init,        &hid_exit,         &hid_enumerate,
    &FreeEnumeration, &hid_open_path,    &Close,
    &hid_write,       &hid_read_timeout, &hid_send_feature_report,
    &MonitorOpen,     &MonitorReceive,   &MonitorClose,
    &EnumerateHidraw, &OpenError,
};

std::atomic<const HidPlatform*> current{nullptr};

} // namespace

const HidPlatform& RealHidPlatform()
{
    return kReal;
}

void SetHidPlatform(const HidPlatform* platform)
{
    current = platform;
}

const HidPlatform& CurrentHidPlatform()
{
    const HidPlatform* p = current.load();
    return p ? *p : kReal;
}
