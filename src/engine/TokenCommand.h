#pragma once

// The helper command that prints an OAuth2 access token for an account: split into arguments the
// way a POSIX shell would, but run without a shell, with standard input closed, bounded in time
// and output. Only the first line of its standard output is kept (the token); of its standard
// error only the first line, for the failure message.

#include "pop3/IdExceptions.h"

#include <cstddef>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace qm {

// The token command could not be run, failed, or printed no usable token.
class ETokenCommandError : public EIdException {
public:
    using EIdException::EIdException;
};

// Words of a command line as a POSIX shell splits them, without any expansion: blanks separate
// words; '...' keeps everything; "..." keeps everything but \ before \ " $ ` and newline;
// a backslash outside quotes keeps the next character. Throws ETokenCommandError when a quote
// is not closed or the line holds no word.
std::vector<std::string> SplitCommandLine(std::string_view line);

class TTokenCommand {
public:
    static constexpr std::size_t kMaxOutput = 64 * 1024;
    // Used when the account has no time-out of its own.
    static constexpr int kDefaultTimeoutMs = 30000;

    TTokenCommand();
    ~TTokenCommand();
    TTokenCommand(const TTokenCommand&) = delete;
    TTokenCommand& operator=(const TTokenCommand&) = delete;

    // Runs the command (its program found through PATH) and returns the first line of its
    // standard output, without the line end and surrounding blanks. timeoutMs <= 0 means
    // kDefaultTimeoutMs. A command still running at the time limit is killed with everything it
    // started. Throws ETokenCommandError when it cannot start, exits with a non-zero status or a
    // signal, runs out of time, prints more than kMaxOutput bytes or an empty first line, or is
    // aborted; the text ends with the first line of its standard error, when there is one.
    std::string Run(std::string_view commandLine, int timeoutMs);

    // Any thread: ends a running or a future Run at once (the command is killed).
    void Abort();

private:
    std::mutex m_mutex;
    bool m_aborted = false;
    int m_wakeRead = -1;
    int m_wakeWrite = -1;
};

} // namespace qm
