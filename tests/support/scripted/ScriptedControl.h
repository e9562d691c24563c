// Control side of the scripted receiver library: tests queue its answers,
// choose its results and read back every call the program made.
#pragma once

#ifdef __cplusplus
extern "C" {
#endif

void scriptedReset(void);
void scriptedSetFindResult(unsigned char result);
// What lastFindError answers (an ATUSBHID_FIND_* code); -1 goes back to
// "OK when found, else not found".
void scriptedSetFindError(int cause);
void scriptedSetRegisterResult(int result);
// Writes succeed `count` more times, then fail; -1 lets every write succeed.
void scriptedFailWritesAfter(int count);
// -1: an event is the receiver's when its ids equal those last looked for.
void scriptedSetIsMine(int answer);
// Queued answers reply to the next read request (FC) written.
void scriptedQueueAnswer(const unsigned char* answer);
// An answer already waiting to be read, unasked: a late one.
void scriptedQueueWaitingAnswer(const unsigned char* answer);
// One readData that finds nothing pending.
void scriptedQueueNoAnswer(void);
// From now on the library holds a key table of `size` entries (modifier, key
// code pairs) and behaves as a receiver towards it: a read request queues one
// answer per entry, write-key requests of that size are staged and a commit
// takes them. 0 goes back to answering only what is queued.
void scriptedHoldTable(int size, const unsigned char* entries);
// 1: writes and commits are accepted, yet the held table stays as it was.
void scriptedKeepTable(int on);
// The held table's entry as modifier << 8 | key code; -1 without one.
int scriptedHeldEntry(int slot);
int scriptedCallCount(void);
// "findHidDevice 0EBC 2501", "writeData FC 00 00 00 00 00 00 00", "readData", ...
const char* scriptedCall(int index);
void scriptedClearCalls(void);
// Calls every registered sink, from the calling thread or (threaded != 0)
// from a thread of the library's own, and waits until it returns.
int scriptedFireDeviceChange(unsigned int eventType, unsigned int vendorId, unsigned int productId,
                             int threaded);
int scriptedRegisteredCount(void);

#ifdef __cplusplus
}

#include <dlfcn.h>

#include <array>
#include <string>
#include <vector>

// Holds the library the program loads by plain name, so its script and log
// outlive the program's own load and unload.
class ScriptedReceiver
{
public:
    // reset = false only looks: the script and log stay as they are.
    explicit ScriptedReceiver(bool reset = true)
        : handle(dlopen("libAtUsbHid.so", RTLD_NOW | RTLD_LOCAL))
    {
        if (handle && reset)
            Call<void (*)()>("scriptedReset")();
    }
    ~ScriptedReceiver()
    {
        if (handle)
            dlclose(handle);
    }
    ScriptedReceiver(const ScriptedReceiver&) = delete;
    ScriptedReceiver& operator=(const ScriptedReceiver&) = delete;

    bool IsLoaded() const { return handle != nullptr; }
    void Reset() { Call<void (*)()>("scriptedReset")(); }
    void SetFindResult(unsigned char r)
    {
        Call<void (*)(unsigned char)>("scriptedSetFindResult")(r);
    }
    void SetFindError(int cause) { Call<void (*)(int)>("scriptedSetFindError")(cause); }
    void SetRegisterResult(int r) { Call<void (*)(int)>("scriptedSetRegisterResult")(r); }
    void FailWritesAfter(int n) { Call<void (*)(int)>("scriptedFailWritesAfter")(n); }
    void SetIsMine(int r) { Call<void (*)(int)>("scriptedSetIsMine")(r); }
    void QueueAnswer(std::array<unsigned char, 8> a)
    {
        Call<void (*)(const unsigned char*)>("scriptedQueueAnswer")(a.data());
    }
    // One answer per entry: size, position, entry byte, modifier, key code, 0xAA, 0, 0.
    void QueueTable(unsigned char size, const std::vector<std::array<unsigned char, 2>>& entries)
    {
        unsigned char position = 0;
        for (const auto& e : entries)
            QueueAnswer({size, ++position, position, e[0], e[1], 0xAA, 0, 0});
    }
    void QueueWaiting(std::array<unsigned char, 8> a)
    {
        Call<void (*)(const unsigned char*)>("scriptedQueueWaitingAnswer")(a.data());
    }
    void QueueNoAnswer() { Call<void (*)()>("scriptedQueueNoAnswer")(); }
    // Entries are {modifier, key code}; an empty table stops holding one.
    void HoldTable(const std::vector<std::array<unsigned char, 2>>& entries)
    {
        std::vector<unsigned char> flat;
        for (const auto& e : entries)
            flat.insert(flat.end(), e.begin(), e.end());
        Call<void (*)(int, const unsigned char*)>("scriptedHoldTable")(
            static_cast<int>(entries.size()), flat.data());
    }
    void KeepTable(bool on) { Call<void (*)(int)>("scriptedKeepTable")(on ? 1 : 0); }
    std::array<unsigned char, 2> HeldEntry(int slot)
    {
        const int e = Call<int (*)(int)>("scriptedHeldEntry")(slot);
        return {static_cast<unsigned char>(e >> 8), static_cast<unsigned char>(e)};
    }
    void ClearCalls() { Call<void (*)()>("scriptedClearCalls")(); }
    int RegisteredCount() { return Call<int (*)()>("scriptedRegisteredCount")(); }
    int FireDeviceChange(unsigned int type, unsigned int vid = 0x0EBC, unsigned int pid = 0x2501,
                         bool threaded = false)
    {
        return Call<int (*)(unsigned int, unsigned int, unsigned int, int)>(
            "scriptedFireDeviceChange")(type, vid, pid, threaded ? 1 : 0);
    }
    std::vector<std::string> Calls()
    {
        std::vector<std::string> out;
        const int n = Call<int (*)()>("scriptedCallCount")();
        auto at = Call<const char* (*)(int)>("scriptedCall");
        for (int i = 0; i < n; ++i)
            out.emplace_back(at(i));
        return out;
    }
    // Only the reports written, as "FF 05 01 3E 00 00 00 00".
    std::vector<std::string> Writes()
    {
        std::vector<std::string> out;
        for (const std::string& c : Calls())
            if (c.rfind("writeData ", 0) == 0)
                out.push_back(c.substr(10));
        return out;
    }
    int CountOf(const std::string& name)
    {
        int n = 0;
        for (const std::string& c : Calls())
            if (c == name || c.rfind(name + " ", 0) == 0)
                ++n;
        return n;
    }

private:
    template <typename Fn> Fn Call(const char* name)
    {
        return reinterpret_cast<Fn>(dlsym(handle, name));
    }
    void* handle;
};
#endif
