#include "SimulatorState.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sstream>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
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

bool IsDigits(const std::string& s, int (*digit)(int))
{
    if (s.empty())
        return false;
    for (unsigned char c : s) {
        if (!digit(c))
            return false;
    }
    return true;
}

// Exactly two hex digits: a lone digit is a line cut short, not a byte.
bool ParseHexByte(const std::string& s, std::uint8_t& out)
{
    if (s.size() != 2 || !IsDigits(s, isxdigit))
        return false;
    out = static_cast<std::uint8_t>(std::strtoul(s.c_str(), nullptr, 16));
    return true;
}

bool ParseTable(const std::string& text, KeyTable& table)
{
    std::istringstream in(text);
    std::string item;
    KeyTable parsed;
    while (in >> item) {
        KeyEntry e;
        if (item.size() != 5 || item[2] != ':' || !ParseHexByte(item.substr(0, 2), e.modifier) ||
            !ParseHexByte(item.substr(3), e.keyCode))
            return false;
        parsed.push_back(e);
    }
    table = parsed;
    return true;
}

bool ParseInt(const std::string& s, long min, long max, long& out)
{
    const bool negative = !s.empty() && s[0] == '-';
    if (!IsDigits(negative ? s.substr(1) : s, isdigit) || s.size() > 12)
        return false;
    const long v = std::strtol(s.c_str(), nullptr, 10);
    if (v < min || v > max)
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

std::uint32_t NextGeneration(std::uint32_t g)
{
    return g >= SimulatorState::kMaxGeneration ? 1 : g + 1;
}

std::string SimulatorStatePath(std::string* error)
{
    if (const char* path = std::getenv("TAVROLIN_SIMULATOR_STATE"); path && *path)
        return path;
    if (const char* dir = std::getenv("XDG_RUNTIME_DIR"); dir && *dir)
        return std::string(dir) + "/tavrolin-simulator.state";
    // A shared directory: another user may have put something at any name
    // we could choose there, so the file goes into a directory only we can use.
    const char* tmp = std::getenv("TMPDIR");
    const std::string dir = std::string(tmp && *tmp ? tmp : "/tmp") + "/tavrolin-simulator-" +
                            std::to_string(geteuid());
    std::string why;
    struct stat st
    {};
    if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST)
        why = std::strerror(errno);
    else if (::lstat(dir.c_str(), &st) != 0)
        why = std::strerror(errno);
    else if (!S_ISDIR(st.st_mode))
        why = "not a directory";
    else if (st.st_uid != geteuid())
        why = "it belongs to another user";
    else if (st.st_mode & 077)
        why = "other users may use it";
    if (why.empty())
        return dir + "/state";
    if (error)
        *error = "cannot use " + dir + " (" + why +
                 "); set TAVROLIN_SIMULATOR_STATE to a file of your own";
    return {};
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
    // A file that lacks this line was cut short.
    out << "end\n";
    return out.str();
}

bool ParseState(const std::string& text, SimulatorState& state, std::string* why,
                std::string* warnings)
{
    SimulatorState s;
    bool sound = true, haveModel = false, haveTable = false, ended = false;
    std::string reason, skipped;
    auto fail = [&](const std::string& r) {
        if (sound)
            reason = r;
        sound = false;
    };
    auto skip = [&](const std::string& what) {
        skipped += (skipped.empty() ? "" : "; ") + what;
    };
    std::istringstream in(text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? text.substr(3) : text);
    std::string line;
    while (std::getline(in, line)) {
        line = Trim(line);
        if (line.empty() || line[0] == '#')
            continue;
        if (ended) {
            fail("content after the end line");
            break;
        }
        if (line == "end") {
            ended = true;
            continue;
        }
        const auto eq = line.find('=');
        if (eq == std::string::npos) {
            skip("unreadable line \"" + line.substr(0, 40) + "\"");
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
            if (ParseInt(value, 0, SimulatorState::kMaxGeneration, number))
                s.generation = static_cast<std::uint32_t>(number);
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
            skip("unknown setting \"" + key.substr(0, 40) + "\"");
        }
    }
    if (sound && !haveModel)
        fail("no model");
    if (sound && !haveTable)
        fail("no key table");
    if (sound && !ended)
        fail("cut short (no end line)");
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
    if (warnings)
        *warnings = skipped;
    return sound;
}

namespace {

// A regular file of ours, or a reason why not.
std::string CheckOurRegularFile(int fd)
{
    struct stat st
    {};
    if (::fstat(fd, &st) != 0)
        return std::strerror(errno);
    if (!S_ISREG(st.st_mode))
        return "not a regular file";
    if (st.st_uid != geteuid())
        return "it belongs to another user";
    return {};
}

} // namespace

StateFileRead ReadStateFile(const std::string& path, SimulatorState& state)
{
    StateFileRead read;
    state = SimulatorState{};
    // O_NONBLOCK: opening a FIFO for reading would wait for a writer.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        read.result = errno == ENOENT ? StateFile::Missing : StateFile::Unusable;
        read.why = errno == ELOOP ? "a symbolic link" : std::strerror(errno);
        return read;
    }
    read.why = CheckOurRegularFile(fd);
    if (!read.why.empty()) {
        ::close(fd);
        read.result = StateFile::Unusable;
        return read;
    }
    char buffer[4096];
    ssize_t n = 0;
    while ((n = ::read(fd, buffer, sizeof buffer)) > 0 && long(read.text.size()) <= kMaxFileSize)
        read.text.append(buffer, std::size_t(n));
    const int readError = n < 0 ? errno : 0;
    ::close(fd);
    if (readError) {
        read.result = StateFile::Unusable;
        read.why = std::strerror(readError);
    } else if (long(read.text.size()) > kMaxFileSize) {
        read.result = StateFile::Corrupt;
        read.why = "file too large";
    } else if (read.text.find('\0') != std::string::npos) {
        read.result = StateFile::Corrupt;
        read.why = "binary content";
    } else {
        read.result = ParseState(read.text, state, &read.why, &read.warnings) ? StateFile::Ok
                                                                              : StateFile::Corrupt;
    }
    return read;
}

bool WriteFileAtomically(const std::string& path, const std::string& text, std::string* error)
{
    // mkostemp creates with O_EXCL and mode 0600: a name planted in advance
    // (a link to some other file) makes it pick another name, never follow it.
    std::string temp = path + ".XXXXXX";
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    bool ok = fd >= 0;
    if (ok) {
        ok = ::write(fd, text.data(), text.size()) == ssize_t(text.size());
        ok = ::close(fd) == 0 && ok;
        if (ok)
            ok = std::rename(temp.c_str(), path.c_str()) == 0;
    }
    if (!ok) {
        const int saved = errno;
        if (error)
            *error = std::strerror(saved);
        if (fd >= 0)
            ::unlink(temp.c_str());
    }
    return ok;
}

bool WriteStateFile(const std::string& path, const SimulatorState& state, std::string* error)
{
    return WriteFileAtomically(path, FormatState(state), error);
}

StateFileLock::StateFileLock(const std::string& statePath, std::chrono::milliseconds wait)
{
    const std::string path = statePath + ".lock";
    const int f = ::open(path.c_str(),
                         O_RDWR | O_CREAT | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC, 0600);
    if (f < 0) {
        error = "cannot open the lock file " + path + ": " +
                (errno == ELOOP ? "a symbolic link" : std::strerror(errno));
        return;
    }
    if (const std::string why = CheckOurRegularFile(f); !why.empty()) {
        error = "cannot use the lock file " + path + ": " + why;
        ::close(f);
        return;
    }
    const auto deadline = std::chrono::steady_clock::now() + wait;
    while (::flock(f, LOCK_EX | LOCK_NB) != 0) {
        if ((errno != EWOULDBLOCK && errno != EINTR) ||
            std::chrono::steady_clock::now() >= deadline) {
            error = errno == EWOULDBLOCK ? "the state file " + statePath +
                                               " stays locked by another process (" + path + ")"
                                         : "cannot lock " + path + ": " + std::strerror(errno);
            ::close(f);
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    fd = f;
}

StateFileLock::~StateFileLock()
{
    if (fd >= 0)
        ::close(fd);
}

StateUpdate UpdateStateFile(const std::string& path,
                            const std::function<bool(SimulatorState&)>& change)
{
    StateUpdate update;
    StateFileLock lock(path);
    if (!lock.Held()) {
        update.error = lock.Error();
        return update;
    }
    const StateFileRead read = ReadStateFile(path, update.state);
    switch (read.result) {
    case StateFile::Ok:
        if (!read.warnings.empty())
            update.notice = "state file " + path + ": skipped " + read.warnings;
        break;
    case StateFile::Missing:
        update.notice = "no state file " + path + "; starting a " + update.state.model +
                        " receiver with its factory table";
        break;
    case StateFile::Corrupt:
        update.notice = "unusable state file " + path + " (" + read.why + ")";
        if (std::string error; !WriteFileAtomically(path + ".bad", read.text, &error)) {
            update.error = update.notice + "; cannot keep a copy as " + path + ".bad: " + error;
            return update;
        }
        update.notice += ", kept as " + path + ".bad; starting a " + update.state.model +
                         " receiver with its factory table";
        break;
    case StateFile::Unusable:
        update.error = "cannot use the state file " + path + ": " + read.why;
        return update;
    }
    if (!change(update.state) && read.result == StateFile::Ok) {
        update.outcome = StateUpdate::Unchanged;
        return update;
    }
    if (std::string error; !WriteStateFile(path, update.state, &error)) {
        update.error = "cannot write " + path + ": " + error;
        return update;
    }
    update.outcome = StateUpdate::Written;
    return update;
}
