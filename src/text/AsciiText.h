#pragma once

// Byte-wise ASCII helpers shared by every folder: the protocol client, the message decoders, the
// settings reader, the masks, the language table and the account list. Only A-Z and a-z change case: bytes of the code
// page stay as they are whatever the process locale, so header, charset, reply and INI names compare the same
// everywhere.

#include <cstddef>
#include <string>
#include <string_view>

namespace qm {

constexpr char AsciiUpperChar(char c) noexcept {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}
constexpr char AsciiLowerChar(char c) noexcept {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}
std::string AsciiUpper(std::string_view text);
std::string AsciiLower(std::string_view text);

// Comparisons that ignore ASCII letter case.
bool EqualNoCase(std::string_view a, std::string_view b);
// Negative, zero or positive as a sorts before, with or after b: letters compared as lower case
// (so "_" sorts before letters), every other byte by its unsigned value, a prefix first.
int CompareNoCase(std::string_view a, std::string_view b);
bool StartsWithNoCase(std::string_view text, std::string_view prefix);
// First position of what in text; npos when it is not there.
std::size_t FindNoCase(std::string_view text, std::string_view what);

// Value of a hexadecimal digit of either case; -1 for any other character.
int HexDigitValue(char c);

// Value of a character of the base64 alphabet (RFC 2045); notInAlphabet for any other character.
// The body and header decoders count strays as 0, the UTF-7 reader stops a run at them.
int Base64DigitValue(char c, int notInAlphabet);

// Removes bytes 0 to 32 (spaces and control characters) from both ends.
std::string_view TrimControls(std::string_view text);

// The text with each control character replaced by one blank: bytes 0 to 31, DEL, and U+0080 to
// U+009F in their UTF-8 form (C2 80 to C2 9F). What a sender wrote can then neither break a
// printed or recorded line nor send a command to the user's terminal. Other bytes stay as they are.
std::string BlankControls(std::string_view text);

} // namespace qm
