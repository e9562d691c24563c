#include "KeyTableStore.h"

#include "ReceiverLink.h"

#include <algorithm>

void KeyTableStore::BeginLoad(int slots)
{
    const int n = std::clamp(slots, 0, kCapacity);
    for (int i = 0; i < n; ++i) {
        entryBytes[i] = 0;
        modifiers[i] = 0;
        keyCodes[i] = 0;
    }
}

bool KeyTableStore::StoreAnswer(std::uint8_t size, std::uint8_t position, std::uint8_t entryByte,
                                std::uint8_t modifier, std::uint8_t keyCode)
{
    receivedSize = size;
    // Position 0 has no place in the table: ignored like one beyond the size.
    if (size > kCapacity || position > size || position == 0)
        return false;
    const int i = position - 1;
    entryBytes[i] = entryByte;
    modifiers[i] = modifier;
    keyCodes[i] = keyCode;
    return position == size;
}

KeyTableStore::TickResult KeyTableStore::Tick(ReceiverLink& link)
{
    // A disconnected link answers with an untouched zero buffer, which would
    // read as "no table" and put the factory keys in the fields as if the
    // receiver had sent them.
    if (!link.IsConnected())
        return TickResult::Disconnected;
    // A receiver sends a whole table in a millisecond or so; taking one
    // answer per tick would make every load last size x the tick.
    TickResult result = TickResult::NoAnswer;
    for (int taken = 0; taken < kMaxAnswersPerTick; ++taken) {
        ReceiverReport answer;
        if (link.Read(answer) == -1)
            break;
        if (answer[0] == 0) {
            receivedSize = 0;
            return TickResult::Complete;
        }
        if (StoreAnswer(answer[0], answer[1], answer[2], answer[3], answer[4]))
            return TickResult::Complete;
        result = TickResult::Stored;
    }
    return result;
}
