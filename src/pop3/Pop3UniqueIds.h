#pragma once

// The unique-id listing a POP3 server answers to UIDL (RFC 1939, section 7).

#include <optional>
#include <string>
#include <vector>

namespace qm {

// The longest unique-id RFC 1939 allows.
inline constexpr std::size_t kMaxUniqueIdLength = 70;

// The unique-ids of messages 1 to `count` from the lines of a UIDL answer (without its "."
// line), ids[n - 1] for message n; a message the listing leaves out gets an empty id. Nullopt
// when a line is not "<number> <id>" for a message of the mailbox, with an id of 1 to 70
// characters from 0x21 to 0x7E, or two lines name one message or one id: a listing that cannot
// tell messages apart reliably names none.
std::optional<std::vector<std::string>> ParseUniqueIds(const std::vector<std::string>& lines, int count);

} // namespace qm
