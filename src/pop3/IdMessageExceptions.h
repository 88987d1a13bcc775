#pragma once

// Failures of message parsing. Each carries the exact text the program reports for it.

#include "pop3/IdExceptions.h"

#include <string>

namespace qm {

// An address whose text continues with "@" after a closed angle-bracket address.
class EIdEmailParseError : public EIdException {
public:
    EIdEmailParseError() : EIdException("@ Outside address") {}
    using EIdException::EIdException;
};

// The machine's offset from UTC could not be read while parsing a date.
class EIdFailedToRetreiveTimeZoneInfo : public EIdException {
public:
    EIdFailedToRetreiveTimeZoneInfo() : EIdException("Failed attempting to retrieve time zone information.") {}
};

// A text that was to be read as a number is not one, e.g. "=ZZ" in a Q-encoded word gives
// "'$ZZ' is not a valid integer value".
class EIdConvertError : public EIdException {
public:
    explicit EIdConvertError(const std::string& text) : EIdException("'" + text + "' is not a valid integer value") {}
};

// A message that is larger or deeper than what this program keeps while parsing (header size,
// kept text, number of parts, nesting of boundaries). The message is skipped like any other
// message that fails to parse.
class EIdMessageTooLarge : public EIdException {
public:
    EIdMessageTooLarge() : EIdException("Message too large to parse.") {}
};

} // namespace qm
