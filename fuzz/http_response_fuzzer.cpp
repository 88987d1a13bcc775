// HTTP responses from hostile input: reading always ends, and a response complete while the
// connection is open reads the same once it has closed.
#include "update/HttpResponse.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const qm::HttpResponse open = qm::ReadHttpResponse(bytes, false);
    const qm::HttpResponse closed = qm::ReadHttpResponse(bytes, true);
    if (closed.state == qm::HttpResponse::State::Incomplete) {
        __builtin_trap();
    }
    if (open.state == qm::HttpResponse::State::Complete &&
        (closed.state != open.state || closed.status != open.status || closed.body != open.body)) {
        __builtin_trap();
    }
    if (open.body.size() > size || closed.body.size() > size) {
        __builtin_trap();
    }
    return 0;
}
