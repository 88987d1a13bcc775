#pragma once

// Reading of one HTTP/1.1 response (RFC 9112) from the bytes received so far: the status line,
// the header fields, and a body framed by the chunked transfer coding, by Content-Length, or by
// the end of the connection. A pure function over bytes, so any input can be fed to it.

#include <string>
#include <string_view>

namespace qm {

struct HttpResponse {
    enum class State {
        Incomplete, // more bytes are needed
        Complete,   // status and body are final
        Malformed,  // no valid response can come of these bytes
    };
    State state = State::Incomplete;
    int status = 0;
    std::string body;
};

// Reads the response at the start of bytes. closed: the peer has ended the connection, so a body
// that runs to the close is complete and anything still missing never comes. Interim (1xx)
// responses before the final one are skipped.
HttpResponse ReadHttpResponse(std::string_view bytes, bool closed);

// The body of a complete 2xx response; empty for anything else (redirects are not followed).
std::string SuccessBody(const HttpResponse& response);

} // namespace qm
