#pragma once

#include <string>
#include <string_view>

namespace qm {

// The stored form of a password: RC4 under the SHA-1 of a fixed pass phrase, then Base64.
// Both are pure; bytes in, bytes out (the code page is not looked at).
std::string ScramblePassword(std::string_view password);

// The password of a stored text. Decodes whole groups of four characters (a shorter tail is
// ignored); a text with a character outside the Base64 alphabet, or "=" in the first or second
// place of a group, gives the empty password.
std::string UnscramblePassword(std::string_view text);

// Base64 decoding with the group rules above (the encoder is EncodeBase64 of the message
// decoders); exposed for tests. Returns false on a character outside the alphabet or a misplaced "=".
bool DecodeBase64Groups(std::string_view text, std::string& bytes);

} // namespace qm
