// Writing a key table so that success means "the receiver now holds it":
// write every slot, commit, then read the table back and compare it slot by
// slot. Standard C++ only, and it never waits by itself, so a dialog can run
// it from its polling timer and a command-line program from a plain loop.
//
// Driven by a timer (the configuration dialog, one Step per 10 ms tick):
//
//     VerifiedWrite write;                            // 1 s read-back limit
//     auto result = write.Start(link, table, VerifiedWrite::Clock::now());
//     // ... then on every tick while result == VerifiedWrite::Result::Pending:
//     result = write.Step(link, VerifiedWrite::Clock::now());
//
// Synchronously (a command line), polling every millisecond:
//
//     KeyTableStore held;                             // optional: what came back
//     auto result = VerifiedWrite::Run(link, table, &held);
//
// Only Result::Verified says the receiver holds the table. After NotKept or
// NoAnswer, ReadBack() holds what the receiver did answer (see its comment).
// Start on a write that is still pending sends nothing, so one OK can never
// commit twice.
#pragma once

#include "KeyTableStore.h"

#include <array>
#include <chrono>
#include <cstdint>

class ReceiverLink;

// One family's table as it is to be written: slot s is index s-1.
struct KeyTableWrite
{
    // The family's table size: sent in every write-key request, and the
    // number of slots written and compared. 1 to KeyTableStore::kCapacity.
    int tableSize = 0;
    // Each slot's factory key code, which the receiver also names the slot by.
    std::array<std::uint8_t, KeyTableStore::kCapacity> factoryKeyCodes{};
    std::array<std::uint8_t, KeyTableStore::kCapacity> modifiers{};
    std::array<std::uint8_t, KeyTableStore::kCapacity> keyCodes{};

    // Every key code 0: only the commit goes out and nothing is compared.
    bool IsEmpty() const;
};

// The one judgement of whether the receiver holds what was written: 0 when
// `held` has the written size and, in every slot, exactly the written
// modifier byte and key code; otherwise the first slot that differs, or -1
// when the size does. The whole modifier byte counts: nothing here writes
// bits 4 to 7 (the right-hand modifiers), so a receiver that answers with
// one of them set sends another key than the one written.
int FirstDifferingSlot(const KeyTableWrite& written, const KeyTableStore& held);

class VerifiedWrite
{
public:
    using Clock = std::chrono::steady_clock;

    // About a thousand times what a receiver needs for a whole table.
    static constexpr std::chrono::milliseconds kDefaultTimeout{1000};
    // A receiver that floods answers cannot hold one Step for long.
    static constexpr int kMaxAnswersPerStep = 32;

    enum class Result
    {
        Idle,          // not started
        Pending,       // reading back: call Step again
        Verified,      // the receiver answered with exactly the table written
        CommittedOnly, // the table was empty: only the commit was sent, nothing compared
        NotKept,       // a complete answer that differs (keys, size, missing or odd positions)
        NoAnswer,      // no complete answer within the timeout
        NotSent,       // a request could not be sent; a failed key is never followed by a commit
        NotConnected,  // no receiver at the start (nothing sent) or gone while reading back
        InvalidTable,  // tableSize outside 1 to kCapacity: nothing sent
    };

    explicit VerifiedWrite(std::chrono::milliseconds timeout = kDefaultTimeout);

    // Sends the write-key requests (unless the table is empty), the commit,
    // drops every answer still waiting from an earlier exchange and sends the
    // read request, then returns Pending; or a final result when
    // there is nothing to read back. Reads no answer itself.
    Result Start(ReceiverLink& link, const KeyTableWrite& table, Clock::time_point now);
    // Takes every answer already waiting (at most kMaxAnswersPerStep) and
    // returns Pending until the table is complete or the timeout has passed
    // since Start. Without effect once a final result is known.
    Result Step(ReceiverLink& link, Clock::time_point now);

    Result Outcome() const { return result; }
    bool IsPending() const { return result == Result::Pending; }

    // The answers taken since Start, stored as a load stores them: size of
    // the last answer, and entries by position. Positions that never came
    // are 0.
    const KeyTableStore& ReadBack() const { return readBack; }
    // True when any answer at all came back.
    bool AnyAnswer() const { return answers > 0; }

    // Start, then Step every `poll` until a final result. Blocks for at most
    // about the timeout. `held` (if given) receives ReadBack().
    static Result Run(ReceiverLink& link, const KeyTableWrite& table, KeyTableStore* held = nullptr,
                      std::chrono::milliseconds timeout = kDefaultTimeout,
                      std::chrono::milliseconds poll = std::chrono::milliseconds{1});

private:
    Result Finish();

    std::chrono::milliseconds timeout;
    Result result = Result::Idle;
    KeyTableWrite written;
    Clock::time_point deadline{};
    KeyTableStore readBack;
    int answers = 0;
    std::uint32_t arrivedPositions = 0; // bit p-1 for position p
    bool odd = false;                   // an answer of another size, without a place, or repeated
};
