#include "EmulatedReceivers.h"

#include <umockdev.h>

#include <dirent.h>
#include <linux/hidraw.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>

namespace {

constexpr int kHidrawMajor = 241;

// Usage page 0x01, usage 0x06: a boot keyboard with its LED output report.
constexpr const char* kKeyboardDescriptor =
    "05010906A101050719E029E7150025017501950881029501750881019505750105081901"
    "2905910295017503910195067508150025650507190029658100C0";
// Usage page 0xFF00: 8-byte input, output and feature reports, no report ids.
constexpr const char* kVendorDescriptor =
    "0600FF0901A1010901150026FF007508950881020902950891029508B102C0";
// Both on one interface: the keyboard's reports with ID 1, the vendor's with 2.
constexpr const char* kCombinedDescriptor =
    "05010906A1018501050719E029E71500250175019508810295017508810195067508150025650507190029658100C0"
    "0600FF0901A10185020901150026FF007508950881020902950891029508B102C0";

std::vector<unsigned char> FromHex(const char* hex)
{
    std::vector<unsigned char> bytes;
    for (std::size_t i = 0; hex[i] && hex[i + 1]; i += 2) {
        char pair[3] = {hex[i], hex[i + 1], 0};
        bytes.push_back(static_cast<unsigned char>(std::strtoul(pair, nullptr, 16)));
    }
    return bytes;
}

std::string ToHex(const unsigned char* data, std::size_t size)
{
    std::string text;
    char byte[4];
    for (std::size_t i = 0; i < size; ++i) {
        std::snprintf(byte, sizeof byte, i ? " %02X" : "%02X", data[i]);
        text += byte;
    }
    return text;
}

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char* format, ...)
{
    char buffer[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    return buffer;
}

} // namespace

struct EmulatedReceivers::Impl
{
    struct Node
    {
        int receiver = -1;
        HidInterface which = HidInterface::Vendor;
        std::string devnode;       // /dev/hidrawN
        std::string interfacePath; // sysfs path of the USB interface
        std::string hidPath;
        std::string hidrawPath;
        bool present = false;
        int openedEver = 0;
        std::vector<std::string> writes;
        std::vector<std::string> features;
        UMockdevIoctlBase* handler = nullptr;
        bool combined = false;                        // a one-interface receiver's
        std::deque<std::vector<unsigned char>> input; // keyboard reports not yet read
        const char* Descriptor() const
        {
            return combined                        ? kCombinedDescriptor
                   : which == HidInterface::Vendor ? kVendorDescriptor
                                                   : kKeyboardDescriptor;
        }
    };

    struct Receiver
    {
        Options options;
        std::string usbPath;
        int usbPort = 0;
        std::unique_ptr<ReceiverEmulator> brain;
        std::map<HidInterface, std::string> devnodes; // present nodes only
        bool plugged = false;
    };

    struct Handled
    {
        Impl* impl;
        std::string devnode;
    };

    UMockdevTestbed* testbed = nullptr;
    mutable std::mutex mutex;
    std::vector<Receiver> receivers;
    std::map<std::string, Node> nodes; // by devnode, also after they left
    std::vector<std::string> order;    // devnodes as they arrived
    std::vector<std::unique_ptr<Handled>> handled;
    std::vector<UMockdevIoctlClient*> stalled;
    std::vector<std::string> log;
    bool stallWrites = false;
    bool holdAnswers = false;
    int nextHidraw = 0;
    int nextHidSequence = 1;

    void Log(std::string line) { log.push_back(std::move(line)); }

    int InterfaceNumber(const Receiver& r, HidInterface which) const
    {
        const bool vendor = which == HidInterface::Vendor;
        return vendor == r.options.vendorFirst ? 0 : 1;
    }

    // Takes devices out of sysfs as the kernel does: each with a "remove"
    // uevent sent while its sysfs is still there, children first. umockdev
    // 0.18.4 and later send those themselves; announcing them here as well
    // would make every removal reach the library twice.
    void Remove(const std::vector<std::string>& announced, const std::string& path)
    {
#ifndef TAVROLIN_UMOCKDEV_ANNOUNCES_REMOVAL
        for (const std::string& child : announced)
            umockdev_testbed_uevent(testbed, child.c_str(), "remove");
#else
        (void)announced;
#endif
        umockdev_testbed_remove_device(testbed, path.c_str());
    }

    bool AddFromString(const std::string& description)
    {
        GError* error = nullptr;
        const bool ok = umockdev_testbed_add_from_string(testbed, description.c_str(), &error);
        if (!ok) {
            std::fprintf(stderr, "emulated receiver: %s\n", error ? error->message : "?");
            g_clear_error(&error);
        }
        return ok;
    }

    void Attach(Node& node)
    {
        node.handler = umockdev_ioctl_base_new();
        auto* context = handled.emplace_back(new Handled{this, node.devnode}).get();
        g_signal_connect(node.handler, "handle-ioctl", G_CALLBACK(&Impl::OnIoctl), context);
        g_signal_connect(node.handler, "handle-read", G_CALLBACK(&Impl::OnRead), context);
        g_signal_connect(node.handler, "handle-write", G_CALLBACK(&Impl::OnWrite), context);
        g_signal_connect(node.handler, "client-connected", G_CALLBACK(&Impl::OnConnected), context);
        GError* error = nullptr;
        if (!umockdev_testbed_attach_ioctl(testbed, node.devnode.c_str(), node.handler, &error)) {
            std::fprintf(stderr, "emulated receiver: %s\n", error ? error->message : "?");
            g_clear_error(&error);
        }
        // A process that dropped its privileges must still reach the channel
        // behind the node, so that open() itself decides who may use it.
        gchar* root = umockdev_testbed_get_root_dir(testbed);
        chmod((std::string(root) + "/ioctl" + node.devnode).c_str(), 0777);
        g_free(root);
    }

    static Node* Find(Handled* h)
    {
        auto it = h->impl->nodes.find(h->devnode);
        return it == h->impl->nodes.end() ? nullptr : &it->second;
    }

    static gboolean OnIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer data)
    {
        auto* h = static_cast<Handled*>(data);
        const unsigned long request = umockdev_ioctl_client_get_request(client);
        UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
        long result = 0;
        int error = 0;
        Ioctl(h, request, arg, result, error);
        umockdev_ioctl_client_complete(client, result, error);
        return TRUE;
    }

    static void Ioctl(Handled* h, unsigned long request, UMockdevIoctlData* arg, long& result,
                      int& error)
    {
        std::lock_guard lock(h->impl->mutex);
        Node* node = Find(h);
        if (!node || !node->present) {
            result = -1;
            error = ENODEV;
            return;
        }
        const std::vector<unsigned char> descriptor = FromHex(node->Descriptor());
        const std::string name = node->devnode.substr(5);
        auto resolve = [&](std::size_t size) {
            return umockdev_ioctl_data_resolve(arg, 0, size, nullptr);
        };
        if (request == HIDIOCGRDESCSIZE) {
            if (UMockdevIoctlData* out = resolve(sizeof(int))) {
                const int size = static_cast<int>(descriptor.size());
                std::memcpy(out->data, &size, sizeof size);
                g_object_unref(out);
            }
            h->impl->Log(name + " ioctl HIDIOCGRDESCSIZE");
        } else if (request == HIDIOCGRDESC) {
            if (UMockdevIoctlData* out = resolve(sizeof(hidraw_report_descriptor))) {
                auto* d = reinterpret_cast<hidraw_report_descriptor*>(out->data);
                if (d->size > HID_MAX_DESCRIPTOR_SIZE - 1) {
                    result = -1;
                    error = EINVAL;
                } else {
                    const std::size_t n = std::min<std::size_t>(d->size, descriptor.size());
                    std::memcpy(d->value, descriptor.data(), n);
                }
                g_object_unref(out);
            }
            h->impl->Log(name + " ioctl HIDIOCGRDESC");
        } else if (request == HIDIOCGRAWINFO) {
            if (UMockdevIoctlData* out = resolve(sizeof(hidraw_devinfo))) {
                hidraw_devinfo info{};
                info.bustype = 3; // BUS_USB
                const Options& o = h->impl->receivers[node->receiver].options;
                info.vendor = static_cast<__s16>(o.vendorId);
                info.product = static_cast<__s16>(o.productId);
                std::memcpy(out->data, &info, sizeof info);
                g_object_unref(out);
            }
            h->impl->Log(name + " ioctl HIDIOCGRAWINFO");
        } else if (_IOC_TYPE(request) == 'H' && _IOC_NR(request) == 0x06 &&
                   _IOC_DIR(request) == (_IOC_READ | _IOC_WRITE)) { // HIDIOCSFEATURE(len)
            const std::size_t size = _IOC_SIZE(request);
            if (UMockdevIoctlData* in = resolve(size)) {
                node->features.push_back(ToHex(in->data, size));
                h->impl->Log(name + " feature " + node->features.back());
                g_object_unref(in);
            }
            result = static_cast<long>(size);
        } else {
            result = -1;
            error = EINVAL;
            h->impl->Log(Format("%s ioctl %#lx refused", name.c_str(), request));
        }
    }

    static gboolean OnRead(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer data)
    {
        auto* h = static_cast<Handled*>(data);
        UMockdevIoctlData* buffer = umockdev_ioctl_client_get_arg(client);
        long result = 0;
        int error = 0;
        Read(h, buffer, result, error);
        umockdev_ioctl_client_complete(client, result, error);
        return TRUE;
    }

    static void Read(Handled* h, UMockdevIoctlData* buffer, long& result, int& error)
    {
        std::lock_guard lock(h->impl->mutex);
        Node* node = Find(h);
        if (!node || !node->present) {
            result = -1;
            error = EIO;
            return;
        }
        ReceiverEmulator* brain = h->impl->receivers[node->receiver].brain.get();
        if (!node->input.empty()) {
            const std::vector<unsigned char> report = node->input.front();
            node->input.pop_front();
            const std::size_t n = std::min<std::size_t>(report.size(), buffer->data_len);
            std::memcpy(buffer->data, report.data(), n);
            h->impl->Log(node->devnode.substr(5) + " read " + ToHex(report.data(), report.size()));
            result = static_cast<long>(n);
            return;
        }
        std::optional<Report> answer;
        if (node->which == HidInterface::Vendor && !h->impl->holdAnswers)
            answer = brain->NextAnswer();
        if (answer && node->combined && buffer->data_len > 0) { // behind report ID 2
            const std::size_t n = std::min<std::size_t>(answer->size(), buffer->data_len - 1);
            buffer->data[0] = 2;
            std::memcpy(buffer->data + 1, answer->data(), n);
            result = static_cast<long>(n + 1);
            return;
        }
        if (!answer) {
            // What a non-blocking hidraw read says with nothing queued; the
            // library polls before it reads, so it never waits here anyway.
            result = -1;
            error = EAGAIN;
            return;
        }
        // A reader with a short buffer gets the report cut to its size.
        const std::size_t n = std::min<std::size_t>(answer->size(), buffer->data_len);
        std::memcpy(buffer->data, answer->data(), n);
        h->impl->Log(node->devnode.substr(5) + " read " + ToHex(answer->data(), answer->size()));
        result = static_cast<long>(n);
    }

    static gboolean OnWrite(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer data)
    {
        auto* h = static_cast<Handled*>(data);
        UMockdevIoctlData* buffer = umockdev_ioctl_client_get_arg(client);
        long result = 0;
        int error = 0;
        if (Write(h, client, buffer, result, error))
            umockdev_ioctl_client_complete(client, result, error);
        return TRUE;
    }

    // False when the write stays waiting.
    static bool Write(Handled* h, UMockdevIoctlClient* client, UMockdevIoctlData* buffer,
                      long& result, int& error)
    {
        std::lock_guard lock(h->impl->mutex);
        Node* node = Find(h);
        if (!node || !node->present) {
            result = -1;
            error = ENODEV;
            return true;
        }
        const std::size_t size = static_cast<std::size_t>(buffer->data_len);
        node->writes.push_back(ToHex(buffer->data, size));
        h->impl->Log(node->devnode.substr(5) + " write " + node->writes.back());
        // Report id 0 first: the device has no numbered reports, so the
        // kernel passes on the 8 bytes after it.
        if (node->which == HidInterface::Vendor && size == 9 &&
            buffer->data[0] == (node->combined ? 2 : 0))
            h->impl->receivers[node->receiver].brain->HandleRequest(buffer->data + 1, 8);
        if (h->impl->stallWrites) {
            h->impl->stalled.push_back(UMOCKDEV_IOCTL_CLIENT(g_object_ref(client)));
            return false;
        }
        result = static_cast<long>(size);
        return true;
    }

    static void OnConnected(UMockdevIoctlBase*, UMockdevIoctlClient*, gpointer data)
    {
        auto* h = static_cast<Handled*>(data);
        std::lock_guard lock(h->impl->mutex);
        if (Node* node = Find(h))
            ++node->openedEver;
    }

    void ReleaseStalled()
    {
        std::vector<UMockdevIoctlClient*> waiting;
        {
            std::lock_guard lock(mutex);
            waiting.swap(stalled);
        }
        for (UMockdevIoctlClient* client : waiting) {
            UMockdevIoctlData* buffer = umockdev_ioctl_client_get_arg(client);
            umockdev_ioctl_client_complete(client, buffer ? buffer->data_len : 0, 0);
            g_object_unref(client);
        }
    }
};

EmulatedReceivers::EmulatedReceivers() : d(std::make_unique<Impl>())
{
    d->testbed = umockdev_testbed_new();
    if (!d->testbed)
        return;
    // Readable by a child that dropped its privileges.
    gchar* root = umockdev_testbed_get_root_dir(d->testbed);
    chmod(root, 0755);
    g_free(root);
}

EmulatedReceivers::~EmulatedReceivers()
{
    if (!d->testbed)
        return;
    d->ReleaseStalled();
    g_object_unref(d->testbed);
    for (auto& [devnode, node] : d->nodes)
        if (node.handler)
            g_object_unref(node.handler);
}

bool EmulatedReceivers::Ready() const
{
    return d->testbed != nullptr;
}

std::string EmulatedReceivers::Root() const
{
    gchar* root = umockdev_testbed_get_root_dir(d->testbed);
    std::string text = root ? root : "";
    g_free(root);
    return text;
}

bool EmulatedReceivers::InMockEnvironment()
{
    const char* preload = std::getenv("LD_PRELOAD");
    return preload && std::strstr(preload, "libumockdev-preload");
}

std::vector<std::string> EmulatedReceivers::ChildEnvironment() const
{
    std::string preload = "libumockdev-preload.so.0";
    if (const char* before = std::getenv("LD_PRELOAD"); before && *before) {
        if (std::strstr(before, "libumockdev-preload"))
            preload = before;
        else
            preload = preload + ":" + before;
    }
    return {"LD_PRELOAD=" + preload, "UMOCKDEV_DIR=" + Root()};
}

int EmulatedReceivers::AddReceiver(const Options& options)
{
    std::lock_guard lock(d->mutex);
    Impl::Receiver r;
    r.options = options;
    r.usbPort = static_cast<int>(d->receivers.size()) + 2;
    r.usbPath = Format("/sys/devices/pci0000:00/0000:00:14.0/usb1/1-%d", r.usbPort);
    r.brain = std::make_unique<ReceiverEmulator>(options.family);
    const int device = r.usbPort + 3;
    const std::string description =
        Format("P: %s\nN: bus/usb/001/%03d=00\nE: BUSNUM=001\nE: DEVNAME=/dev/bus/usb/001/%03d\n"
               "E: DEVNUM=%03d\nE: DEVTYPE=usb_device\nE: DRIVER=usb\nE: PRODUCT=%x/%x/100\n"
               "E: SUBSYSTEM=usb\nE: TYPE=0/0/0\nA: bcdDevice=0100\nA: bDeviceClass=00\n"
               "A: bNumInterfaces= 2\nA: busnum=1\nA: devnum=%d\nA: idProduct=%04x\n"
               "A: idVendor=%04x\nA: manufacturer=Presenter Maker\nA: product=USB Receiver\n"
               "A: speed=12\n",
               r.usbPath.c_str() + 4, device, device, device, options.vendorId, options.productId,
               device, options.productId, options.vendorId);
    // umockdev announces each device it adds ("add" uevents).
    d->AddFromString(description);
    r.plugged = true;
    d->receivers.push_back(std::move(r));
    return static_cast<int>(d->receivers.size()) - 1;
}

int EmulatedReceivers::Plug(const Options& options)
{
    const int receiver = AddReceiver(options);
    if (options.oneInterface) {
        AddNode(receiver, HidInterface::Vendor);
        return receiver;
    }
    const HidInterface first = options.vendorFirst ? HidInterface::Vendor : HidInterface::Keyboard;
    AddNode(receiver, first);
    AddNode(receiver,
            first == HidInterface::Vendor ? HidInterface::Keyboard : HidInterface::Vendor);
    return receiver;
}

void EmulatedReceivers::AddNode(int receiver, HidInterface which)
{
    std::unique_lock lock(d->mutex);
    Impl::Receiver& r = d->receivers.at(receiver);
    if (r.devnodes.count(which))
        return;
    const bool vendor = which == HidInterface::Vendor;
    const int number = d->InterfaceNumber(r, which);
    // The vendor interface keeps the lower hidraw number when it comes first.
    const int minor = d->nextHidraw++;
    const int sequence = d->nextHidSequence++;

    Impl::Node node;
    node.receiver = receiver;
    node.which = which;
    node.devnode = Format("/dev/hidraw%d", minor);
    node.interfacePath = Format("%s/1-%d:1.%d", r.usbPath.c_str(), r.usbPort, number);
    const unsigned int vid = r.options.vendorId, pid = r.options.productId;
    node.hidPath = Format("%s/0003:%04X:%04X.%04X", node.interfacePath.c_str(), vid, pid, sequence);
    node.hidrawPath = Format("%s/hidraw/hidraw%d", node.hidPath.c_str(), minor);
    node.present = true;
    node.combined = r.options.oneInterface;

    const std::string description =
        Format("P: %s\nE: DEVTYPE=usb_interface\nE: DRIVER=usbhid\nE: INTERFACE=3/%d/%d\n"
               "E: PRODUCT=%x/%x/100\nE: SUBSYSTEM=usb\nA: bInterfaceClass=03\n"
               "A: bInterfaceNumber=%02d\nA: bInterfaceProtocol=%02d\nA: bInterfaceSubClass=%02d\n"
               "\n"
               "P: %s\nE: DRIVER=hid-generic\nE: HID_ID=0003:%08X:%08X\n"
               "E: HID_NAME=Presenter Maker USB Receiver\nE: HID_PHYS=usb-0000:00:14.0-%d/input%d\n"
               "E: HID_UNIQ=\nE: MODALIAS=hid:b0003g0001v%08Xp%08X\nE: SUBSYSTEM=hid\n"
               "H: report_descriptor=%s\n"
               "\n"
               "P: %s\nN: hidraw%d=00\nE: DEVNAME=/dev/hidraw%d\nE: MAJOR=%d\nE: MINOR=%d\n"
               "E: SUBSYSTEM=hidraw\nA: dev=%d:%d\nL: device=../..\n",
               node.interfacePath.c_str() + 4, vendor ? 0 : 1, vendor ? 0 : 1, vid, pid, number,
               vendor ? 0 : 1, vendor ? 0 : 1, node.hidPath.c_str() + 4, vid, pid, r.usbPort,
               number, vid, pid, node.Descriptor(), node.hidrawPath.c_str() + 4, minor, minor,
               kHidrawMajor, minor, kHidrawMajor, minor);

    d->Attach(node);
    r.devnodes[which] = node.devnode;
    const std::string devnode = node.devnode;
    d->nodes[devnode] = std::move(node);
    d->order.push_back(devnode);
    d->Log(devnode.substr(5) + (vendor ? " added (vendor)" : " added (keyboard)"));
    // Handlers run on umockdev's own thread and take the lock.
    lock.unlock();
    d->AddFromString(description);
}

void EmulatedReceivers::RemoveNode(int receiver, HidInterface which)
{
    std::unique_lock lock(d->mutex);
    Impl::Receiver& r = d->receivers.at(receiver);
    auto at = r.devnodes.find(which);
    if (at == r.devnodes.end())
        return;
    Impl::Node& node = d->nodes.at(at->second);
    r.devnodes.erase(at);
    node.present = false;
    d->Log(node.devnode.substr(5) + " removed");
    const Impl::Node copy = node;
    lock.unlock();
    d->Remove({copy.hidrawPath}, copy.hidrawPath);
    d->Remove({copy.hidPath, copy.interfacePath}, copy.interfacePath);
}

void EmulatedReceivers::Unplug(int receiver, HidInterface first)
{
    RemoveNode(receiver, first);
    RemoveNode(receiver,
               first == HidInterface::Vendor ? HidInterface::Keyboard : HidInterface::Vendor);
    std::unique_lock lock(d->mutex);
    Impl::Receiver& r = d->receivers.at(receiver);
    if (!r.plugged)
        return;
    r.plugged = false;
    const std::string path = r.usbPath;
    lock.unlock();
    d->Remove({path}, path);
}

std::string EmulatedReceivers::DevNode(int receiver, HidInterface which) const
{
    std::lock_guard lock(d->mutex);
    const auto& r = d->receivers.at(receiver);
    const auto it = r.devnodes.find(which);
    return it == r.devnodes.end() ? std::string() : it->second;
}

void EmulatedReceivers::SetMode(int receiver, HidInterface which, unsigned int mode)
{
    const std::string devnode = DevNode(receiver, which);
    if (!devnode.empty())
        chmod((Root() + devnode).c_str(), mode);
}

std::vector<std::string> EmulatedReceivers::Writes(int receiver, HidInterface which) const
{
    std::lock_guard lock(d->mutex);
    std::vector<std::string> all;
    // Every incarnation of the interface, oldest first.
    for (const std::string& devnode : d->order)
        if (const auto& node = d->nodes.at(devnode);
            node.receiver == receiver && node.which == which)
            all.insert(all.end(), node.writes.begin(), node.writes.end());
    return all;
}

std::vector<std::string> EmulatedReceivers::Features(int receiver, HidInterface which) const
{
    std::lock_guard lock(d->mutex);
    std::vector<std::string> all;
    for (const std::string& devnode : d->order)
        if (const auto& node = d->nodes.at(devnode);
            node.receiver == receiver && node.which == which)
            all.insert(all.end(), node.features.begin(), node.features.end());
    return all;
}

int EmulatedReceivers::OpenedEver(int receiver, HidInterface which) const
{
    std::lock_guard lock(d->mutex);
    int count = 0;
    for (const auto& [devnode, node] : d->nodes)
        if (node.receiver == receiver && node.which == which)
            count += node.openedEver;
    return count;
}

int EmulatedReceivers::OpenCount(int receiver, HidInterface which) const
{
    std::vector<std::string> files;
    {
        std::lock_guard lock(d->mutex);
        const std::string root = Root();
        for (const auto& [devnode, node] : d->nodes)
            if (node.receiver == receiver && node.which == which)
                files.push_back(root + devnode);
    }
    // umockdev tells of every open but not of every close: this process's
    // own descriptors are counted instead.
    int count = 0;
    if (DIR* fds = opendir("/proc/self/fd")) {
        while (dirent* e = readdir(fds)) {
            char link[4096];
            const std::string path = std::string("/proc/self/fd/") + e->d_name;
            const ssize_t n = readlink(path.c_str(), link, sizeof link - 1);
            if (n <= 0)
                continue;
            std::string target(link, static_cast<std::size_t>(n));
            const std::string deleted = " (deleted)";
            if (target.size() > deleted.size() &&
                target.compare(target.size() - deleted.size(), deleted.size(), deleted) == 0)
                target.resize(target.size() - deleted.size());
            count += static_cast<int>(std::count(files.begin(), files.end(), target));
        }
        closedir(fds);
    }
    return count;
}

KeyTable EmulatedReceivers::Table(int receiver) const
{
    std::lock_guard lock(d->mutex);
    return d->receivers.at(receiver).brain->Table();
}

ReceiverEmulator& EmulatedReceivers::Brain(int receiver)
{
    std::lock_guard lock(d->mutex);
    return *d->receivers.at(receiver).brain;
}

void EmulatedReceivers::StallWrites(bool on)
{
    {
        std::lock_guard lock(d->mutex);
        d->stallWrites = on;
    }
    if (!on)
        d->ReleaseStalled();
}

void EmulatedReceivers::SendInput(int receiver, const std::vector<unsigned char>& report)
{
    std::lock_guard lock(d->mutex);
    const auto& r = d->receivers.at(receiver);
    const auto it =
        r.devnodes.find(r.options.oneInterface ? HidInterface::Vendor : HidInterface::Keyboard);
    if (it != r.devnodes.end())
        d->nodes.at(it->second).input.push_back(report);
}

void EmulatedReceivers::HoldAnswers(bool on)
{
    std::lock_guard lock(d->mutex);
    d->holdAnswers = on;
}

std::vector<std::string> EmulatedReceivers::Log() const
{
    std::lock_guard lock(d->mutex);
    return d->log;
}
