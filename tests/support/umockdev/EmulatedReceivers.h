// Receivers emulated at the kernel boundary, for tests of the real receiver
// library: umockdev fakes sysfs, the /dev nodes and the uevents, so the real
// libudev and the real hidapi (hidraw backend) run unchanged against them.
//
// Each receiver is a USB device 0ebc:2501 with two HID interfaces, each with
// a hidraw node: a keyboard (usage page 0x01) and a vendor-defined one (usage
// page 0xFF00) that answers the receiver protocol through read and write.
// With oneInterface, a single interface carries both collections under report
// IDs. The keyboard collection's node hands out the input reports queued
// with SendInput.
//
// The process that creates an EmulatedReceivers must itself run with
// libumockdev-preload.so in LD_PRELOAD (umockdev sends uevents only then);
// children get it from ChildEnvironment().
#pragma once

#include "ReceiverEmulator.h"

#include <memory>
#include <string>
#include <vector>

enum class HidInterface
{
    Keyboard,
    Vendor
};

struct EmulatedReceiverOptions
{
    // The vendor interface takes interface number 0 and arrives first, so
    // that it is enumerated first.
    bool vendorFirst = false;
    ReceiverFamily family = ReceiverFamily::Rv;
    // Other ids make it another maker's device with the same two interfaces.
    unsigned int vendorId = 0x0EBC;
    unsigned int productId = 0x2501;
    // One interface whose report descriptor holds both collections, told
    // apart by report IDs (keyboard 1, vendor 2); it counts as the vendor one.
    bool oneInterface = false;
};

class EmulatedReceivers
{
public:
    using Options = EmulatedReceiverOptions;

    EmulatedReceivers();
    ~EmulatedReceivers();
    EmulatedReceivers(const EmulatedReceivers&) = delete;
    EmulatedReceivers& operator=(const EmulatedReceivers&) = delete;

    // False when the testbed could not be made.
    bool Ready() const;
    // The testbed's root: what UMOCKDEV_DIR says.
    std::string Root() const;
    // True when this process runs with the preload library.
    static bool InMockEnvironment();
    // KEY=VALUE pairs that put a child process into this testbed.
    std::vector<std::string> ChildEnvironment() const;

    // A receiver's USB device with no interfaces yet; its index.
    int AddReceiver(const Options& options = {});
    // A whole receiver: the USB device, then both interfaces in the order of
    // their numbers, each announced with its own uevents.
    int Plug(const Options& options = {});
    // Both nodes leave, `first` first, then the USB device.
    void Unplug(int receiver, HidInterface first = HidInterface::Vendor);
    // One interface with its hid device and hidraw node, with an "add" uevent
    // for each; a node that left comes back under a new hidraw number.
    void AddNode(int receiver, HidInterface which);
    // "remove" uevent, then the node leaves sysfs and /dev. Whoever still has
    // it open gets ENODEV/EIO from then on, as from a real unplugged device.
    void RemoveNode(int receiver, HidInterface which);

    // "/dev/hidrawN"; empty while the node is not there.
    std::string DevNode(int receiver, HidInterface which) const;
    // The node's mode bits (e.g. 0 so that nobody but root may open it).
    void SetMode(int receiver, HidInterface which, unsigned int mode);

    // Every write that reached the node, in hex ("00 FC 00 00 00 00 00 00 00").
    std::vector<std::string> Writes(int receiver, HidInterface which) const;
    // Every HIDIOCSFEATURE report, in hex.
    std::vector<std::string> Features(int receiver, HidInterface which) const;
    // Descriptors of the node this process holds open.
    int OpenCount(int receiver, HidInterface which) const;
    // How often the node was opened at all.
    int OpenedEver(int receiver, HidInterface which) const;
    // The receiver's committed key table.
    KeyTable Table(int receiver) const;
    ReceiverEmulator& Brain(int receiver);

    // While on, writes to every node never complete, like a stalled USB
    // transfer; switching it off completes the ones waiting.
    void StallWrites(bool on);
    // Reads answer nothing until switched off (answers stay queued).
    void HoldAnswers(bool on);
    // An input report of the keyboard collection, as hidraw hands it to a
    // reader (with its report ID on a one-interface receiver), queued for the
    // next reads of the node that carries it.
    void SendInput(int receiver, const std::vector<unsigned char>& report);

    // One line per event on the emulated nodes ("hidraw1 write 00 FC ..."),
    // for logs.
    std::vector<std::string> Log() const;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};
