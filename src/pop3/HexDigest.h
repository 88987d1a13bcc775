#pragma once

#include <string>
#include <string_view>

namespace qm {

enum class DigestKind { Md5, Sha256 };

// The digest of `input` in lower-case hex. Throws EIdException when OpenSSL does not offer it.
std::string HexDigest(std::string_view input, DigestKind kind);

} // namespace qm
