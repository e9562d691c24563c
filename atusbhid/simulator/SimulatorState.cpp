#include "SimulatorState.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sstream>
#include <sys/file.h>
#include <unistd.h>

namespace {

// A state file is a few hundred bytes; anything far larger is not one.
constexpr long kMaxFileSize = 64 * 1024;

std::string Trim(const std::string& s)
{
    const auto b = s.find_first_not_of(" \t\r");
    if (b == std::string::npos)
        return {};
    const auto e = s.find_last_not_of(" \t\r");
    return s.substr(b, e - b + 1);
}

bool ParseHexByte(const std::string& s, std::uint8_t& out)
{
    if (s.empty() || s.size() > 2)
        return false;
    char* end = nullptr;
    const long v = std::strtol(s.c_str(), &end, 16);
    if (*end != '\0' || v < 0 || v > 0xFF)
        return false;
    out = static_cast<std::uint8_t>(v);
    return true;
}

bool ParseTable(const std::string& text, KeyTable& table)
{
    std::istringstream in(text);
    std::string item;
    KeyTable parsed;
    while (in >> item) {
        const auto colon = item.find(':');
        KeyEntry e;
        if (colon == std::string::npos || !ParseHexByte(item.substr(0, colon), e.modifier) ||
            !ParseHexByte(item.substr(colon + 1), e.keyCode))
            return false;
        parsed.push_back(e);
    }
    table = parsed;
    return true;
}

bool ParseInt(const std::string& s, long min, long max, long& out)
{
    if (s.empty())
        return false;
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(s.c_str(), &end, 10);
    if (errno || *end != '\0' || v < min || v > max)
        return false;
    out = v;
    return true;
}

bool ParseFlag(const std::string& s, bool& out)
{
    if (s == "yes" || s == "1") {
        out = true;
        return true;
    }
    if (s == "no" || s == "0") {
        out = false;
        return true;
    }
    return false;
}

} // namespace

ReceiverFamily SimulatorState::Family() const
{
    return FamilyOfModel(model).value_or(ReceiverFamily::TwoKey);
}

std::string SimulatorStatePath()
{
    if (const char* path = std::getenv("TAVROLIN_SIMULATOR_STATE"); path && *path)
        return path;
    if (const char* dir = std::getenv("XDG_RUNTIME_DIR"); dir && *dir)
        return std::string(dir) + "/tavrolin-simulator.state";
    return "/tmp/tavrolin-simulator-" + std::to_string(getuid()) + ".state";
}

std::string FormatState(const SimulatorState& state)
{
    std::ostringstream out;
    out << "# Simulated presenter receiver; see tavrolin-simulator --help.\n";
    out << "model=" << state.model << "\n";
    out << "plugged=" << (state.plugged ? "yes" : "no") << "\n";
    out << "generation=" << state.generation << "\n";
    out << "table=";
    char item[8];
    for (std::size_t i = 0; i < state.table.size(); ++i) {
        std::snprintf(item, sizeof item, "%02X:%02X", state.table[i].modifier,
                      state.table[i].keyCode);
        out << (i ? " " : "") << item;
    }
    out << "\n";
    out << "fault.silent=" << (state.silent ? "yes" : "no") << "\n";
    out << "fault.answer-size=" << state.answerSize << "\n";
    out << "fault.writes-fail=" << (state.writesFail ? "yes" : "no") << "\n";
    out << "fault.keep-table=" << (state.keepTable ? "yes" : "no") << "\n";
    out << "fault.no-access=" << (state.accessDenied ? "yes" : "no") << "\n";
    return out.str();
}

bool ParseState(const std::string& text, SimulatorState& state, std::string* why)
{
    SimulatorState s;
    bool sound = true, haveModel = false, haveTable = false;
    std::string reason;
    auto fail = [&](const std::string& r) {
        if (sound)
            reason = r;
        sound = false;
    };
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        line = Trim(line);
        if (line.empty() || line[0] == '#')
            continue;
        const auto eq = line.find('=');
        if (eq == std::string::npos) {
            fail("unreadable line \"" + line + "\"");
            continue;
        }
        const std::string key = Trim(line.substr(0, eq));
        const std::string value = Trim(line.substr(eq + 1));
        long number = 0;
        if (key == "model") {
            if (FamilyOfModel(value)) {
                s.model = value;
                haveModel = true;
            } else {
                fail("unknown model \"" + value + "\"");
            }
        } else if (key == "plugged") {
            if (!ParseFlag(value, s.plugged))
                fail("bad plugged value");
        } else if (key == "generation") {
            if (ParseInt(value, 0, 0x7FFFFFFF, number))
                s.generation = static_cast<unsigned long>(number);
            else
                fail("bad generation");
        } else if (key == "table") {
            haveTable = ParseTable(value, s.table);
            if (!haveTable)
                fail("unreadable key table");
        } else if (key == "fault.silent") {
            if (!ParseFlag(value, s.silent))
                fail("bad fault.silent");
        } else if (key == "fault.answer-size") {
            if (ParseInt(value, -1, 255, number))
                s.answerSize = static_cast<int>(number);
            else
                fail("bad fault.answer-size");
        } else if (key == "fault.writes-fail") {
            if (!ParseFlag(value, s.writesFail))
                fail("bad fault.writes-fail");
        } else if (key == "fault.keep-table") {
            if (!ParseFlag(value, s.keepTable))
                fail("bad fault.keep-table");
        } else if (key == "fault.no-access") {
            if (!ParseFlag(value, s.accessDenied))
                fail("bad fault.no-access");
        } else {
            fail("unknown setting \"" + key + "\"");
        }
    }
    if (sound && !haveModel)
        fail("no model");
    if (sound && !haveTable)
        fail("no key table");
    const KeyTable& factory = FactoryTable(s.Family());
    if (sound && s.table.size() != factory.size())
        fail("a key table of " + std::to_string(s.table.size()) + " entries for " + s.model);
    if (!sound) {
        // Start over from the factory table; keep only what places the
        // receiver (its model and plug), never a fault.
        SimulatorState kept;
        kept.model = s.model;
        kept.plugged = s.plugged;
        kept.generation = s.generation;
        kept.table = factory;
        s = kept;
    }
    state = s;
    if (why)
        *why = reason;
    return sound;
}

StateFile ReadStateFile(const std::string& path, SimulatorState& state, std::string* why)
{
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        state = SimulatorState{};
        if (why)
            *why = std::strerror(errno);
        return errno == ENOENT ? StateFile::Missing : StateFile::Corrupt;
    }
    std::string text;
    char buffer[4096];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0 && long(text.size()) <= kMaxFileSize)
        text.append(buffer, n);
    std::fclose(f);
    if (long(text.size()) > kMaxFileSize) {
        state = SimulatorState{};
        if (why)
            *why = "file too large";
        return StateFile::Corrupt;
    }
    if (text.find('\0') != std::string::npos) {
        state = SimulatorState{};
        if (why)
            *why = "binary content";
        return StateFile::Corrupt;
    }
    return ParseState(text, state, why) ? StateFile::Ok : StateFile::Corrupt;
}

bool WriteStateFile(const std::string& path, const SimulatorState& state, std::string* error)
{
    const std::string temp = path + ".tmp." + std::to_string(getpid());
    const std::string text = FormatState(state);
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    bool ok = fd >= 0;
    if (ok) {
        ok = ::write(fd, text.data(), text.size()) == ssize_t(text.size());
        ok = ::close(fd) == 0 && ok;
    }
    if (ok)
        ok = std::rename(temp.c_str(), path.c_str()) == 0;
    if (!ok) {
        if (error)
            *error = std::strerror(errno);
        ::unlink(temp.c_str());
    }
    return ok;
}

StateFileLock::StateFileLock(const std::string& statePath)
{
    fd = ::open((statePath + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd >= 0) {
        while (flock(fd, LOCK_EX) != 0 && errno == EINTR) {
        }
    }
}

StateFileLock::~StateFileLock()
{
    if (fd >= 0)
        ::close(fd);
}
