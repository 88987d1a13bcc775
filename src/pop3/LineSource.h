#pragma once

#include <string>

namespace qm {

// A source of text lines, read one at a time up to LF. The connection implements it;
// the message reader consumes it, so message parsing can be tested without a socket.
class TIdLineSource {
public:
    virtual ~TIdLineSource() = default;

    // One line without its LF terminator (a trailing CR is kept; the caller strips it).
    // Throws an EIdException subclass when the line cannot be read (closed, time-out, too long).
    virtual std::string ReadLine() = 0;
};

} // namespace qm
