// The key table as it arrives from the receiver, one entry per answer.
#pragma once

#include "ReceiverReport.h"

#include <array>
#include <cstdint>

class ReceiverLink;

class KeyTableStore
{
public:
    // More than any presenter's table, so every size up to 10 is kept whole.
    static constexpr int kCapacity = 10;
    // A receiver that floods answers cannot hold one poll for long.
    static constexpr int kMaxAnswersPerTick = 32;

    enum class TickResult
    {
        NoAnswer,     // nothing arrived; poll again on the next tick
        Stored,       // answers were taken in; show them and keep polling
        Complete,     // the table is complete (or empty); show it and stop polling
        Disconnected, // the receiver is gone; stop polling and leave the fields alone
    };

    // Clears the dialog's own positions before a read request. The received
    // size is kept until the first answer replaces it.
    void BeginLoad(int slots);
    // Takes in one entry (size, position, entry byte, modifier, key code).
    // Returns true when it is the last one, so that polling stops.
    bool StoreAnswer(std::uint8_t size, std::uint8_t position, std::uint8_t entryByte,
                     std::uint8_t modifier, std::uint8_t keyCode);
    // One poll of the link: takes every answer already waiting (at most
    // kMaxAnswersPerTick), up to the one that completes the table.
    TickResult Tick(ReceiverLink& link);

    int receivedSize = 0;
    std::array<std::uint8_t, kCapacity> entryBytes{};
    std::array<std::uint8_t, kCapacity> modifiers{};
    std::array<std::uint8_t, kCapacity> keyCodes{};
};
