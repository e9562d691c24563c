// What the simulated receiver keeps between loads of the library and between
// runs: its model, its committed key table, whether it is plugged in, and the
// faults a test asked for. A small text file, replaced atomically.
#pragma once

#include "ReceiverEmulator.h"

#include <string>

struct SimulatorState
{
    static constexpr const char* kDefaultModel = "LT-61";

    std::string model = kDefaultModel;
    bool plugged = true;
    // Counts plug-ins; a handle opened under another generation is dead.
    unsigned long generation = 1;
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

// $TAVROLIN_SIMULATOR_STATE, else $XDG_RUNTIME_DIR/tavrolin-simulator.state,
// else /tmp/tavrolin-simulator-$UID.state.
std::string SimulatorStatePath();

std::string FormatState(const SimulatorState& state);
// False when the text is not a sound state; `state` then holds what could be
// kept (a known model and the plug), with its family's factory table.
bool ParseState(const std::string& text, SimulatorState& state, std::string* why = nullptr);

enum class StateFile
{
    Ok,
    Missing,
    Corrupt
};
StateFile ReadStateFile(const std::string& path, SimulatorState& state, std::string* why = nullptr);
// Temp file and rename, so a reader sees the old state or the new one.
bool WriteStateFile(const std::string& path, const SimulatorState& state,
                    std::string* error = nullptr);

// Serialises read-modify-write cycles of the library and the tool.
class StateFileLock
{
public:
    explicit StateFileLock(const std::string& statePath);
    ~StateFileLock();
    StateFileLock(const StateFileLock&) = delete;
    StateFileLock& operator=(const StateFileLock&) = delete;

private:
    int fd = -1;
};
