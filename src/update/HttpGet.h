#pragma once

// One bounded HTTP GET over the line connection.

#include "pop3/IdTCPClient.h"

#include <cstddef>
#include <string>

namespace qm {

struct HttpLimits {
    // Connecting and the whole response together.
    int timeoutMs = 30000;
    // Bytes of response read at most; a longer response counts as a failure.
    std::size_t maxBytes = 64 * 1024;
};

class THttpGet : public TIdTCPClient {
public:
    // Sends request to Host:Port and reads the response within limits. The body of a 2xx
    // response; empty for anything else, also for any failure (never throws). Abort() from
    // another thread ends it at once.
    std::string Get(const std::string& request, const HttpLimits& limits);
};

} // namespace qm
