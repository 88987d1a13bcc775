#pragma once

// The single-byte charset tables: Unicode values of the bytes 0x80..0xFF per charset id.

#include "pop3/Charset.h"

#include <cstdint>

namespace qm {

extern const std::uint16_t kCharsetUpperHalves[kSingleByteCharsetCount][128];

} // namespace qm
