#include "settings/MessageLog.h"

#include "pop3/Charset.h"
#include "pop3/IdMessage.h"
#include "pop3/IdMessageDate.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qm {

namespace {

bool writeAll(int fd, std::string_view text) {
    while (!text.empty()) {
        const ssize_t n = ::write(fd, text.data(), text.size());
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        text.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
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
        if (!writeAll(fd, "File created " + context.dateTimeToText(context.now()) + "\r\n")) {
            const int err = errno;
            ::close(fd);
            return FileResult{false, "cannot write " + path.string() + ": " + std::strerror(err)};
        }
    }
    if (fd < 0) {
        return {}; // an existing log that cannot be opened: the record is dropped silently
    }
    (void)writeAll(fd, FormatMessageRecord(message, context.dateTimeToText));
    ::close(fd);
    return {};
}

void DeleteMessageLog(std::string_view fileName, int codePage) {
    if (fileName.empty()) {
        return;
    }
    // unlink, not remove: a folder of that name is never deleted.
    (void)::unlink(MessageLogPath(fileName, codePage).c_str());
}

} // namespace qm
