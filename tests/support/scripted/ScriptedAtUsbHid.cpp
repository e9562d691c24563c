// A receiver library that answers from a script and records every call, for
// tests that go through the program's real loading path. Built once whole
// and once without each of a few entry points (SCRIPTED_OMIT_<name>).
#include "AtUsbHid.h"
#include "ScriptedControl.h"

#include <array>
#include <cstdio>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#define SCRIPTED_API extern "C" __attribute__((visibility("default")))

namespace {

struct Script
{
    std::mutex mutex;
    unsigned char findResult = 1;
    int findError = -1; // -1: OK when found, else not found
    int registerResult = 1;
    int writesLeft = -1;
    int isMine = -1;
    unsigned int vendorId = 0;
    unsigned int productId = 0;
    // Queued answers are the receiver's reply to the next read request; only
    // then do they reach the node, where `answers` waits to be read.
    std::deque<std::optional<std::vector<unsigned char>>> due, answers;
    // A held table answers read requests and takes writes and commits.
    bool holdsTable = false;
    bool keepTable = false;
    std::vector<std::array<unsigned char, 2>> table;    // modifier, key code
    std::map<int, std::array<unsigned char, 2>> staged; // by slot
    std::vector<std::string> calls;
    std::set<AtUsbHidNotifySink*> sinks;
};

Script& S()
{
    static Script script;
    return script;
}

std::string Hex(const unsigned char* bytes)
{
    char text[3 * 8] = {};
    for (int i = 0; i < 8; ++i)
        std::snprintf(text + 3 * i, 4, i < 7 ? "%02X " : "%02X", bytes[i]);
    return text;
}

void Log(std::string line)
{
    S().calls.push_back(std::move(line));
}

// As a receiver would: a read request queues one answer per entry, a key of
// the table's size is staged, a commit takes the staged keys (unless the
// table is kept). Anything else leaves the table alone.
void HeldTableTakes(const unsigned char* report)
{
    Script& s = S();
    const int size = static_cast<int>(s.table.size());
    switch (report[0]) {
    case 0xFC:
        for (int p = 1; p <= size; ++p) {
            const auto& e = s.table[p - 1];
            const auto n = static_cast<unsigned char>(size), at = static_cast<unsigned char>(p);
            s.answers.emplace_back(std::vector<unsigned char>{n, at, at, e[0], e[1], 0xAA, 0, 0});
        }
        break;
    case 0xFF:
        if (report[1] == size && report[2] >= 1 && report[2] <= size)
            s.staged[report[2]] = {report[4], report[5]};
        break;
    case 0xFE:
        if (!s.keepTable)
            for (const auto& [slot, entry] : s.staged)
                s.table[slot - 1] = entry;
        s.staged.clear();
        break;
    }
}

} // namespace

#ifndef SCRIPTED_OMIT_findHidDevice
SCRIPTED_API unsigned char findHidDevice(unsigned int vendorId, unsigned int productId)
{
    std::lock_guard lock(S().mutex);
    char line[64];
    std::snprintf(line, sizeof line, "findHidDevice %04X %04X", vendorId, productId);
    Log(line);
    S().vendorId = vendorId;
    S().productId = productId;
    return S().findResult;
}
#endif

SCRIPTED_API void closeDevice(void)
{
    std::lock_guard lock(S().mutex);
    Log("closeDevice");
}

SCRIPTED_API unsigned char writeData(unsigned char* report)
{
    std::lock_guard lock(S().mutex);
    Log("writeData " + Hex(report));
    if (S().writesLeft == 0)
        return 0;
    if (S().writesLeft > 0)
        --S().writesLeft;
    if (report[0] == 0xFC)
        while (!S().due.empty()) {
            S().answers.push_back(std::move(S().due.front()));
            S().due.pop_front();
        }
    if (S().holdsTable)
        HeldTableTakes(report);
    return 1;
}

#ifndef SCRIPTED_OMIT_readData
SCRIPTED_API unsigned char readData(unsigned char* buffer)
{
    std::lock_guard lock(S().mutex);
    Log("readData");
    if (S().answers.empty())
        return 0;
    auto answer = std::move(S().answers.front());
    S().answers.pop_front();
    if (!answer)
        return 0;
    std::memcpy(buffer, answer->data(), 8);
    return 1;
}
#endif

SCRIPTED_API int hidRegisterDeviceNotification(void* window)
{
    std::lock_guard lock(S().mutex);
    Log("hidRegisterDeviceNotification");
    if (S().registerResult && window)
        S().sinks.insert(static_cast<AtUsbHidNotifySink*>(window));
    return S().registerResult;
}

SCRIPTED_API void hidUnregisterDeviceNotification(void* window)
{
    std::lock_guard lock(S().mutex);
    Log("hidUnregisterDeviceNotification");
    S().sinks.erase(static_cast<AtUsbHidNotifySink*>(window));
}

SCRIPTED_API int isMyDeviceNotification(void* eventData)
{
    std::lock_guard lock(S().mutex);
    const auto* event = static_cast<const AtUsbHidDeviceEvent*>(eventData);
    char line[64];
    std::snprintf(line, sizeof line, "isMyDeviceNotification %04X %04X", event->vendorId,
                  event->productId);
    Log(line);
    if (S().isMine >= 0)
        return S().isMine;
    return event->vendorId == S().vendorId && event->productId == S().productId;
}

#ifndef SCRIPTED_OMIT_setFeature
SCRIPTED_API unsigned char setFeature(unsigned char* report)
{
    std::lock_guard lock(S().mutex);
    Log("setFeature " + Hex(report));
    return 1;
}
#endif

#ifndef SCRIPTED_OMIT_lastFindError
SCRIPTED_API int lastFindError(void)
{
    std::lock_guard lock(S().mutex);
    if (S().findError >= 0)
        return S().findError;
    return S().findResult ? ATUSBHID_FIND_OK : ATUSBHID_FIND_NOT_FOUND;
}
#endif

SCRIPTED_API void scriptedSetFindError(int cause)
{
    std::lock_guard lock(S().mutex);
    S().findError = cause;
}

SCRIPTED_API void scriptedReset(void)
{
    std::lock_guard lock(S().mutex);
    S().findResult = 1;
    S().findError = -1;
    S().registerResult = 1;
    S().writesLeft = -1;
    S().isMine = -1;
    S().vendorId = S().productId = 0;
    S().answers.clear();
    S().due.clear();
    S().holdsTable = S().keepTable = false;
    S().table.clear();
    S().staged.clear();
    S().calls.clear();
    S().sinks.clear();
}

SCRIPTED_API void scriptedHoldTable(int size, const unsigned char* entries)
{
    std::lock_guard lock(S().mutex);
    S().holdsTable = size > 0;
    S().table.clear();
    S().staged.clear();
    for (int i = 0; i < size; ++i)
        S().table.push_back({entries[2 * i], entries[2 * i + 1]});
}

SCRIPTED_API void scriptedKeepTable(int on)
{
    std::lock_guard lock(S().mutex);
    S().keepTable = on != 0;
}

SCRIPTED_API int scriptedHeldEntry(int slot)
{
    std::lock_guard lock(S().mutex);
    if (slot < 1 || slot > static_cast<int>(S().table.size()))
        return -1;
    const auto& e = S().table[slot - 1];
    return e[0] << 8 | e[1];
}

SCRIPTED_API void scriptedSetFindResult(unsigned char result)
{
    std::lock_guard lock(S().mutex);
    S().findResult = result;
}

SCRIPTED_API void scriptedSetRegisterResult(int result)
{
    std::lock_guard lock(S().mutex);
    S().registerResult = result;
}

SCRIPTED_API void scriptedFailWritesAfter(int count)
{
    std::lock_guard lock(S().mutex);
    S().writesLeft = count;
}

SCRIPTED_API void scriptedSetIsMine(int answer)
{
    std::lock_guard lock(S().mutex);
    S().isMine = answer;
}

SCRIPTED_API void scriptedQueueAnswer(const unsigned char* answer)
{
    std::lock_guard lock(S().mutex);
    S().due.emplace_back(std::vector<unsigned char>(answer, answer + 8));
}

SCRIPTED_API void scriptedQueueWaitingAnswer(const unsigned char* answer)
{
    std::lock_guard lock(S().mutex);
    S().answers.emplace_back(std::vector<unsigned char>(answer, answer + 8));
}

SCRIPTED_API void scriptedQueueNoAnswer(void)
{
    std::lock_guard lock(S().mutex);
    S().due.emplace_back(std::nullopt);
}

SCRIPTED_API int scriptedCallCount(void)
{
    std::lock_guard lock(S().mutex);
    return static_cast<int>(S().calls.size());
}

SCRIPTED_API const char* scriptedCall(int index)
{
    std::lock_guard lock(S().mutex);
    if (index < 0 || index >= static_cast<int>(S().calls.size()))
        return "";
    return S().calls[index].c_str();
}

SCRIPTED_API void scriptedClearCalls(void)
{
    std::lock_guard lock(S().mutex);
    S().calls.clear();
}

SCRIPTED_API int scriptedRegisteredCount(void)
{
    std::lock_guard lock(S().mutex);
    return static_cast<int>(S().sinks.size());
}

SCRIPTED_API int scriptedFireDeviceChange(unsigned int eventType, unsigned int vendorId,
                                          unsigned int productId, int threaded)
{
    std::set<AtUsbHidNotifySink*> sinks;
    {
        std::lock_guard lock(S().mutex);
        sinks = S().sinks;
    }
    auto fire = [&] {
        // Lives only during the calls, as a real library's event would.
        AtUsbHidDeviceEvent event{};
        event.vendorId = vendorId;
        event.productId = productId;
        std::snprintf(event.path, sizeof event.path, "/dev/hidraw-scripted");
        for (AtUsbHidNotifySink* sink : sinks)
            sink->deviceChange(sink->context, eventType, &event);
    };
    if (threaded)
        std::thread(fire).join();
    else
        fire();
    return static_cast<int>(sinks.size());
}
