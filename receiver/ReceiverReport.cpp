#include "ReceiverReport.h"

ReceiverReport ReceiverReport::ReadRequest()
{
    ReceiverReport r;
    r.bytes[0] = kReadCommand;
    return r;
}

ReceiverReport ReceiverReport::FactoryResetRequest()
{
    return ReceiverReport{};
}

ReceiverReport ReceiverReport::WriteKeyRequest(std::uint8_t tableSize, std::uint8_t slot,
                                               std::uint8_t factoryKeyCode, std::uint8_t modifiers,
                                               std::uint8_t keyCode)
{
    ReceiverReport r;
    r.bytes[0] = kWriteKeyCommand;
    r.bytes[1] = tableSize;
    r.bytes[2] = slot;
    r.bytes[3] = factoryKeyCode;
    r.bytes[4] = modifiers;
    r.bytes[5] = keyCode;
    return r;
}

ReceiverReport ReceiverReport::CommitRequest()
{
    ReceiverReport r;
    r.bytes[0] = kCommitCommand;
    return r;
}
