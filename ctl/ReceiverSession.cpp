#include "ReceiverSession.h"

#include "AtUsbHid.h"
#include "VerifiedWrite.h"

#include <algorithm>

#include <thread>

namespace {

constexpr unsigned int kVendorId = 0x0EBC;
constexpr unsigned int kProductId = 0x2501;

} // namespace

ReceiverSession::Opened ReceiverSession::Open()
{
    // No window: a command does not wait for the receiver to come or go.
    if (!link.Open(kVendorId, kProductId, nullptr))
        return Opened::NoLibrary;
    if (link.IsConnected())
        return Opened::Ok;
    return link.LastFindError() == ATUSBHID_FIND_NO_PERMISSION ? Opened::NoPermission
                                                               : Opened::NotFound;
}

ReceiverSession::Read ReceiverSession::ReadTable(ReceivedTable& out)
{
    KeyTableStore store;
    store.BeginLoad(KeyTableStore::kCapacity);
    // An answer still waiting from an earlier exchange is no part of this one.
    link.DiscardWaitingAnswers();
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
    // Judged as the dialogs judge their read-back.
    KeyTableWrite wanted;
    wanted.tableSize = family.tableSize;
    for (int i = 0; i < family.tableSize; ++i) {
        wanted.modifiers[i] = keys[i].modifiers;
        wanted.keyCodes[i] = keys[i].keyCode;
    }
    KeyTableStore held;
    held.receivedSize = table.size;
    for (int i = 0; i < std::min(table.size, KeyTableStore::kCapacity); ++i) {
        held.modifiers[i] = table.modifiers[i];
        held.keyCodes[i] = table.keyCodes[i];
    }
    Written written;
    written.receivedSize = table.size;
    written.tableSize = family.tableSize;
    const int slot = FirstDifferingSlot(wanted, held);
    written.result = slot == 0 ? Written::Verified : Written::NotVerified;
    if (slot > 0) {
        written.slot = slot;
        written.wanted = keys[slot - 1];
        written.found = table.Key(slot);
    }
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
        if (written.result == Written::Verified)
            written.result = Written::NotVerified;
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
    written.receivedSize = table.size;
    bool first = true;
    for (const PresenterFamily& f : kPresenterFamilies) {
        if (f.tableSize != table.size)
            continue;
        const Written check = Verify(f, factory(f), table);
        if (check.result == Written::Verified)
            return check;
        if (first)
            written = check;
        first = false;
    }
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
