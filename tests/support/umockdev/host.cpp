// Runs a program with an emulated receiver plugged in: the program sees the
// receiver's USB device, its two hidraw nodes and their uevents, and talks to
// it through its real libraries. What reaches the receiver's vendor node is
// kept in a log file while the program runs.
//
//   tavrolin-emulated-receiver [--vendor-first | --one-interface] [--deny-access]
//                              [--model MODEL] [--log FILE] [--keys HEX,HEX...]
//                              -- PROGRAM [ARGUMENTS...]
//
// --one-interface: keyboard and vendor collection on one interface, told
// apart by report IDs. --keys: keyboard input reports ("0000003E00000000"),
// sent when the host gets SIGUSR1, as if the presenter's buttons were
// pressed then; SIGUSR2 unplugs the receiver.
//
// --deny-access leaves the nodes to root alone, as before the udev rule is
// loaded (run the host as an ordinary user for that to mean anything).
//
// The log has one line "write XX XX ..." per write to the vendor node and
// one line "slot N MM:KK" per entry of the receiver's committed table. The
// exit status is the program's.
#include "EmulatedReceivers.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

volatile std::sig_atomic_t forwarded = 0;
volatile std::sig_atomic_t pressKeys = 0, unplug = 0;

void OnUser(int signal)
{
    (signal == SIGUSR1 ? pressKeys : unplug) = 1;
}
pid_t child = -1;

void Forward(int signal)
{
    forwarded = signal;
    if (child > 0)
        kill(child, signal);
}

void WriteLog(const EmulatedReceivers& usb, int receiver, const std::string& path)
{
    const std::string temporary = path + ".tmp";
    FILE* f = std::fopen(temporary.c_str(), "w");
    if (!f)
        return;
    for (const std::string& w : usb.Writes(receiver, HidInterface::Vendor))
        std::fprintf(f, "write %s\n", w.c_str());
    int slot = 0;
    for (const KeyEntry& e : usb.Table(receiver))
        std::fprintf(f, "slot %d %02X:%02X\n", ++slot, e.modifier, e.keyCode);
    std::fclose(f);
    std::rename(temporary.c_str(), path.c_str());
}

int Usage()
{
    std::fprintf(stderr, "usage: tavrolin-emulated-receiver [--vendor-first | --one-interface] "
                         "[--deny-access] [--model MODEL] [--log FILE] [--keys HEX,HEX...] "
                         "-- PROGRAM [ARGUMENTS...]\n");
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    EmulatedReceiverOptions options;
    std::string log;
    bool denyAccess = false;
    std::vector<std::vector<unsigned char>> keys;
    int i = 1;
    for (; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
        const std::string option = argv[i];
        if (option == "--vendor-first") {
            options.vendorFirst = true;
        } else if (option == "--one-interface") {
            options.oneInterface = true;
        } else if (option == "--keys" && i + 1 < argc) {
            for (std::string rest = argv[++i]; !rest.empty();) {
                const std::string hex = rest.substr(0, rest.find(','));
                rest.erase(0, std::min(rest.size(), hex.size() + 1));
                std::vector<unsigned char> report;
                for (std::size_t k = 0; k + 1 < hex.size(); k += 2)
                    report.push_back(
                        static_cast<unsigned char>(std::stoul(hex.substr(k, 2), nullptr, 16)));
                keys.push_back(report);
            }
        } else if (option == "--deny-access") {
            denyAccess = true;
        } else if (option == "--model" && i + 1 < argc) {
            const auto family = FamilyOfModel(argv[++i]);
            if (!family) {
                std::fprintf(stderr, "unknown model: %s\n", argv[i]);
                return 2;
            }
            options.family = *family;
        } else if (option == "--log" && i + 1 < argc) {
            log = argv[++i];
        } else {
            return Usage();
        }
    }
    if (i + 1 >= argc)
        return Usage();
    char** program = argv + i + 1;

    // umockdev announces devices only from a process that runs in the
    // testbed itself.
    if (!EmulatedReceivers::InMockEnvironment()) {
        const char* before = std::getenv("LD_PRELOAD");
        const std::string preload = std::string("libumockdev-preload.so.0") +
                                    (before && *before ? std::string(":") + before : "");
        setenv("LD_PRELOAD", preload.c_str(), 1);
        execv("/proc/self/exe", argv);
        std::fprintf(stderr, "cannot run myself again\n");
        return 2;
    }

    EmulatedReceivers usb;
    if (!usb.Ready()) {
        std::fprintf(stderr, "the umockdev testbed could not be made\n");
        return 2;
    }
    const int receiver = usb.Plug(options);
    if (denyAccess) {
        usb.SetMode(receiver, HidInterface::Vendor, 0);
        usb.SetMode(receiver, HidInterface::Keyboard, 0);
    }

    std::signal(SIGTERM, Forward);
    std::signal(SIGINT, Forward);
    std::signal(SIGUSR1, OnUser);
    std::signal(SIGUSR2, OnUser);
    child = fork();
    if (child < 0)
        return 2;
    if (child == 0) {
        for (const std::string& pair : usb.ChildEnvironment()) {
            const auto eq = pair.find('=');
            setenv(pair.substr(0, eq).c_str(), pair.substr(eq + 1).c_str(), 1);
        }
        execvp(program[0], program);
        std::fprintf(stderr, "cannot run %s\n", program[0]);
        _exit(127);
    }

    int status = 0;
    for (;;) {
        const pid_t done = waitpid(child, &status, WNOHANG);
        if (!log.empty())
            WriteLog(usb, receiver, log);
        if (done == child)
            break;
        if (done < 0)
            return 2;
        if (pressKeys) {
            pressKeys = 0;
            for (const auto& report : keys)
                usb.SendInput(receiver, report);
        }
        if (unplug) {
            unplug = 0;
            usb.Unplug(receiver);
        }
        usleep(50 * 1000);
    }
    if (WIFSIGNALED(status))
        return forwarded ? 0 : 128 + WTERMSIG(status);
    return WEXITSTATUS(status);
}
