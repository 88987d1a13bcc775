#pragma once

// What a POP3 server announces in its answer to CAPA (RFC 2449), as far as the session uses it,
// and the response codes in brackets that start the text of a reply.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qm {

struct Pop3Capabilities {
    bool announced = false;  // the server answered CAPA with a list
    bool pipelining = false; // PIPELINING: commands may be sent ahead of their replies
    bool uidl = false;       // UIDL: the server names its messages with unique-ids
    // LOGIN-DELAY n: the least number of seconds between two logins of an account, at most
    // kMaxLoginDelaySeconds.
    std::optional<int> loginDelaySeconds;
};

// A longer pause asked for is cut to this (one day): a hostile number must not keep an account
// out of the checks for years.
inline constexpr int kMaxLoginDelaySeconds = 86400;

// The capabilities named by the lines of a CAPA answer (without its "." line). Names are compared
// without regard to case; unknown ones and malformed arguments are ignored.
Pop3Capabilities ParseCapabilities(const std::vector<std::string>& lines);

// The response code a reply's text starts with ("[IN-USE] busy" gives "IN-USE"), upper case;
// empty when there is none. Hierarchical codes keep their parts ("SYS/TEMP").
std::string ResponseCode(std::string_view replyText);

} // namespace qm
