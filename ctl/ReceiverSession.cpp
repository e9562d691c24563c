#include "ReceiverSession.h"

#include "AtUsbHid.h"
#include "DynamicLibrary.h"
#include "VerifiedWrite.h"

#include <algorithm>

#include <thread>

namespace {

constexpr unsigned int kVendorId = 0x0EBC;
constexpr unsigned int kProductId = 0x2501;

// The optional entry point that tells a receiver that may not be opened from
// one that is not there. Asked of the library the link has loaded.
int LastFindError()
{
    DynamicLibrary::Handle library = DynamicLibrary::Load("AtUsbHid");
    if (!library)
        return ATUSBHID_FIND_OTHER;
    int error = ATUSBHID_FIND_NOT_FOUND;
    if (auto find = reinterpret_cast<int (*)()>(DynamicLibrary::Symbol(library, "lastFindError")))
        error = find();
    DynamicLibrary::Free(library);
    return error;
}

} // namespace

ReceiverSession::Opened ReceiverSession::Open()
{
    // No window: a command does not wait for the receiver to come or go.
    if (!link.Open(kVendorId, kProductId, nullptr))
        return Opened::NoLibrary;
    if (link.IsConnected())
        return Opened::Ok;
    return LastFindError() == ATUSBHID_FIND_NO_PERMISSION ? Opened::NoPermission : Opened::NotFound;
}

ReceiverSession::Read ReceiverSession::ReadTable(ReceivedTable& out)
{
    KeyTableStore store;
    store.BeginLoad(KeyTableStore::kCapacity);
    if (!link.Write(ReceiverReport::ReadRequest()))
        return link.IsConnected() ? Read::NoAnswer : Read::Disconnected;
    auto lastAnswer = std::chrono::steady_clock::now();
    for (;;) {
        switch (store.Tick(link)) {
        case KeyTableStore::TickResult::Disconnected:
            return Read::Disconnected;
        case KeyTableStore::TickResult::Stored:
            lastAnswer = std::chrono::steady_clock::now();
            continue;
        case KeyTableStore::TickResult::Complete: {
            out = ReceivedTable{};
            out.size = store.receivedSize;
            for (int i = 0; i < store.receivedSize; ++i) {
                out.entryBytes.push_back(store.entryBytes[i]);
                out.modifiers.push_back(store.modifiers[i]);
                out.keyCodes.push_back(store.keyCodes[i]);
            }
            return Read::Ok;
        }
        case KeyTableStore::TickResult::NoAnswer:
            break;
        }
        // A table larger than any presenter's is never complete; neither is
        // one whose answers stop coming.
        if (std::chrono::steady_clock::now() - lastAnswer > kAnswerWait) {
            out = ReceivedTable{};
            out.size = store.receivedSize;
            return Read::NoAnswer;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
}

ReceiverSession::Written ReceiverSession::Verify(const PresenterFamily& family,
                                                 const std::vector<KeyAssignment>& keys,
                                                 const ReceivedTable& table) const
{
    Written written;
    if (table.size != family.tableSize) {
        written.result = Written::NotVerified;
        written.slot = 1;
        written.wanted = keys.front();
        written.found = table.size > 0 ? table.Key(1) : KeyAssignment{};
        return written;
    }
    for (int slot = 1; slot <= family.tableSize; ++slot) {
        const KeyAssignment want = keys[slot - 1];
        const KeyAssignment have = table.Key(slot);
        // Bits 4 to 7 of the modifier byte mean nothing to the receiver.
        if (have.keyCode != want.keyCode || (have.modifiers & 0x0F) != (want.modifiers & 0x0F)) {
            written.result = Written::NotVerified;
            written.slot = slot;
            written.wanted = want;
            written.found = have;
            return written;
        }
    }
    written.result = Written::Verified;
    return written;
}

ReceiverSession::Written ReceiverSession::WriteTable(const PresenterFamily& family,
                                                     const std::vector<KeyAssignment>& keys)
{
    // The dialogs' own verified write, run to its end.
    KeyTableWrite table;
    table.tableSize = family.tableSize;
    for (int i = 0; i < family.tableSize; ++i) {
        table.factoryKeyCodes[i] = family.factoryKeyCodes[i];
        table.modifiers[i] = keys[i].modifiers;
        table.keyCodes[i] = keys[i].keyCode;
    }
    KeyTableStore held;
    Written written;
    switch (VerifiedWrite::Run(link, table, &held, kAnswerWait)) {
    case VerifiedWrite::Result::Verified:
        written.result = Written::Verified;
        return written;
    case VerifiedWrite::Result::CommittedOnly: {
        // Every key "none": only the commit went out, as from a dialog. The
        // receiver holds what was asked only if it held no keys already.
        ReceivedTable now;
        if (ReadTable(now) != Read::Ok) {
            written.result = Written::NoReadback;
            return written;
        }
        return Verify(family, keys, now);
    }
    case VerifiedWrite::Result::NotKept: {
        ReceivedTable now;
        now.size = held.receivedSize;
        for (int i = 0; i < std::min(held.receivedSize, KeyTableStore::kCapacity); ++i) {
            now.entryBytes.push_back(held.entryBytes[i]);
            now.modifiers.push_back(held.modifiers[i]);
            now.keyCodes.push_back(held.keyCodes[i]);
        }
        written = Verify(family, keys, now);
        // Same keys, yet not the table written (a position twice, say).
        if (written.result == Written::Verified) {
            written.result = Written::NotVerified;
            written.slot = 1;
            written.wanted = keys.front();
            written.found = now.Key(1);
        }
        return written;
    }
    case VerifiedWrite::Result::NoAnswer:
        written.result = Written::NoReadback;
        return written;
    case VerifiedWrite::Result::Idle:
    case VerifiedWrite::Result::Pending:
    case VerifiedWrite::Result::NotSent:
    case VerifiedWrite::Result::NotConnected:
    case VerifiedWrite::Result::InvalidTable:
        break;
    }
    written.result = Written::NotSent;
    return written;
}

ReceiverSession::Written ReceiverSession::FactoryReset(const PresenterFamily* family)
{
    Written written;
    if (!link.Write(ReceiverReport::FactoryResetRequest()))
        return written;
    ReceivedTable table;
    if (ReadTable(table) != Read::Ok) {
        written.result = Written::NoReadback;
        return written;
    }
    const auto factory = [](const PresenterFamily& f) {
        std::vector<KeyAssignment> keys;
        for (int i = 0; i < f.tableSize; ++i)
            keys.push_back({f.factoryModifiers[i], f.factoryKeyCodes[i]});
        return keys;
    };
    if (family)
        return Verify(*family, factory(*family), table);
    // Any family of this size whose factory table came back will do.
    written.result = Written::NotVerified;
    for (const PresenterFamily& f : kPresenterFamilies) {
        if (f.tableSize != table.size)
            continue;
        const Written check = Verify(f, factory(f), table);
        if (check.result == Written::Verified)
            return check;
        if (written.slot == 0)
            written = check;
    }
    if (written.slot == 0)
        written.slot = 1;
    return written;
}

std::vector<const PresenterFamily*> FamiliesOfTable(const ReceivedTable& table)
{
    std::vector<const PresenterFamily*> bySize;
    for (const PresenterFamily& family : kPresenterFamilies)
        if (family.tableSize == table.size)
            bySize.push_back(&family);
    if (bySize.size() < 2)
        return bySize;
    std::vector<const PresenterFamily*> byEntries;
    for (const PresenterFamily* family : bySize) {
        bool same = true;
        for (int i = 0; i < family->tableSize; ++i)
            same = same && table.entryBytes[i] == family->factoryKeyCodes[i];
        if (same)
            byEntries.push_back(family);
    }
    return byEntries.size() == 1 ? byEntries : bySize;
}
