#include "settings/LogAppend.h"

#include "settings/AtomicFile.h"

#include <cerrno>
#include <charconv>
#include <fcntl.h>
#include <optional>
#include <string>
#include <sys/file.h>
#include <unistd.h>

namespace qm {

namespace {

// An append in progress, as its note holds it: the log's size before and after the record.
struct PendingAppend {
    off_t before = 0;
    off_t after = 0;
};

std::optional<PendingAppend> ReadPendingAppend(const std::filesystem::path& note) {
    std::string text;
    if (!ReadWholeFile(note, text, 64)) {
        return std::nullopt;
    }
    PendingAppend pending;
    const char* const last = text.data() + text.size();
    auto [p, ec] = std::from_chars(text.data(), last, pending.before);
    if (ec != std::errc() || p == last || *p != ' ') {
        return std::nullopt;
    }
    auto [q, ec2] = std::from_chars(p + 1, last, pending.after);
    if (ec2 != std::errc() || q != last || pending.before < 0 || pending.after <= pending.before) {
        return std::nullopt; // a note cut short or not ours: nothing is cut
    }
    return pending;
}

// Whether the note was written. It is far smaller than a page, so a kill leaves it whole or empty.
bool WritePendingAppend(const std::filesystem::path& note, PendingAppend pending) {
    const int fd = ::open(note.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        return false;
    }
    const bool ok = WriteAll(fd, std::to_string(pending.before) + " " + std::to_string(pending.after));
    return ::close(fd) == 0 && ok;
}

} // namespace

std::filesystem::path PendingAppendPath(const std::filesystem::path& log) {
    std::filesystem::path note = log;
    note += ".pending";
    return note;
}

bool LockWithin(int fd, std::chrono::milliseconds wait) {
    const auto step = std::chrono::milliseconds(10);
    for (auto waited = std::chrono::milliseconds(0);; waited += step) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            return true;
        }
        if (errno != EWOULDBLOCK && errno != EINTR) {
            return false;
        }
        if (waited >= wait) {
            errno = EWOULDBLOCK;
            return false;
        }
        ::usleep(static_cast<useconds_t>(std::chrono::microseconds(step).count()));
    }
}

off_t CutUnfinishedRecord(int fd, const std::filesystem::path& log, off_t size) {
    const std::optional<PendingAppend> pending = ReadPendingAppend(PendingAppendPath(log));
    // Only a size between the two is a record cut short; any other size means the log was
    // changed since, and it is left as it is.
    if (pending && size > pending->before && size < pending->after && ::ftruncate(fd, pending->before) == 0) {
        return pending->before;
    }
    return size;
}

bool AppendWithNote(int fd, const std::filesystem::path& log, off_t size, std::string_view record) {
    const std::filesystem::path note = PendingAppendPath(log);
    const bool noted = WritePendingAppend(note, PendingAppend{size, size + static_cast<off_t>(record.size())});
    const bool written = WriteAll(fd, record);
    const int err = errno;
    if (written || !noted) {
        (void)::unlink(note.c_str());
    }
    // A write that failed keeps its note: the next append cuts what it left.
    errno = err;
    return written;
}

} // namespace qm
