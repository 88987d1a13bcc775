#include "pop3/HexDigest.h"

#include "pop3/IdExceptions.h"

#include <openssl/evp.h>

namespace qm {

std::string HexDigest(std::string_view input, DigestKind kind) {
    const bool md5 = kind == DigestKind::Md5;
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_Digest(input.data(), input.size(), digest, &length, md5 ? EVP_md5() : EVP_sha256(), nullptr) != 1) {
        throw EIdException(md5 ? "MD5 is not available" : "SHA-256 is not available");
    }
    static const char kHex[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(2 * length);
    for (unsigned int i = 0; i < length; ++i) {
        hex += kHex[digest[i] >> 4];
        hex += kHex[digest[i] & 0x0F];
    }
    return hex;
}

} // namespace qm
