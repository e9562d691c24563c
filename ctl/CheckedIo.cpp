#include "CheckedIo.h"

#include <cerrno>
#include <cstdio>
#include <ostream>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

int WriteAll(int fd, std::string_view text)
{
    while (!text.empty()) {
        const ssize_t n = ::write(fd, text.data(), text.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return n < 0 ? errno : EIO;
        text.remove_prefix(static_cast<std::size_t>(n));
    }
    return 0;
}

mode_t Umask()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

} // namespace

int FlushChecked(std::ostream& out)
{
    errno = 0;
    out.flush();
    if (out)
        return 0;
    return errno ? errno : EIO;
}

int ReplaceFile(const std::string& path, std::string_view text)
{
    if (path.empty())
        return EINVAL;
    // Renaming over a directory or a device would fail or do harm; a link is
    // replaced itself, never followed.
    if (struct stat st{};
        ::lstat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode))
        return S_ISDIR(st.st_mode) ? EISDIR : ENOTSUP;

    const std::size_t slash = path.rfind('/');
    const std::string dir = slash == std::string::npos ? "" : path.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (name.empty())
        return EISDIR;
    // mkostemp opens with O_CREAT|O_EXCL, which never follows a link planted
    // at the name; a name taken already makes it pick another.
    std::string temporary = dir + "." + name + ".XXXXXX";
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
        return errno;
    int error = ::fchmod(fd, 0666 & ~Umask()) == 0 ? 0 : errno;
    if (!error)
        error = WriteAll(fd, text);
    if (!error && ::fsync(fd) != 0)
        error = errno;
    if (::close(fd) != 0 && !error)
        error = errno;
    if (!error && std::rename(temporary.c_str(), path.c_str()) != 0)
        error = errno;
    if (error)
        ::unlink(temporary.c_str());
    return error;
}

int ReadRegularFile(const std::string& path, std::size_t limit, std::string& text)
{
    text.clear();
    if (path.empty())
        return ENOENT;
    // O_NONBLOCK: opening a FIFO would otherwise wait for a writer.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return errno;
    struct stat st
    {};
    int error = ::fstat(fd, &st) == 0 ? 0 : errno;
    if (!error && !S_ISREG(st.st_mode))
        error = S_ISDIR(st.st_mode) ? EISDIR : ENOTSUP;
    char buffer[4096];
    while (!error && text.size() <= limit) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            error = errno;
        if (n <= 0)
            break;
        text.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    if (text.size() > limit + 1)
        text.resize(limit + 1);
    return error;
}
