#include "settings/AtomicFile.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qm {

namespace {

void setError(std::string* error, const std::string& what, int err) {
    if (error) {
        *error = what + ": " + std::strerror(err);
    }
}

bool writeAll(int fd, std::string_view content) {
    const char* p = content.data();
    std::size_t left = content.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace

bool WriteFileAtomically(const std::filesystem::path& path, std::string_view content, std::string* error,
                         unsigned newMode) {
    std::filesystem::path target = path;
    std::error_code ec;
    if (std::filesystem::is_symlink(target, ec)) {
        // Replace the file the link points at, not the link itself.
        const auto resolved = std::filesystem::weakly_canonical(target, ec);
        if (!ec) {
            target = resolved;
        }
    }
    const std::filesystem::path temp = target.string() + ".tmp";

    mode_t mode = static_cast<mode_t>(newMode & 07777);
    struct stat old {};
    const bool hadOld = ::stat(target.c_str(), &old) == 0;
    if (hadOld) {
        mode = old.st_mode & 07777;
    }

    // A stale temporary file from an interrupted save goes first, so the new one gets our mode.
    (void)::unlink(temp.c_str());
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, mode);
    if (fd < 0) {
        setError(error, "cannot create " + temp.string(), errno);
        return false;
    }
    bool ok = writeAll(fd, content);
    int err = ok ? 0 : errno;
    if (ok && hadOld) {
        // Keeping the mode is a courtesy; the content matters more.
        (void)::fchmod(fd, mode);
    }
    if (ok && ::fsync(fd) != 0) {
        ok = false;
        err = errno;
    }
    if (::close(fd) != 0 && ok) {
        ok = false;
        err = errno;
    }
    if (ok && ::rename(temp.c_str(), target.c_str()) != 0) {
        ok = false;
        err = errno;
    }
    if (!ok) {
        setError(error, "cannot write " + target.string(), err);
        ::unlink(temp.c_str());
        return false;
    }
    return true;
}

bool ReadWholeFile(const std::filesystem::path& path, std::string& content, std::size_t maxBytes) {
    content.clear();
    // Non-blocking open and regular files only: a FIFO or a device such as /dev/zero would hang
    // the read or fill memory without end.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return false;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return false;
    }
    char buffer[65536];
    bool ok = true;
    // One byte past the limit tells a file of exactly maxBytes from a longer one.
    const std::size_t readLimit = maxBytes == static_cast<std::size_t>(-1) ? maxBytes : maxBytes + 1;
    while (content.size() < readLimit) {
        const ssize_t n = ::read(fd, buffer, std::min(sizeof buffer, readLimit - content.size()));
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            ok = false;
            break;
        }
        if (n == 0) {
            break;
        }
        content.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    if (content.size() > maxBytes) {
        content.clear();
        return false;
    }
    return ok;
}

} // namespace qm
