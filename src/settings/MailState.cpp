// The state file: a line naming the format, then per account a line "account <key>" and a line
// "fingerprint <hex>", and a line per message "<looked><judged><noticed> <key> <address>" (each
// flag 0 or 1), and "end". Fields are escaped as %XX for bytes up to the space, "%" and bytes
// from 127 on; an empty field is written "-" (a "-" itself as %2D).
#include "settings/MailState.h"

#include "settings/AtomicFile.h"
#include "settings/LogAppend.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#include <vector>

namespace qm {

namespace {

constexpr std::string_view kHeader = "Quillmere32 mail state 1";
constexpr std::string_view kEnd = "end";
// Saves of other checks take milliseconds; a lock held longer is held by something else.
constexpr std::chrono::seconds kLockWait{10};

std::string Escaped(std::string_view field) {
    if (field.empty()) {
        return "-";
    }
    if (field == "-") {
        return "%2D";
    }
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (const char c : field) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte >= 0x7F || c == '%') {
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 0x0F];
        } else {
            out += c;
        }
    }
    return out;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// Only what Escaped writes: anything else means the file is not ours.
std::optional<std::string> Unescaped(std::string_view field) {
    if (field == "-") {
        return std::string();
    }
    if (field.empty()) {
        return std::nullopt;
    }
    std::string out;
    for (std::size_t i = 0; i < field.size(); ++i) {
        const auto byte = static_cast<unsigned char>(field[i]);
        if (byte <= 0x20 || byte >= 0x7F) {
            return std::nullopt;
        }
        if (field[i] != '%') {
            out += field[i];
            continue;
        }
        const int high = i + 2 < field.size() ? HexDigit(field[i + 1]) : -1;
        const int low = high >= 0 ? HexDigit(field[i + 2]) : -1;
        if (low < 0) {
            return std::nullopt;
        }
        out += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return out;
}

// The line's words split at single spaces; nullopt unless there are exactly `count`.
std::optional<std::vector<std::string_view>> Words(std::string_view line, std::size_t count) {
    std::vector<std::string_view> words;
    for (std::size_t start = 0;;) {
        const std::size_t space = line.find(' ', start);
        words.push_back(line.substr(start, space == std::string_view::npos ? space : space - start));
        if (space == std::string_view::npos || words.size() > count) {
            break;
        }
        start = space + 1;
    }
    if (words.size() != count) {
        return std::nullopt;
    }
    return words;
}

std::optional<KnownMessage> FlagsOf(std::string_view flags) {
    if (flags.size() != 3 || flags.find_first_not_of("01") != std::string_view::npos) {
        return std::nullopt;
    }
    KnownMessage message;
    message.looked = flags[0] == '1';
    message.judged = flags[1] == '1';
    message.noticed = flags[2] == '1';
    return message;
}

FileResult Failure(const char* what, const std::filesystem::path& file, int err) {
    return FileResult{false, std::string(what) + " " + file.string() + ": " + std::strerror(err)};
}

// Holds the lock beside the file while the file is read, changed and replaced.
class StateLock {
public:
    explicit StateLock(const std::filesystem::path& file) {
        const std::filesystem::path lock = MailStateLockPath(file);
        m_fd = ::open(lock.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600);
        if (m_fd < 0) {
            m_result = Failure("cannot open", lock, errno);
        } else if (!LockWithin(m_fd, kLockWait)) {
            m_result = Failure("cannot lock", lock, errno);
        }
    }
    ~StateLock() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    StateLock(const StateLock&) = delete;
    StateLock& operator=(const StateLock&) = delete;
    const FileResult& Result() const { return m_result; }

private:
    int m_fd = -1;
    FileResult m_result;
};

FileResult Write(const std::filesystem::path& file, const MailState& state) {
    std::string error;
    if (!WriteFileAtomically(file, SerializeMailState(state), &error, 0600)) {
        return FileResult{false, error};
    }
    return {};
}

} // namespace

std::string SerializeMailState(const MailState& state) {
    std::string text(kHeader);
    text += '\n';
    for (const auto& [key, account] : state.accounts) {
        text += "account " + Escaped(key) + "\nfingerprint " + Escaped(account.fingerprint) + '\n';
        for (const auto& [messageKey, m] : account.messages) {
            text += m.looked ? '1' : '0';
            text += m.judged ? '1' : '0';
            text += m.noticed ? '1' : '0';
            text += ' ' + Escaped(messageKey) + ' ' + Escaped(m.address) + '\n';
        }
    }
    text += kEnd;
    text += '\n';
    return text;
}

std::optional<MailState> ParseMailState(std::string_view text) {
    MailState state;
    AccountMailState* account = nullptr;
    bool headerSeen = false;
    bool needFingerprint = false;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) {
            return std::nullopt; // a cut line
        }
        const std::string_view line = text.substr(start, end - start);
        start = end + 1;
        if (!headerSeen) {
            if (line != kHeader) {
                return std::nullopt;
            }
            headerSeen = true;
        } else if (line == kEnd) {
            return needFingerprint || start != text.size() ? std::nullopt : std::optional<MailState>(std::move(state));
        } else if (needFingerprint) {
            const auto words = Words(line, 2);
            const auto fingerprint = words && (*words)[0] == "fingerprint" ? Unescaped((*words)[1]) : std::nullopt;
            if (!fingerprint) {
                return std::nullopt;
            }
            account->fingerprint = *fingerprint;
            needFingerprint = false;
        } else if (line.substr(0, 8) == "account ") {
            const auto words = Words(line, 2);
            const auto key = words ? Unescaped((*words)[1]) : std::nullopt;
            if (!key || state.accounts.count(*key) != 0) {
                return std::nullopt;
            }
            account = &state.accounts[*key];
            needFingerprint = true;
        } else {
            const auto words = Words(line, 3);
            auto message = words && account != nullptr ? FlagsOf((*words)[0]) : std::nullopt;
            const auto key = message ? Unescaped((*words)[1]) : std::nullopt;
            const auto address = key ? Unescaped((*words)[2]) : std::nullopt;
            if (!address || key->empty() || account->messages.count(*key) != 0) {
                return std::nullopt;
            }
            message->address = *address;
            account->messages.emplace(*key, std::move(*message));
        }
    }
    return std::nullopt; // no "end": the file was cut
}

std::filesystem::path MailStateLockPath(const std::filesystem::path& file) {
    std::filesystem::path lock = file;
    lock += ".lock";
    return lock;
}

MailState LoadMailState(const std::filesystem::path& file) {
    std::string text;
    if (!ReadWholeFile(file, text, kMaxMailStateBytes)) {
        return {};
    }
    return ParseMailState(text).value_or(MailState{});
}

FileResult SaveAccountMailStates(const std::filesystem::path& file, std::map<std::string, AccountMailState> accounts) {
    const StateLock lock(file);
    if (!lock.Result().ok) {
        return lock.Result();
    }
    MailState state = LoadMailState(file);
    for (auto& [accountKey, account] : accounts) {
        if (const auto it = state.accounts.find(accountKey); it != state.accounts.end()) {
            for (auto& [key, message] : account.messages) {
                if (const auto old = it->second.messages.find(key); old != it->second.messages.end()) {
                    message.looked = message.looked || old->second.looked;
                }
            }
        }
        state.accounts[accountKey] = std::move(account);
    }
    return Write(file, state);
}

FileResult SaveAccountMailState(const std::filesystem::path& file, const std::string& accountKey,
                                AccountMailState account) {
    std::map<std::string, AccountMailState> one;
    one.emplace(accountKey, std::move(account));
    return SaveAccountMailStates(file, std::move(one));
}

FileResult MarkAllLooked(const std::filesystem::path& file) {
    const StateLock lock(file);
    if (!lock.Result().ok) {
        return lock.Result();
    }
    MailState state = LoadMailState(file);
    for (auto& [key, account] : state.accounts) {
        for (auto& [messageKey, message] : account.messages) {
            message.looked = true;
        }
    }
    return Write(file, state);
}

} // namespace qm
