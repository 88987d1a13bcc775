// Addresses and dates from hostile header values: the parsers return or fail with their own
// errors, and a date is a finite day count.
#include "pop3/IdExceptions.h"
#include "pop3/IdMessage.h"
#include "pop3/IdMessageDate.h"
#include "pop3/MessageDecoders.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const int offset = (static_cast<int>(data[0]) - 128) * 7; // minutes east of UTC, about +-15 h
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
    const double date = qm::ParseMessageDate(text, offset);
    if (!std::isfinite(date)) {
        __builtin_trap();
    }
    (void)qm::DecodeDateTime(date);
    try {
        (void)qm::ParseAddress(text).Text();
        for (const qm::TIdEMailAddressItem& item : qm::ParseAddressList(text)) {
            (void)item.Text();
        }
    } catch (const qm::EIdException&) {
        // "@ Outside address" and the decoders' own errors; nothing else may escape.
    }
    return 0;
}
