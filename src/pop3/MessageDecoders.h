#pragma once

// Decoders for message header and body text: RFC 2047 encoded words, RFC 2822 addresses,
// base64 (RFC 2045) and quoted-printable (RFC 2045).

#include "pop3/IdMessage.h"

#include <string>
#include <string_view>

namespace qm {

// Decodes the encoded words of ISO-* and WINDOWS-* charsets in place, keeping their bytes as they
// are (ISO-2022-JP text becomes Shift-JIS); other words stay encoded. Throws EIdConvertError for
// "=" followed by two non-hexadecimal characters in a Q word.
std::string DecodeEncodedWords(std::string_view text);

// One address from a header value. Throws EIdEmailParseError "@ Outside address".
TIdEMailAddressItem ParseAddress(std::string_view text);

// A comma or semicolon separated address list (To, Cc, Reply-To); empty items dropped.
TIdEMailAddressList ParseAddressList(std::string_view text);

// Base64 (RFC 4648 alphabet, "=" padding, no line breaks).
std::string EncodeBase64(std::string_view bytes);

// Base64 of a length that is a multiple of 4 (no white space skipped); otherwise throws
// EIdException "Uneven size in DecodeToStream.". Characters outside the alphabet count as 0.
std::string DecodeBase64(std::string_view text);

// Quoted-printable: "=XX" bytes, "=" at the end of a line as a soft break; "_" stays "_".
std::string DecodeQuotedPrintable(std::string_view text);

// The upper-cased boundary parameter of a content type value; empty when there is none.
std::string BoundaryOf(std::string_view contentType);

} // namespace qm
