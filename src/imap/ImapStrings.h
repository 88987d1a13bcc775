#pragma once

// Strings the IMAP client writes into commands: folder names in modified UTF-7 (RFC 3501 section
// 5.1.3), quoted strings, and UID sets.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qm {

// UTF-8 to modified UTF-7; bytes that are not UTF-8 are taken as Latin-1.
std::string EncodeFolderName(std::string_view utf8);
// Modified UTF-7 to UTF-8; a name that is not valid modified UTF-7 is kept as it came.
std::string DecodeFolderName(std::string_view mutf7);

// A quoted string with '"' and '\' escaped; nullopt when the text holds CR, LF or NUL, which no
// quoted string can carry.
std::optional<std::string> QuoteImapString(std::string_view text);

// UIDs as a set ("3:5,9"), ascending, duplicates dropped.
std::string UidSet(std::vector<std::uint32_t> uids);
// The UIDs a set names ("3:5,9"); nullopt for a malformed set, "*", or more than maxCount UIDs.
std::optional<std::vector<std::uint32_t>> ParseUidSet(std::string_view set, std::size_t maxCount = 100000);

} // namespace qm
