// Asks hidapi and libudev directly rather than through the receiver library:
// the report is wanted exactly when that library cannot be loaded, is the
// wrong one, or finds nothing, and what it tells (descriptors, permissions,
// udev rules) lies outside the library's eight entry points, which every
// receiver library (the simulated one, the test scripts) would otherwise have
// to grow as well.
#include "Diagnose.h"

#include "Json.h"
#include "KeyNames.h"
#include "ReceiverSession.h"

#include <hidapi.h>
#include <libudev.h>

#include <dlfcn.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#ifndef TAVROLIN_VERSION
#define TAVROLIN_VERSION "unknown"
#endif

namespace {

constexpr unsigned int kVendorId = 0x0EBC;
constexpr unsigned int kProductId = 0x2501;

std::string HexBytes(const std::vector<unsigned char>& bytes)
{
    std::string out;
    char byte[4];
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        std::snprintf(byte, sizeof byte, "%02x", bytes[i]);
        out += (i == 0 ? "" : i % 16 == 0 ? "\n      " : " ");
        out += byte;
    }
    return out;
}

std::string GroupName(gid_t gid)
{
    const group* g = getgrgid(gid);
    return g ? g->gr_name : std::to_string(gid);
}

std::string UserName(uid_t uid)
{
    const passwd* p = getpwuid(uid);
    return p ? p->pw_name : std::to_string(uid);
}

bool InGroup(gid_t gid)
{
    if (getegid() == gid)
        return true;
    std::vector<gid_t> groups(static_cast<std::size_t>(std::max(getgroups(0, nullptr), 0)));
    const int n = getgroups(static_cast<int>(groups.size()), groups.data());
    for (int i = 0; i < n; ++i)
        if (groups[static_cast<std::size_t>(i)] == gid)
            return true;
    return false;
}

// Each part of the report writes its lines to `out` and its facts to `json`.
void Access(std::ostream& out, JsonObject& json, const std::string& devnode)
{
    struct stat st
    {};
    if (stat(devnode.c_str(), &st) != 0) {
        out << "    access: cannot look at the node: " << std::strerror(errno) << '\n';
        json.Null("owner")
            .Null("group")
            .Null("mode")
            .Bool("mayOpen", false)
            .Text("problem", std::string("cannot look at the node: ") + std::strerror(errno));
        return;
    }
    char mode[8];
    std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(st.st_mode & 07777));
    out << "    node: owner " << UserName(st.st_uid) << ", group " << GroupName(st.st_gid)
        << ", mode " << mode << '\n';
    json.Text("owner", UserName(st.st_uid)).Text("group", GroupName(st.st_gid)).Text("mode", mode);
    if (access(devnode.c_str(), R_OK | W_OK) == 0) {
        out << "    access: this user may open it for reading and writing\n";
        json.Bool("mayOpen", true).Null("problem");
        return;
    }
    const std::string refusal = AccessRefusal(devnode, errno);
    out << "    access: " << refusal << '\n';
    json.Bool("mayOpen", false).Text("problem", refusal);
}

void UdevRule(std::ostream& out, JsonObject& json)
{
    std::vector<std::string> rules;
    static const char* const kDirs[] = {"/etc/udev/rules.d", "/run/udev/rules.d",
                                        "/usr/local/lib/udev/rules.d", "/usr/lib/udev/rules.d",
                                        "/lib/udev/rules.d"};
    bool found = false;
    for (const char* dir : kDirs) {
        const std::string path = std::string(dir) + "/70-tavrolin.rules";
        std::ifstream rule(path);
        if (!rule)
            continue;
        const std::string text((std::istreambuf_iterator<char>(rule)),
                               std::istreambuf_iterator<char>());
        const bool names =
            text.find("0ebc") != std::string::npos && text.find("2501") != std::string::npos;
        out << "udev rule: " << path
            << (names ? " (names 0ebc:2501)" : " (does NOT name 0ebc:2501)") << '\n';
        rules.push_back(JsonObject().Text("path", path).Bool("namesReceiver", names).Str());
        found = true;
    }
    if (!found)
        out << "udev rule: 70-tavrolin.rules is not installed (looked in /etc/udev/rules.d, "
               "/run/udev/rules.d, /usr/local/lib/udev/rules.d, /usr/lib/udev/rules.d, "
               "/lib/udev/rules.d)\n";
    json.Raw("udevRules", JsonArray(rules));
}

// The receiver library the loader finds, and whether it has every entry point.
void Library(std::ostream& out, JsonObject& json)
{
    void* library = dlopen("libAtUsbHid.so", RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        const char* why = dlerror();
        out << "receiver library: libAtUsbHid.so cannot be loaded: " << (why ? why : "?") << '\n';
        json.Raw("library",
                 JsonObject().Bool("loaded", false).Text("problem", why ? why : "?").Str());
        return;
    }
    Dl_info info{};
    void* find = dlsym(library, "findHidDevice");
    const std::string path =
        find && dladdr(find, &info) && info.dli_fname ? info.dli_fname : "libAtUsbHid.so";
    out << "receiver library: " << path << '\n';
    static const char* const kEntryPoints[] = {"findHidDevice",
                                               "closeDevice",
                                               "writeData",
                                               "readData",
                                               "hidRegisterDeviceNotification",
                                               "hidUnregisterDeviceNotification",
                                               "isMyDeviceNotification",
                                               "setFeature"};
    std::string missing;
    std::vector<std::string> missingJson;
    for (const char* name : kEntryPoints)
        if (!dlsym(library, name)) {
            missing += std::string(missing.empty() ? "" : ", ") + name;
            missingJson.push_back(JsonString(name));
        }
    out << "  entry points: " << (missing.empty() ? "all eight" : "missing " + missing)
        << "; lastFindError: " << (dlsym(library, "lastFindError") ? "offered" : "not offered")
        << '\n';
    json.Raw("library", JsonObject()
                            .Bool("loaded", true)
                            .Text("path", path)
                            .Raw("missingEntryPoints", JsonArray(missingJson))
                            .Bool("lastFindError", dlsym(library, "lastFindError") != nullptr)
                            .Str());
    dlclose(library);
}

// As the hidapi receiver library chooses: the first interface with a
// vendor-defined usage page, else the first interface at all.
void Choice(std::ostream& out, JsonObject& json)
{
    if (hid_init() != 0) {
        out << "hidapi: cannot start\n";
        json.Null("hidapi").Null("libraryWouldOpen");
        return;
    }
    std::vector<std::string> seen;
    hid_device_info* devices = hid_enumerate(kVendorId, kProductId);
    const hid_device_info* first = nullptr;
    const hid_device_info* vendor = nullptr;
    out << "hidapi sees:\n";
    for (const hid_device_info* d = devices; d; d = d->next) {
        char line[64];
        std::snprintf(line, sizeof line, "interface %d, usage page 0x%04X", d->interface_number,
                      d->usage_page);
        out << "  " << (d->path ? d->path : "(no path)") << ": " << line << '\n';
        seen.push_back(JsonObject()
                           .Text("path", d->path ? d->path : "")
                           .Number("interface", d->interface_number)
                           .Number("usagePage", d->usage_page)
                           .Str());
        if (!d->path || !*d->path)
            continue;
        if (!first)
            first = d;
        if (!vendor && d->usage_page >= 0xFF00)
            vendor = d;
    }
    if (!devices)
        out << "  nothing\n";
    const hid_device_info* chosen = vendor ? vendor : first;
    out << "the hidapi receiver library would open: "
        << (chosen ? std::string(chosen->path) +
                         (vendor ? " (vendor-defined usage page)"
                                 : " (first interface; none is vendor-defined)")
                   : std::string("nothing"))
        << '\n';
    json.Raw("hidapi", JsonArray(seen));
    if (chosen)
        json.Text("libraryWouldOpen", chosen->path);
    else
        json.Null("libraryWouldOpen");
    hid_free_enumeration(devices);
    hid_exit();
}

void TableRead(std::ostream& out, JsonObject& json)
{
    out << "table read (read request only):";
    JsonObject read;
    const auto problem = [&](const char* text) {
        out << ' ' << text << '\n';
        json.Raw("tableRead", read.Text("problem", text).Null("size").Str());
    };
    ReceiverSession session;
    switch (session.Open()) {
    case ReceiverSession::Opened::Ok:
        break;
    case ReceiverSession::Opened::NoLibrary:
        return problem("no receiver library");
    case ReceiverSession::Opened::NotFound:
        return problem("findHidDevice found no receiver");
    case ReceiverSession::Opened::NoPermission:
        return problem("the receiver may not be opened by this user");
    }
    ReceivedTable table;
    switch (session.ReadTable(table)) {
    case ReceiverSession::Read::Ok:
        break;
    case ReceiverSession::Read::NoAnswer:
        out << " no complete answer (last size byte " << table.size << ")\n";
        json.Raw("tableRead",
                 read.Text("problem", "no complete answer").Number("size", table.size).Str());
        return;
    case ReceiverSession::Read::Disconnected:
        return problem("the receiver went away");
    }
    out << " size " << table.size << '\n';
    std::vector<std::string> entries;
    for (int slot = 1; slot <= table.size; ++slot) {
        const KeyAssignment key = table.Key(slot);
        entries.push_back(JsonObject()
                              .Number("slot", slot)
                              .Number("entry", table.entryBytes[slot - 1])
                              .Number("modifiers", key.modifiers)
                              .Number("keyCode", key.keyCode)
                              .Text("key", AssignmentText(key))
                              .Str());
        char bytes[32];
        std::snprintf(bytes, sizeof bytes, "%02X %02X %02X", table.entryBytes[slot - 1],
                      table.modifiers[slot - 1], table.keyCodes[slot - 1]);
        out << "  " << slot << ": " << bytes << "  " << AssignmentText(table.Key(slot)) << '\n';
    }
    json.Raw(
        "tableRead",
        read.Null("problem").Number("size", table.size).Raw("slots", JsonArray(entries)).Str());
}

// fontconfig's own tool answers as the program's fonts would, without linking
// the font libraries into this tool.
void HangulFont(std::ostream& out, JsonObject& json)
{
    std::string first;
    int fonts = 0;
    FILE* list = popen("fc-list :lang=ko family 2>/dev/null", "r");
    char line[1024];
    while (list && std::fgets(line, sizeof line, list)) {
        const std::string family(line, std::strcspn(line, ",\n"));
        if (!family.empty() && fonts++ == 0)
            first = family;
    }
    const int status = list ? pclose(list) : -1;
    const bool told = fonts > 0 || (status != -1 && WIFEXITED(status) && WEXITSTATUS(status) == 0);
    out << "Hangul font: ";
    if (fonts > 0)
        out << first << " (" << fonts << " fonts cover Korean)\n";
    else if (told)
        out << "none, Korean texts show as boxes (install fonts-noto-cjk)\n";
    else
        out << "cannot tell, fc-list (package fontconfig) does not run\n";
    // null: fontconfig could not be asked; "": asked, and no font covers Korean.
    if (told)
        json.Text("hangulFont", first);
    else
        json.Null("hangulFont");
}

} // namespace

// "0003:00000EBC:00002501": bus, vendor, product.
static bool IsReceiver(const char* hidId)
{
    if (!hidId)
        return false;
    const std::string id = hidId;
    const auto first = id.find(':');
    const auto second = first == std::string::npos ? first : id.find(':', first + 1);
    if (second == std::string::npos)
        return false;
    unsigned int vendor = 0, product = 0;
    const char* v = id.data() + first + 1;
    const char* p = id.data() + second + 1;
    return std::from_chars(v, id.data() + second, vendor, 16).ec == std::errc{} &&
           std::from_chars(p, id.data() + id.size(), product, 16).ec == std::errc{} &&
           vendor == kVendorId && product == kProductId;
}

std::vector<ReceiverNode> ReceiverNodes(std::string& problem)
{
    std::vector<ReceiverNode> nodes;
    udev* context = udev_new();
    if (!context) {
        problem = "udev_new failed";
        return nodes;
    }
    udev_enumerate* enumerate = udev_enumerate_new(context);
    udev_enumerate_add_match_subsystem(enumerate, "hidraw");
    udev_enumerate_scan_devices(enumerate);
    udev_list_entry* entry = nullptr;
    udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(enumerate))
    {
        udev_device* device =
            udev_device_new_from_syspath(context, udev_list_entry_get_name(entry));
        if (!device)
            continue;
        udev_device* hid = udev_device_get_parent_with_subsystem_devtype(device, "hid", nullptr);
        if (hid && IsReceiver(udev_device_get_property_value(hid, "HID_ID"))) {
            ReceiverNode node;
            const char* devnode = udev_device_get_devnode(device);
            node.devnode = devnode ? devnode : "";
            node.syspath = udev_device_get_syspath(device);
            if (udev_device* usb =
                    udev_device_get_parent_with_subsystem_devtype(device, "usb", "usb_interface"))
                if (const char* n = udev_device_get_sysattr_value(usb, "bInterfaceNumber"))
                    node.interfaceNumber = n;
            std::ifstream file(std::string(udev_device_get_syspath(hid)) + "/report_descriptor",
                               std::ios::binary);
            if (file) {
                node.descriptor.assign(std::istreambuf_iterator<char>(file),
                                       std::istreambuf_iterator<char>());
                node.descriptorRead = true;
            }
            nodes.push_back(node);
        }
        udev_device_unref(device);
    }
    udev_enumerate_unref(enumerate);
    udev_unref(context);
    return nodes;
}

std::string AccessRefusal(const std::string& devnode, int error)
{
    std::string text = std::string("this user may NOT open it: ") + std::strerror(error);
    struct stat st
    {};
    if (error != EACCES || stat(devnode.c_str(), &st) != 0)
        return text;
    if (st.st_uid == geteuid())
        return text + " (the user owns it, but the mode forbids it)";
    if (InGroup(st.st_gid))
        return text + " (the user is in group " + GroupName(st.st_gid) +
               ", which the mode does not let in)";
    return text + " (not the owner, not in group " + GroupName(st.st_gid) +
           ", and no access list entry: the udev rule gives the seat's user access)";
}

long ReportDescriptorUsagePage(const std::vector<unsigned char>& d)
{
    for (std::size_t i = 0; i < d.size();) {
        const unsigned char prefix = d[i];
        if (prefix == 0xFE) { // long item: size in the next byte
            if (i + 1 >= d.size())
                break;
            i += 3 + d[i + 1];
            continue;
        }
        const std::size_t size = (prefix & 3) == 3 ? 4 : (prefix & 3);
        if (i + 1 + size > d.size())
            break;
        if ((prefix & 0xFC) == 0x04) {
            long value = 0;
            for (std::size_t k = 0; k < size; ++k)
                value |= static_cast<long>(d[i + 1 + k]) << (8 * k);
            return value;
        }
        i += 1 + size;
    }
    return -1;
}

int RunDiagnose(std::ostream& report, bool asJson)
{
    // The JSON holds the same facts as the text, member by member.
    std::ostringstream unused;
    std::ostream& out = asJson ? unused : report;
    JsonObject json;
    out << "tavrolinctl diagnose, Tavrolin " TAVROLIN_VERSION "\n";
    out << "user: " << UserName(geteuid()) << " (uid " << geteuid() << ")\n";
    json.Text("version", TAVROLIN_VERSION)
        .Text("user", UserName(geteuid()))
        .Number("uid", geteuid());
    Library(out, json);
    UdevRule(out, json);

    std::string problem;
    const std::vector<ReceiverNode> nodes = ReceiverNodes(problem);
    if (!problem.empty())
        out << "udev: " << problem << '\n';
    if (problem.empty())
        json.Null("udevProblem");
    else
        json.Text("udevProblem", problem);
    out << "hidraw nodes of 0ebc:2501: " << nodes.size() << '\n';
    std::vector<std::string> nodesJson;
    for (const ReceiverNode& node : nodes) {
        JsonObject nodeJson;
        out << "  " << (node.devnode.empty() ? "(no device node)" : node.devnode) << '\n';
        out << "    sysfs: " << node.syspath << '\n';
        out << "    USB interface: "
            << (node.interfaceNumber.empty() ? std::string("unknown") : node.interfaceNumber)
            << '\n';
        const long page = ReportDescriptorUsagePage(node.descriptor);
        char pageText[48];
        if (page < 0)
            std::snprintf(pageText, sizeof pageText, "none found");
        else
            std::snprintf(pageText, sizeof pageText, "0x%04lX%s", page,
                          page >= 0xFF00 ? " (vendor-defined)" : "");
        out << "    usage page: " << pageText << '\n';
        nodeJson.Text("devnode", node.devnode).Text("sysfs", node.syspath);
        if (node.interfaceNumber.empty())
            nodeJson.Null("usbInterface");
        else
            nodeJson.Text("usbInterface", node.interfaceNumber);
        if (page < 0)
            nodeJson.Null("usagePage");
        else
            nodeJson.Number("usagePage", page);
        if (node.descriptorRead)
            out << "    report descriptor (" << node.descriptor.size() << " bytes):\n      "
                << HexBytes(node.descriptor) << '\n';
        else
            out << "    report descriptor: cannot be read\n";
        std::string hex;
        for (unsigned char byte : node.descriptor) {
            char two[4];
            std::snprintf(two, sizeof two, "%02x", byte);
            hex += two;
        }
        if (node.descriptorRead)
            nodeJson.Text("reportDescriptor", hex);
        else
            nodeJson.Null("reportDescriptor");
        Access(out, nodeJson, node.devnode);
        nodesJson.push_back(nodeJson.Str());
    }
    json.Raw("nodes", JsonArray(nodesJson));
    Choice(out, json);
    TableRead(out, json);
    HangulFont(out, json);
    if (asJson)
        report << json.Str() << '\n';
    return 0;
}
