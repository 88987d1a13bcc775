#include "settings/DeletionLog.h"

#include "settings/AtomicFile.h"
#include "settings/LogAppend.h"
#include "text/AsciiText.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace qm {

namespace {

// Appends of other checks take milliseconds; a lock held longer is held by something else.
constexpr std::chrono::seconds kLockWait{10};

FileResult Failure(const char* what, const std::filesystem::path& file, int err) {
    return FileResult{false, std::string(what) + " " + file.string() + ": " + std::strerror(err)};
}

std::string Lines(const std::vector<DeletionRecord>& records, bool longest) {
    std::string text;
    for (DeletionRecord record : records) {
        if (longest) {
            // Room for whichever ending the line gets: "not committed", or what was done.
            record.committed = true;
            const std::string done = FormatDeletionLine(record);
            record.committed = false;
            const std::string notDone = FormatDeletionLine(record);
            text += done.size() > notDone.size() ? done : notDone;
            continue;
        }
        text += FormatDeletionLine(record);
    }
    return text;
}

// The record file, open for append under its lock, with an unfinished record cut.
class OpenRecord {
public:
    OpenRecord() = default;
    OpenRecord(const OpenRecord&) = delete;
    OpenRecord& operator=(const OpenRecord&) = delete;
    ~OpenRecord() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
        if (m_lockFd >= 0) {
            ::close(m_lockFd); // lets the next check go on
        }
    }

    // `adding` bytes are about to be appended; `mayMove`: the file may be moved aside for them.
    FileResult Open(const std::filesystem::path& file, std::uintmax_t adding, bool mayMove) {
        const std::filesystem::path lock = DeletionLogLockPath(file);
        m_lockFd = ::open(lock.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600);
        if (m_lockFd < 0) {
            return Failure("cannot open", lock, errno);
        }
        if (!LockWithin(m_lockFd, kLockWait)) {
            return Failure("cannot lock", lock, errno);
        }
        if (FileResult opened = OpenFile(file); !opened.ok) {
            return opened;
        }
        if (mayMove && m_size > 0 && static_cast<std::uintmax_t>(m_size) + adding > kDeletionLogLimit) {
            // Room other checks reserved at the end of the old file goes with them into the new one.
            m_carried = std::max<off_t>(0, m_allocated - m_size);
            std::filesystem::path old = file;
            old += ".1";
            if (::rename(file.c_str(), old.c_str()) != 0) {
                return Failure("cannot move", file, errno);
            }
            ::close(m_fd);
            m_fd = -1;
            (void)::unlink(PendingAppendPath(file).c_str());
            return OpenFile(file);
        }
        return {};
    }

    // Reserves `bytes` more than what is allocated at the end of the file already, without
    // changing its size: appends into that room need no free space on the disk.
    FileResult Reserve(const std::filesystem::path& file, off_t bytes) {
        const off_t beyond = std::max<off_t>(0, m_allocated - m_size) + m_carried;
        if (::fallocate(m_fd, FALLOC_FL_KEEP_SIZE, m_size, beyond + bytes) == 0) {
            return {};
        }
        const int err = errno;
        if (err != EOPNOTSUPP && err != ENOSYS) {
            return Failure("no room to record the deletions in", file, err);
        }
        // A file system that cannot reserve: at least the free space must hold the lines.
        struct statvfs fs {};
        if (::fstatvfs(m_fd, &fs) != 0) {
            return Failure("no room to record the deletions in", file, errno);
        }
        const auto room = static_cast<unsigned long long>(fs.f_bavail) * fs.f_frsize;
        if (room < static_cast<unsigned long long>(beyond + bytes) + fs.f_frsize) {
            return Failure("no room to record the deletions in", file, ENOSPC);
        }
        return {};
    }

    // Whether the file was moved aside with room that other checks had reserved in it.
    bool CarriesRoom() const { return m_carried > 0; }

    FileResult Append(const std::filesystem::path& file, std::string_view text) {
        if (!AppendWithNote(m_fd, file, m_size, text)) {
            return Failure("cannot write", file, errno);
        }
        const int fd = m_fd;
        m_fd = -1;
        return ::close(fd) == 0 ? FileResult{} : Failure("cannot write", file, errno);
    }

private:
    FileResult OpenFile(const std::filesystem::path& file) {
        struct stat st {};
        if (::lstat(file.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
            return FileResult{false, "not a regular file: " + file.string()};
        }
        // No following links and no blocking: the record is written by the main thread.
        m_fd = ::open(file.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600);
        if (m_fd < 0) {
            return Failure("cannot open", file, errno);
        }
        if (::fstat(m_fd, &st) != 0) {
            return Failure("cannot open", file, errno);
        }
        if (!S_ISREG(st.st_mode)) {
            return FileResult{false, "not a regular file: " + file.string()};
        }
        m_size = CutUnfinishedRecord(m_fd, file, st.st_size);
        m_allocated = static_cast<off_t>(st.st_blocks) * 512;
        return {};
    }

    int m_lockFd = -1;
    int m_fd = -1;
    off_t m_size = 0;
    off_t m_allocated = 0; // bytes the file system holds for the file, reserved room included
    off_t m_carried = 0;   // room reserved at the end of a file moved aside
};

} // namespace

std::string FormatDeletionLine(const DeletionRecord& record) {
    std::string line;
    for (const std::string* field :
         {&record.checkTime, &record.server, &record.account, &record.sender, &record.subject}) {
        line += BlankControls(*field);
        line += '\t';
    }
    if (record.size) {
        line += std::to_string(*record.size);
    }
    line += '\t';
    line += BlankControls(record.list + ": " + record.entry);
    line += '\t';
    line += !record.committed ? "not committed" : record.done.empty() ? "committed" : BlankControls(record.done);
    line += '\n';
    return line;
}

std::filesystem::path DeletionLogLockPath(const std::filesystem::path& file) {
    std::filesystem::path lock = file;
    lock += ".lock";
    return lock;
}

FileResult PrepareDeletionRecords(const std::filesystem::path& file, const std::vector<DeletionRecord>& records) {
    if (records.empty()) {
        return {};
    }
    const std::string text = Lines(records, true);
    OpenRecord record;
    if (FileResult opened = record.Open(file, text.size(), true); !opened.ok) {
        return opened;
    }
    return record.Reserve(file, static_cast<off_t>(text.size()));
}

FileResult AppendDeletionRecords(const std::filesystem::path& file, const std::vector<DeletionRecord>& records,
                                 bool prepared) {
    if (records.empty()) {
        return {};
    }
    const std::string text = Lines(records, false);
    OpenRecord record;
    if (FileResult opened = record.Open(file, text.size(), !prepared); !opened.ok) {
        return opened;
    }
    if (record.CarriesRoom()) {
        (void)record.Reserve(file, 0); // for the checks that reserved it; they find out if it failed
    }
    return record.Append(file, text);
}

} // namespace qm
