#pragma once

// Reading of one IMAP4rev1 server reply (RFC 3501 section 7) from the bytes received so far: a
// tagged status, an untagged status or data reply, or a "+" continuation. Data items are atoms,
// quoted strings, NIL, parenthesised lists and {n} literals, anywhere in a reply. A pure function
// over bytes, so any input can be fed to it; every size and depth it accepts is bounded.

#include "pop3/ReplyLimit.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qm {

struct ImapItem {
    enum class Kind { Atom, String, Nil, List };
    Kind kind = Kind::Atom;
    std::string text;            // Atom and String
    std::vector<ImapItem> items; // List
    bool literal = false;        // a String that came as {n}

    bool IsAtom(std::string_view name) const; // an atom of this name, letter case ignored
    // An atom holding a number (no sign, at most 2^32 - 1).
    std::optional<std::uint32_t> Number() const;
};

struct ImapLimits {
    std::size_t maxReplyBytes = kMaxReplyBytes;   // everything but the literals
    std::size_t maxLiteralBytes = kMaxReplyBytes; // all literals of one reply together
    std::size_t maxDepth = 16;              // nested lists
    std::size_t maxItems = 200000;          // items of one reply, at every depth
};

struct ImapReply {
    enum class State {
        Incomplete, // more bytes are needed
        Complete,   // the reply is whole
        Malformed,  // no valid reply can come of these bytes, or one of the limits was passed
    };
    enum class Type { Tagged, Untagged, Continuation };
    State state = State::Incomplete;
    // Incomplete: literal octets still awaited, all of which the caller may read at once
    // (0: the rest of a line is awaited).
    std::size_t literalPending = 0;
    std::size_t consumed = 0; // Complete: the reply's bytes, its last CR LF included
    std::string error;        // Malformed: why, for the message shown
    Type type = Type::Untagged;
    std::string tag; // Tagged
    // Status replies (OK, NO, BAD, BYE, PREAUTH) in upper case; empty for data replies.
    std::string status;
    std::string code; // the response code between [ and ], as sent ("UIDNEXT 12")
    std::string text; // the status's human text, or a continuation's text
    // Data replies: the leading number ("* 3 FETCH") and the upper-case name ("FETCH").
    std::optional<std::uint32_t> number;
    std::string name;
    std::vector<ImapItem> items; // data items after the name
};

ImapReply ReadImapReply(std::string_view bytes, const ImapLimits& limits = {});

// The words of a response code, split at spaces ("COPYUID 3 1:2 5:6" gives four).
std::vector<std::string> CodeWords(std::string_view code);

} // namespace qm
