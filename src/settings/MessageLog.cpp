#include "settings/MessageLog.h"

#include "settings/AtomicFile.h"
#include "settings/LogAppend.h"

#include "pop3/Charset.h"
#include "pop3/IdMessage.h"
#include "pop3/IdMessageDate.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qm {

namespace {

FileResult Failure(const char* what, const std::filesystem::path& file, int err) {
    return FileResult{false, std::string(what) + " " + file.string() + ": " + std::strerror(err)};
}

// Appends the record so that the log never keeps a part of one (see AppendWithNote). Another
// monitor or quillmere-check may append to the same log: one at a time, and a lock held by
// anything else for more than a second is not waited for (the record is then not written).
FileResult AppendWholeRecord(int fd, const std::filesystem::path& log, std::string_view record) {
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        return Failure("cannot write", log, errno);
    }
    if (!S_ISREG(st.st_mode)) {
        // A pipe the user named takes the record as it comes.
        return WriteAll(fd, record) ? FileResult{} : Failure("cannot write", log, errno);
    }
    if (!LockWithin(fd, std::chrono::seconds(1))) {
        return Failure("cannot lock", log, errno);
    }
    const off_t size = CutUnfinishedRecord(fd, log, st.st_size);
    const bool written = AppendWithNote(fd, log, size, record);
    const int err = errno;
    (void)::flock(fd, LOCK_UN);
    return written ? FileResult{} : Failure("cannot write", log, err);
}

} // namespace

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

    int fd = -1;
    for (int attempt = 0; fd < 0 && attempt < 2; ++attempt) {
        struct stat existing {};
        if (::stat(path.c_str(), &existing) == 0) {
            // Non-blocking so a FIFO without a reader fails instead of hanging the main thread.
            fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC | O_NONBLOCK);
            if (fd < 0) {
                return Failure("cannot open", path, errno);
            }
            break;
        }
        // Whole messages go into the log: a new one is readable by its owner only.
        fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0) {
            if (errno == EEXIST) {
                continue; // another check created it meanwhile: appended to like any existing log
            }
            return Failure("cannot create", path, errno);
        }
        // Held from the first line on, so a check appending at the same moment comes after it.
        (void)LockWithin(fd, std::chrono::milliseconds(0));
        // A note left from a log deleted since says nothing about this one.
        (void)::unlink(PendingAppendPath(path).c_str());
        if (!WriteAll(fd, "File created " + context.dateTimeToText(context.now()) + "\r\n")) {
            const int err = errno;
            ::close(fd);
            return Failure("cannot write", path, err);
        }
    }
    if (fd < 0) {
        return Failure("cannot open", path, ENOENT); // created and removed again by someone else, twice
    }
    const FileResult result = AppendWholeRecord(fd, path, FormatMessageRecord(message, context.dateTimeToText));
    if (::close(fd) != 0 && result.ok) {
        return Failure("cannot write", path, errno);
    }
    return result;
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
