// A connection to the receiver through the AtUsbHid library, which is loaded
// at run time by its plain name. Everything runs on the user-interface thread.
#pragma once

#include "AtUsbHid.h"
#include "ReceiverReport.h"

#include <cstdint>

// The library's entry points, shared by every link in the process. Every
// successful lookup overwrites its slot; all links load the same library.
struct AtUsbHidEntryPoints
{
    unsigned char (*findHidDevice)(unsigned int, unsigned int) = nullptr;
    void (*closeDevice)() = nullptr;
    unsigned char (*writeData)(unsigned char*) = nullptr;
    unsigned char (*readData)(unsigned char*) = nullptr;
    int (*hidRegisterDeviceNotification)(void*) = nullptr;
    void (*hidUnregisterDeviceNotification)(void*) = nullptr;
    int (*isMyDeviceNotification)(void*) = nullptr;
    unsigned char (*setFeature)(unsigned char*) = nullptr;
    // Optional: null when the library does not offer it.
    int (*lastFindError)() = nullptr;
};

AtUsbHidEntryPoints& AtUsbHidTable();

class ReceiverLink
{
public:
    static constexpr unsigned int kDeviceArrival = 0x8000;
    static constexpr unsigned int kDeviceRemoveComplete = 0x8004;

    // Results of ClassifyDeviceChange.
    static constexpr int kAlreadyOpen = 1;
    static constexpr int kReopened = 2;
    static constexpr int kRemoved = -1;
    static constexpr int kIgnored = -100;

    // Several whole tables, yet a receiver flooding answers cannot hold the
    // caller for long.
    static constexpr int kMaxDiscardedAnswers = 64;

    ReceiverLink() = default;
    ~ReceiverLink();
    ReceiverLink(const ReceiverLink&) = delete;
    ReceiverLink& operator=(const ReceiverLink&) = delete;

    // 1 when the library is loaded and bound, whether or not the receiver was
    // found; 0 when it cannot be loaded or lacks an entry point. `window` is
    // what the library is given to report device changes to (an
    // AtUsbHidNotifySink on Linux).
    int Open(unsigned int vendorId, unsigned int productId, void* window);
    // Always 1. Safe to call any number of times.
    int Close();
    // Close, then unload the library.
    void Release();
    // 1 sent, 0 not sent (also when not connected).
    int Write(const ReceiverReport& report);
    // 0 when not connected (buffer untouched), -1 when no answer was read,
    // otherwise byte 7 of the answer (0 to 255).
    int Read(ReceiverReport& buffer);
    // Reads and drops every answer already waiting, at most `limit` of them,
    // and returns how many. Sent before a read request: a receiver's node
    // keeps unread answers, and one left over from an earlier exchange would
    // be taken as the answer to this one.
    int DiscardWaitingAnswers(int limit = kMaxDiscardedAnswers);
    // 1 already open, 2 re-opened, -1 the receiver was removed, -100 nothing to do.
    int ClassifyDeviceChange(unsigned int eventType, void* eventData);
    int IsConnected() const { return connected; }
    // Why the receiver is not connected, as an ATUSBHID_FIND_* code:
    // ATUSBHID_FIND_OK while connected; ATUSBHID_FIND_NOT_FOUND when it was
    // not found, was removed, or the library cannot say.
    int LastFindError() const { return findError; }

private:
    static bool BindEntryPoints(void* module);

    void* window = nullptr;
    void* module = nullptr;
    int registration = 0;
    unsigned int vendorId = 0;
    unsigned int productId = 0;
    int connected = 0;
    int findError = ATUSBHID_FIND_NOT_FOUND;
};
