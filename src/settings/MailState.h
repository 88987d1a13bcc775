#pragma once

// What the checks remember between them, per account, in one file of the data folder: the
// messages the user has looked at, and the verdicts of messages already judged, valid under the
// lists and conditions named by their fingerprint. The monitor and quillmere-check share it.

#include "settings/FilterList.h"

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace qm {

inline constexpr const char* kMailStateFile = "mailstate.txt";
// A state file larger than this is not one this program wrote (a few hundred thousand messages).
inline constexpr std::size_t kMaxMailStateBytes = 64u << 20;

// One message still on the server, known by its key (a UIDL, or an IMAP folder, UIDVALIDITY and UID).
struct KnownMessage {
    bool looked = false;  // the user has looked since a check saw it: no longer news
    bool judged = false;  // a verdict under the account's fingerprint follows
    bool noticed = false; // it met the notice conditions (not spam: spam is never kept)
    std::string address;  // its sender's address, for the received addresses

    bool operator==(const KnownMessage&) const = default;
};

struct AccountMailState {
    std::string fingerprint; // of the lists, conditions and code page the verdicts were made under
    std::map<std::string, KnownMessage> messages;

    bool operator==(const AccountMailState&) const = default;
};

// By account key (MailAccountKey).
struct MailState {
    std::map<std::string, AccountMailState> accounts;

    bool operator==(const MailState&) const = default;
};

// The file's text, and its reading: nullopt for anything this program did not write whole
// (another format, a cut or damaged line), which then counts as "nothing known yet".
std::string SerializeMailState(const MailState& state);
std::optional<MailState> ParseMailState(std::string_view text);

// The lock beside the file ("<file>.lock") held while it is read for a change and replaced.
std::filesystem::path MailStateLockPath(const std::filesystem::path& file);

// The file's state; an empty one when it is missing, unreadable or damaged.
MailState LoadMailState(const std::filesystem::path& file);

// Under the lock, one read and one atomic write however many accounts: the file's state with each
// account's replaced by the one given, whose messages keep the "looked" of the same messages in
// the file (marked while the check ran).
FileResult SaveAccountMailStates(const std::filesystem::path& file, std::map<std::string, AccountMailState> accounts);
FileResult SaveAccountMailState(const std::filesystem::path& file, const std::string& accountKey,
                                AccountMailState account);

// Under the lock: every message the file knows is marked as looked at.
FileResult MarkAllLooked(const std::filesystem::path& file);

} // namespace qm
