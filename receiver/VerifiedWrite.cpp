#include "VerifiedWrite.h"

#include "ReceiverLink.h"

#include <thread>

bool KeyTableWrite::IsEmpty() const
{
    for (int i = 0; i < tableSize && i < KeyTableStore::kCapacity; ++i)
        if (keyCodes[i] != 0)
            return false;
    return true;
}

int FirstDifferingSlot(const KeyTableWrite& written, const KeyTableStore& held)
{
    if (held.receivedSize != written.tableSize)
        return -1;
    for (int i = 0; i < written.tableSize && i < KeyTableStore::kCapacity; ++i)
        if (held.modifiers[i] != written.modifiers[i] || held.keyCodes[i] != written.keyCodes[i])
            return i + 1;
    return 0;
}

VerifiedWrite::VerifiedWrite(std::chrono::milliseconds limit) : timeout(limit) {}

VerifiedWrite::Result VerifiedWrite::Start(ReceiverLink& link, const KeyTableWrite& table,
                                           Clock::time_point now)
{
    if (result == Result::Pending)
        return result;
    readBack = KeyTableStore{};
    answers = 0;
    arrivedPositions = 0;
    odd = false;
    written = table;

    if (table.tableSize < 1 || table.tableSize > KeyTableStore::kCapacity)
        return result = Result::InvalidTable;
    if (!link.IsConnected())
        return result = Result::NotConnected;

    const bool empty = table.IsEmpty();
    if (!empty) {
        for (int i = 0; i < table.tableSize; ++i) {
            const auto request = ReceiverReport::WriteKeyRequest(
                static_cast<std::uint8_t>(table.tableSize), static_cast<std::uint8_t>(i + 1),
                table.factoryKeyCodes[i], table.modifiers[i], table.keyCodes[i]);
            // A table written only in part must not be committed.
            if (!link.Write(request))
                return result = Result::NotSent;
        }
    }
    if (!link.Write(ReceiverReport::CommitRequest()))
        return result = Result::NotSent;
    // Nothing was written, so there is nothing the receiver could have failed
    // to keep; a read-back would only show its table again.
    if (empty)
        return result = Result::CommittedOnly;
    link.DiscardWaitingAnswers();
    // Committed but no way to ask: the table cannot be confirmed.
    if (!link.Write(ReceiverReport::ReadRequest()))
        return result = Result::NoAnswer;
    deadline = now + timeout;
    return result = Result::Pending;
}

VerifiedWrite::Result VerifiedWrite::Step(ReceiverLink& link, Clock::time_point now)
{
    if (result != Result::Pending)
        return result;
    // A disconnected link reads as an all-zero answer, which would end the
    // read-back as "no table".
    if (!link.IsConnected())
        return result = Result::NotConnected;

    for (int taken = 0; taken < kMaxAnswersPerStep; ++taken) {
        ReceiverReport answer;
        if (link.Read(answer) == -1)
            break;
        ++answers;
        const int size = answer[0];
        const int position = answer[1];
        if (size == 0) {
            // "No table": whatever was written is not there.
            readBack.receivedSize = 0;
            odd = true;
            return Finish();
        }
        if (size != written.tableSize)
            odd = true;
        if (position >= 1 && position <= size && size <= KeyTableStore::kCapacity) {
            const std::uint32_t bit = 1u << (position - 1);
            if (arrivedPositions & bit)
                odd = true;
            arrivedPositions |= bit;
        } else {
            odd = true;
        }
        if (readBack.StoreAnswer(answer[0], answer[1], answer[2], answer[3], answer[4]))
            return Finish();
    }
    if (now >= deadline)
        return result = Result::NoAnswer;
    return result;
}

VerifiedWrite::Result VerifiedWrite::Finish()
{
    const std::uint32_t all = (1u << written.tableSize) - 1;
    const bool same = !odd && arrivedPositions == all && FirstDifferingSlot(written, readBack) == 0;
    return result = same ? Result::Verified : Result::NotKept;
}

VerifiedWrite::Result VerifiedWrite::Run(ReceiverLink& link, const KeyTableWrite& table,
                                         KeyTableStore* held, std::chrono::milliseconds timeout,
                                         std::chrono::milliseconds poll)
{
    VerifiedWrite write(timeout);
    Result r = write.Start(link, table, Clock::now());
    while (r == Result::Pending) {
        r = write.Step(link, Clock::now());
        if (r == Result::Pending)
            std::this_thread::sleep_for(poll);
    }
    if (held)
        *held = write.ReadBack();
    return r;
}
