#include "settings/MessageLog.h"

#include "settings/AtomicFile.h"

#include "pop3/Charset.h"
#include "pop3/IdMessage.h"
#include "pop3/IdMessageDate.h"

#include <cerrno>
#include <charconv>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <sys/file.h>
#include <sys/stat.h>
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

// Another monitor or quillmere-check may append to the same log: one at a time. A lock held by
// anything else for more than a second is not waited for.
bool LockLog(int fd) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            return true;
        }
        if (errno != EWOULDBLOCK && errno != EINTR) {
            return false;
        }
        ::usleep(10000);
    }
    return false;
}

// Appends the record so that the log never keeps a part of one: a SIGKILL can cut a large write
// short between pages, so the sizes before and after are noted beside the log first, and the
// next append cuts a record that an earlier one left unfinished.
void AppendWholeRecord(int fd, const std::filesystem::path& log, std::string_view record) {
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || !LockLog(fd)) {
        (void)WriteAll(fd, record); // a pipe or a log held by someone else: as it comes
        return;
    }
    const std::filesystem::path note = PendingAppendPath(log);
    if (const std::optional<PendingAppend> pending = ReadPendingAppend(note)) {
        // Only a size between the two is a record cut short; any other size means the log was
        // changed since, and it is left as it is.
        if (st.st_size > pending->before && st.st_size < pending->after && ::ftruncate(fd, pending->before) == 0) {
            st.st_size = pending->before;
        }
    }
    const off_t after = st.st_size + static_cast<off_t>(record.size());
    const bool noted = WritePendingAppend(note, PendingAppend{st.st_size, after});
    if (WriteAll(fd, record) || !noted) {
        (void)::unlink(note.c_str());
    }
    // A write that failed (disk full) keeps its note: the next append cuts what it left.
    (void)::flock(fd, LOCK_UN);
}

} // namespace

std::filesystem::path PendingAppendPath(const std::filesystem::path& log) {
    std::filesystem::path note = log;
    note += ".pending";
    return note;
}

std::filesystem::path MessageLogPath(std::string_view fileName, int codePage) {
    return std::filesystem::path(CodePageToUtf8(fileName, codePage));
}

std::string FormatMessageRecord(const TIdMessage& message, const DateTimeToText& dateTimeToText) {
    std::string record =
        "-------------- " + message.From.Address + " received " + dateTimeToText(message.Date) + " ---------------\r\n";
    if (message.MessageParts.Count() == 0) {
        for (const std::string& line : message.Body) {
            record += line;
            record += "\r\n";
        }
        record += "\r\n";
        return record;
    }
    if (const TIdText* text = message.MessageParts.LastText()) {
        for (const std::string& line : text->Body) {
            record += message.Subject;
            record += "\r\n";
            record += line;
            record += "\r\n";
        }
    }
    return record;
}

FileResult AppendMessageRecord(const TIdMessage& message, std::string_view fileName, const MessageLogContext& context) {
    if (fileName.empty()) {
        return {};
    }
    const std::filesystem::path path = MessageLogPath(fileName, context.codePage);

    struct stat existing {};
    int fd = -1;
    if (::stat(path.c_str(), &existing) == 0) {
        // Non-blocking so a FIFO without a reader fails instead of hanging the main thread.
        fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC | O_NONBLOCK);
    } else {
        // Whole messages go into the log: a new one is readable by its owner only.
        fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0) {
            return FileResult{false, "cannot create " + path.string() + ": " + std::strerror(errno)};
        }
        // A note left from a log deleted since says nothing about this one.
        (void)::unlink(PendingAppendPath(path).c_str());
        if (!WriteAll(fd, "File created " + context.dateTimeToText(context.now()) + "\r\n")) {
            const int err = errno;
            ::close(fd);
            return FileResult{false, "cannot write " + path.string() + ": " + std::strerror(err)};
        }
    }
    if (fd < 0) {
        return {}; // an existing log that cannot be opened: the record is dropped silently
    }
    AppendWholeRecord(fd, path, FormatMessageRecord(message, context.dateTimeToText));
    ::close(fd);
    return {};
}

void DeleteMessageLog(std::string_view fileName, int codePage) {
    if (fileName.empty()) {
        return;
    }
    // unlink, not remove: a folder of that name is never deleted.
    const std::filesystem::path path = MessageLogPath(fileName, codePage);
    (void)::unlink(path.c_str());
    (void)::unlink(PendingAppendPath(path).c_str());
}

} // namespace qm
