#include "settings/DeletionLog.h"

#include "settings/AtomicFile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qm {

namespace {

std::string Field(const std::string& text) {
    std::string out = text;
    for (char& c : out) {
        if (c == '\t' || c == '\r' || c == '\n') {
            c = ' ';
        }
    }
    return out;
}

FileResult Failure(const char* what, const std::filesystem::path& file, int err) {
    return FileResult{false, std::string(what) + " " + file.string() + ": " + std::strerror(err)};
}

} // namespace

std::string FormatDeletionLine(const DeletionRecord& record) {
    std::string line;
    for (const std::string* field :
         {&record.checkTime, &record.server, &record.account, &record.sender, &record.subject}) {
        line += Field(*field);
        line += '\t';
    }
    if (record.size) {
        line += std::to_string(*record.size);
    }
    line += '\t';
    line += Field(record.list + ": " + record.entry);
    line += '\t';
    line += !record.committed ? "not committed" : record.done.empty() ? "committed" : Field(record.done);
    line += '\n';
    return line;
}

FileResult AppendDeletionRecords(const std::filesystem::path& file, const std::vector<DeletionRecord>& records) {
    if (records.empty()) {
        return {};
    }
    std::string text;
    for (const DeletionRecord& record : records) {
        text += FormatDeletionLine(record);
    }

    struct stat existing {};
    if (::lstat(file.c_str(), &existing) == 0) {
        if (!S_ISREG(existing.st_mode)) {
            return FileResult{false, "not a regular file: " + file.string()};
        }
        if (existing.st_size > 0 && static_cast<std::uintmax_t>(existing.st_size) + text.size() > kDeletionLogLimit) {
            std::filesystem::path old = file;
            old += ".1";
            if (::rename(file.c_str(), old.c_str()) != 0) {
                return Failure("cannot move", file, errno);
            }
        }
    }
    // No following links and no blocking: the record is written by the main thread.
    const int fd = ::open(file.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600);
    if (fd < 0) {
        return Failure("cannot open", file, errno);
    }
    if (!WriteAll(fd, text)) {
        const int err = errno;
        ::close(fd);
        return Failure("cannot write", file, err);
    }
    if (::close(fd) != 0) {
        return Failure("cannot write", file, errno);
    }
    return {};
}

} // namespace qm
