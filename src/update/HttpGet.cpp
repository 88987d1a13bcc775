#include "update/HttpGet.h"

#include "update/HttpResponse.h"

#include <chrono>
#include <exception>

namespace qm {

std::string THttpGet::Get(const std::string& request, const HttpLimits& limits) {
    const auto start = std::chrono::steady_clock::now();
    try {
        Connect(limits.timeoutMs);
        const auto spent =
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
        const int left = limits.timeoutMs - static_cast<int>(spent);
        if (left <= 0) {
            Disconnect();
            return {};
        }
        DeadlineScope deadline(*this, left);
        WriteText(request);
        std::string received;
        std::size_t parsedAt = 0;
        bool closed = false;
        for (;;) {
            const std::string more = ReadBytes(limits.maxBytes + 1 - received.size());
            closed = more.empty();
            received += more;
            if (received.size() > limits.maxBytes) {
                break;
            }
            // A response arriving a byte at a time is parsed again only as it grows by a quarter.
            if (closed || received.size() < 4096 || received.size() >= parsedAt + parsedAt / 4) {
                parsedAt = received.size();
                const HttpResponse response = ReadHttpResponse(received, closed);
                if (response.state != HttpResponse::State::Incomplete) {
                    Disconnect();
                    return SuccessBody(response);
                }
            }
            if (closed) {
                break;
            }
        }
    } catch (const std::exception&) {
        // Every failure of the check is silent; the caller sees no text.
    }
    Disconnect();
    return {};
}

} // namespace qm
