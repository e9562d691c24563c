// Files and output a command can trust: every write is checked, a file is
// replaced whole or not at all, and nothing waits on a FIFO or a device.
// Failures come back as an errno value, 0 for success.
#pragma once

#include <cstddef>
#include <iosfwd>
#include <string>
#include <string_view>

// Flushes `out`. 0 when everything written to it, and the flush, went
// through; otherwise the cause (EIO when the stream cannot say).
int FlushChecked(std::ostream& out);

// Writes `text` to a file of a unique name beside `path`, created with
// O_EXCL|O_NOFOLLOW|O_CLOEXEC, then renames it over `path`. The file gets
// the modes a new file of the user's would (0666 less the umask). An empty
// path, and a path that names anything but a regular file or a link,
// is refused (EINVAL, EISDIR or ENOTSUP).
int ReplaceFile(const std::string& path, std::string_view text);

// Reads a regular file into `text`, at most `limit` + 1 bytes, so that a
// longer one can be told from one of exactly `limit`. A FIFO, a device or a
// directory is refused at once (ENOTSUP, EISDIR), never waited on.
int ReadRegularFile(const std::string& path, std::size_t limit, std::string& text);
