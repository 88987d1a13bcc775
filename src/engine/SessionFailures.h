#pragma once

// How a session worker's own steps end it, past the errors of the connection.

#include <stdexcept>

namespace qm {

// The main thread has stopped taking calls: the session ends without reporting anything more.
struct SessionStopped {};

// A failure of the whole session raised inside the message loop, past its per-message handling.
struct SessionFailed : std::runtime_error {
    using std::runtime_error::runtime_error;
};

} // namespace qm
