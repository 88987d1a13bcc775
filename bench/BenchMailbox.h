#pragma once

// The mail of the pipelining benchmarks' mailboxes.

#include <string>

namespace qm::bench {

// Message `serial` (from 1) of a busy mailbox addressed to `to`: a full header as a mail provider
// delivers it (a Received chain, a DKIM signature, list headers), every third subject and some
// sender names as RFC 2047 encoded words, a text body of a few kilobytes and, on every tenth
// message, a small base64 attachment. CR LF lines; no message is spam for an empty list.
std::string BenchMessage(int serial, const std::string& to);

} // namespace qm::bench
