// What the simulated receiver keeps between loads of the library and between
// runs: its model, its committed key table, whether it is plugged in, and the
// faults a test asked for. A small text file, replaced atomically.
//
// The file may live in a directory other users can write to, so it is only
// ever opened without following links, without blocking, and only when it is
// a regular file of ours; every change is a read-modify-write under a lock.
#pragma once

#include "ReceiverEmulator.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

struct SimulatorState
{
    static constexpr const char* kDefaultModel = "LT-61";
    static constexpr std::uint32_t kMaxGeneration = 0x7FFFFFFF;

    std::string model = kDefaultModel;
    bool plugged = true;
    // Counts plug-ins; a handle opened under another generation is dead.
    std::uint32_t generation = 1;
    KeyTable table = FactoryTable(ReceiverFamily::TwoKey);
    // Faults.
    bool silent = false; // read requests are never answered
    int answerSize = -1; // answer with a table of this size; -1: the receiver's own
    bool writesFail = false;
    // Write-key and commit requests are taken but the committed table stays.
    bool keepTable = false;
    // The receiver is there but this user may not open it.
    bool accessDenied = false;

    ReceiverFamily Family() const;
    bool operator==(const SimulatorState&) const = default;
};

// The generation after `g`. It wraps to 1 rather than overflowing, so that a
// plug-in is a change even after two billion of them.
std::uint32_t NextGeneration(std::uint32_t g);

// $TAVROLIN_SIMULATOR_STATE, else $XDG_RUNTIME_DIR/tavrolin-simulator.state,
// else "state" in ${TMPDIR:-/tmp}/tavrolin-simulator-<uid>/, a directory made
// private (0700) when missing. Empty, with the reason in `error`, when that
// directory is there but not a private one of ours.
std::string SimulatorStatePath(std::string* error = nullptr);

std::string FormatState(const SimulatorState& state);
// False when the text is not a sound state (`why` says how); `state` then
// holds what could be kept (a known model, the plug and the generation), with
// its family's factory table. Lines it does not know are skipped and named
// in `warnings`.
bool ParseState(const std::string& text, SimulatorState& state, std::string* why = nullptr,
                std::string* warnings = nullptr);

enum class StateFile
{
    Ok,
    Missing,
    Corrupt,  // there, ours, but not a sound state
    Unusable, // not a regular file of ours, or unreadable
};

struct StateFileRead
{
    StateFile result = StateFile::Missing;
    std::string why;      // Corrupt, Unusable
    std::string warnings; // Ok: lines that were skipped
    std::string text;     // what was read
};

// Never blocks (a FIFO at the path is refused, not opened for reading).
StateFileRead ReadStateFile(const std::string& path, SimulatorState& state);
// A fresh temporary file beside `path`, renamed over it, so a reader sees the
// old state or the new one and no planted link is ever followed.
bool WriteFileAtomically(const std::string& path, const std::string& text,
                         std::string* error = nullptr);
bool WriteStateFile(const std::string& path, const SimulatorState& state,
                    std::string* error = nullptr);

// Serialises read-modify-write cycles of the library and the tool. Waits for
// the lock a bounded time; Held() says whether it was taken.
class StateFileLock
{
public:
    static constexpr std::chrono::milliseconds kWait{2000};

    explicit StateFileLock(const std::string& statePath, std::chrono::milliseconds wait = kWait);
    ~StateFileLock();
    StateFileLock(const StateFileLock&) = delete;
    StateFileLock& operator=(const StateFileLock&) = delete;

    bool Held() const { return fd >= 0; }
    const std::string& Error() const { return error; }

private:
    int fd = -1;
    std::string error;
};

struct StateUpdate
{
    enum Outcome
    {
        Written,
        Unchanged, // the change declined and the file was sound
        Failed,
    } outcome = Failed;
    SimulatorState state;
    std::string error;  // Failed: why
    std::string notice; // what was wrong with the file before, if anything
};

// Under the lock: reads the state, lets `change` alter it (false: leave it as
// it is) and writes it back. A missing or corrupt file is replaced by a
// factory state, and a corrupt one is kept beside it as "<path>.bad" first.
StateUpdate UpdateStateFile(const std::string& path,
                            const std::function<bool(SimulatorState&)>& change);
