#pragma once

#include <cstddef>

namespace qm {

// The most bytes one server reply may take, apart from a message's content: a multi-line reply,
// a capability list, an IMAP reply and its literals. Real replies are a few kilobytes; past this
// the server is not answering the command, and the session ends.
inline constexpr std::size_t kMaxReplyBytes = 1u << 20;

} // namespace qm
