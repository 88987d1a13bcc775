// RC4 keyed with a SHA-1 digest (FIPS 180-4), text form Base64 (RFC 4648).
#include "settings/PasswordScrambler.h"

#include "pop3/MessageDecoders.h"

#include <array>
#include <cstdint>
#include <openssl/crypto.h>
#include <openssl/evp.h>

namespace qm {

namespace {

constexpr std::string_view kPassPhrase = "quietlettersstayclose";
constexpr std::string_view kAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// RC4 state, wiped when it goes out of scope.
class Rc4 {
public:
    Rc4(const unsigned char* key, std::size_t length) {
        for (int i = 0; i < 256; ++i) {
            m_s[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i);
        }
        std::uint8_t j = 0;
        for (std::size_t i = 0; i < 256; ++i) {
            j = static_cast<std::uint8_t>(j + m_s[i] + key[i % length]);
            std::swap(m_s[i], m_s[j]);
        }
    }
    ~Rc4() {
        OPENSSL_cleanse(m_s.data(), m_s.size());
        OPENSSL_cleanse(&m_i, sizeof m_i);
        OPENSSL_cleanse(&m_j, sizeof m_j);
    }
    Rc4(const Rc4&) = delete;
    Rc4& operator=(const Rc4&) = delete;

    void apply(std::string& bytes) {
        for (char& c : bytes) {
            m_i = static_cast<std::uint8_t>(m_i + 1);
            m_j = static_cast<std::uint8_t>(m_j + m_s[m_i]);
            std::swap(m_s[m_i], m_s[m_j]);
            const std::uint8_t k = m_s[static_cast<std::uint8_t>(m_s[m_i] + m_s[m_j])];
            c = static_cast<char>(static_cast<std::uint8_t>(c) ^ k);
        }
    }

private:
    std::array<std::uint8_t, 256> m_s{};
    std::uint8_t m_i = 0;
    std::uint8_t m_j = 0;
};

// Enciphering and deciphering are the same keystream XOR.
void applyCipher(std::string& bytes) {
    std::array<unsigned char, EVP_MAX_MD_SIZE> digest{};
    unsigned int length = 0;
    if (EVP_Digest(kPassPhrase.data(), kPassPhrase.size(), digest.data(), &length, EVP_sha1(), nullptr) != 1 ||
        length != 20) {
        // No SHA-1 means no way to derive the key; never hand back the plain bytes.
        OPENSSL_cleanse(bytes.data(), bytes.size());
        bytes.clear();
        return;
    }
    {
        Rc4 cipher(digest.data(), length);
        cipher.apply(bytes);
    }
    OPENSSL_cleanse(digest.data(), digest.size());
}

int alphabetIndex(char c) {
    const std::size_t at = kAlphabet.find(c);
    return at == std::string_view::npos ? -1 : static_cast<int>(at);
}

} // namespace

bool DecodeBase64Groups(std::string_view text, std::string& bytes) {
    bytes.clear();
    for (std::size_t g = 0; g + 4 <= text.size(); g += 4) {
        const int a = alphabetIndex(text[g]);
        const int b = alphabetIndex(text[g + 1]);
        if (a < 0 || b < 0) {
            bytes.clear();
            return false;
        }
        const std::uint32_t hi = (static_cast<std::uint32_t>(a) << 18) | (static_cast<std::uint32_t>(b) << 12);
        if (text[g + 2] == '=') {
            bytes += static_cast<char>(hi >> 16);
            continue;
        }
        const int c = alphabetIndex(text[g + 2]);
        if (c < 0) {
            bytes.clear();
            return false;
        }
        const std::uint32_t mid = hi | (static_cast<std::uint32_t>(c) << 6);
        if (text[g + 3] == '=') {
            bytes += static_cast<char>(mid >> 16);
            bytes += static_cast<char>((mid >> 8) & 0xFF);
            continue;
        }
        const int d = alphabetIndex(text[g + 3]);
        if (d < 0) {
            bytes.clear();
            return false;
        }
        const std::uint32_t v = mid | static_cast<std::uint32_t>(d);
        bytes += static_cast<char>(v >> 16);
        bytes += static_cast<char>((v >> 8) & 0xFF);
        bytes += static_cast<char>(v & 0xFF);
    }
    return true;
}

std::string ScramblePassword(std::string_view password) {
    if (password.empty()) {
        return {};
    }
    std::string bytes(password);
    applyCipher(bytes);
    std::string text = EncodeBase64(bytes);
    OPENSSL_cleanse(bytes.data(), bytes.size());
    return text;
}

std::string UnscramblePassword(std::string_view text) {
    std::string bytes;
    if (!DecodeBase64Groups(text, bytes) || bytes.empty()) {
        return {};
    }
    applyCipher(bytes);
    return bytes;
}

} // namespace qm
