#pragma once

// Charset identifiers, conversion between them, and the decoding of subjects for mask matching.
// Data strings in this program are bytes in the machine's ANSI code page (1250..1258); the
// code page is always passed in, never read here, so callers and tests choose it.

#include <string>
#include <string_view>

namespace qm {

// Charset identifiers. The order is fixed: ids 0..24 are single-byte charsets with a table for
// the bytes 0x80..0xFF, ids 25..28 are the Unicode forms.
enum TCharsetId : int {
    csISO_8859_1 = 0,
    csISO_8859_2,
    csISO_8859_3,
    csISO_8859_4,
    csISO_8859_5,
    csISO_8859_6,
    csISO_8859_7,
    csISO_8859_8,
    csISO_8859_9,
    csISO_8859_10,
    csISO_8859_13,
    csISO_8859_14,
    csISO_8859_15,
    csWindows1250,
    csWindows1251,
    csWindows1252,
    csWindows1253,
    csWindows1254,
    csWindows1255,
    csWindows1256,
    csWindows1257,
    csWindows1258,
    csKOI8_R,
    csKamenicky,
    csLatin2,
    csUCS2,
    csUCS4,
    csUTF8,
    csUTF7,
};

inline constexpr int kSingleByteCharsetCount = 25;
inline constexpr int kCharsetCount = 29;

// The charset id a MIME charset name stands for (prefix and substring tests on the upper-cased
// name); anything unknown, "ISO-8859-1" included, gives csISO_8859_1.
int CharsetFromName(std::string_view name);

// The single-byte charset id of a Windows ANSI code page: 1250, 1251, 1253..1258 map to their
// windows-125x ids; every other code page, 1252 included, gives csWindows1252.
int SystemCharset(int codePage);

// Converts bytes from one charset id to another. Never fails: a character the target cannot hold
// becomes "_", as does anything above U+FFFF; a trailing incomplete unit reads as U+0000.
// Out-of-range ids are treated as csISO_8859_1.
std::string ConvertCharset(std::string_view bytes, int fromId, int toId);

// The subject as it is to be matched against the user's masks: every RFC 2047 encoded word
// ("=?charset?B?...?=" or "=?charset?Q?...?=") is decoded and converted from its own charset
// into the code page's charset; the text around the words is kept as it is, and a word that
// does not decode (bad base64 length, missing parts) is left unchanged. Never throws.
std::string DecodeSubject(std::string_view subject, int codePage);

// The subject header as a mail program shows it, in UTF-8: every encoded word decoded from its
// own charset (a Q word's "_" a blank), the text around them read in the code page, blanks
// between two adjacent words dropped. A word that does not decode is left as it is. Never throws.
std::string ShownSubject(std::string_view subject, int codePage);

// Conversions at the edges of the program (user interface, file names): bytes in a Windows ANSI
// code page to UTF-8 and back. A character the code page cannot hold becomes "?"; an invalid
// UTF-8 sequence counts as one unrepresentable character per offending byte.
std::string CodePageToUtf8(std::string_view bytes, int codePage);
std::string Utf8ToCodePage(std::string_view utf8, int codePage);

} // namespace qm
