#include "pop3/IdTCPConnection.h"

#include "pop3/IdExceptions.h"
#include "pop3/ReplyLimit.h"
#include "text/AsciiText.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdint>

namespace qm {

namespace {

using Clock = std::chrono::steady_clock;

// A hostile server could otherwise keep one reply growing for ever.
constexpr std::size_t kMaxReplyLines = 10000;

} // namespace

TIdTCPConnection::TIdTCPConnection() {
    m_abortFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (m_abortFd < 0) {
        TIdStack::RaiseErrno(errno);
    }
}

TIdTCPConnection::~TIdTCPConnection() {
    if (m_ioHandler) {
        m_ioHandler->Close();
    }
    ::close(m_abortFd);
}

void TIdTCPConnection::Abort() {
    m_aborted = true;
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto written = ::write(m_abortFd, &one, sizeof one);
}

TIdTCPConnection::DeadlineScope::DeadlineScope(TIdTCPConnection& connection, int timeoutMs)
    : m_connection(connection), m_saved(connection.m_deadline) {
    if (timeoutMs > 0) {
        const auto mine = Clock::now() + std::chrono::milliseconds(timeoutMs);
        if (!m_connection.m_deadline || mine < *m_connection.m_deadline) {
            m_connection.m_deadline = mine;
        }
    }
}

TIdTCPConnection::DeadlineScope::~DeadlineScope() {
    m_connection.m_deadline = m_saved;
}

int TIdTCPConnection::EffectiveTimeout(int timeoutMs) const {
    int timeout = timeoutMs == -1 ? ReadTimeout : timeoutMs;
    if (timeout == 0) {
        timeout = -1;
    }
    if (m_deadline) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(*m_deadline - Clock::now()).count();
        const int leftMs = static_cast<int>(std::clamp<long long>(left, 0, INT_MAX));
        timeout = timeout < 0 ? leftMs : std::min(timeout, leftMs);
    }
    return timeout;
}

void TIdTCPConnection::OpenHandler() {
    if (!m_ioHandler) {
        m_ioHandler = std::make_unique<TIdIOHandlerSocket>(m_abortFd);
    }
    m_ioHandler->Open();
    m_buffer.clear();
    m_bufferStart = 0;
    m_closedGracefully = false;
}

void TIdTCPConnection::StartTls(const std::string& host, int timeoutMs) {
    // Bytes that arrived before the handshake were not protected by it; taking them as replies
    // would let an attacker on the line speak for the server.
    if (InputBufferSize() != 0) {
        CloseSocket();
        throw EIdTLSError("TLS: the server sent data before the TLS handshake");
    }
    try {
        m_ioHandler->StartTls(host, timeoutMs);
    } catch (...) {
        CloseSocket();
        throw;
    }
}

void TIdTCPConnection::Disconnect() {
    m_closedGracefully = true;
    if (m_ioHandler) {
        m_ioHandler->Close();
        m_ioHandler.reset();
    }
}

void TIdTCPConnection::CloseSocket() {
    m_closedGracefully = true;
    if (m_ioHandler) {
        m_ioHandler->Close();
    }
}

bool TIdTCPConnection::IsConnected() {
    CheckClosed(false, false);
    return !m_aborted && m_ioHandler && m_ioHandler->Connected();
}

void TIdTCPConnection::CheckClosed(bool raiseIfClosed, bool ignoreBuffer) {
    bool closed = false;
    if (m_closedGracefully || m_aborted || !m_ioHandler) {
        if (m_ioHandler && m_ioHandler->Connected()) {
            m_ioHandler->Close();
        }
        closed = true;
    }
    if (closed && raiseIfClosed && (InputBufferSize() == 0 || ignoreBuffer)) {
        if (m_aborted) {
            throw EIdClosedSocket();
        }
        throw EIdConnClosedGracefully();
    }
}

long TIdTCPConnection::ReceiveMore(bool raiseIfClosed, int timeoutMs, bool raiseOnTimeout) {
    CheckClosed(raiseIfClosed, false);
    if (!m_ioHandler || !m_ioHandler->Connected()) {
        if (raiseIfClosed) {
            throw EIdNotConnected();
        }
        return 0;
    }
    m_recvChunk.resize(static_cast<std::size_t>(std::max(RecvBufferSize, 1)));
    long count = 0;
    do {
        TIdIOHandlerSocket::IoResult r;
        try {
            r = m_ioHandler->Recv(m_recvChunk.data(), m_recvChunk.size(), EffectiveTimeout(timeoutMs));
        } catch (const EIdException&) {
            CloseSocket(); // aborted, or a broken TLS stream: nothing more can be trusted
            throw;
        }
        if (r.timedOut) {
            if (raiseOnTimeout) {
                CloseSocket();
                throw EIdReadTimeout();
            }
            return -1;
        }
        if (r.error != 0) {
            if (r.error == 10058 || r.error == 10053) {
                CloseSocket();
                if (InputBufferSize() == 0) {
                    TIdStack::RaiseSocketError(r.error);
                }
                r.bytes = 0;
            } else {
                CloseSocket();
                TIdStack::RaiseSocketError(r.error);
            }
        }
        count = r.bytes;
        if (count == 0) {
            m_closedGracefully = true;
        } else {
            if (m_bufferStart > 0) {
                m_buffer.erase(0, m_bufferStart);
                m_bufferStart = 0;
            }
            const std::size_t old = m_buffer.size();
            m_buffer.append(m_recvChunk.data(), static_cast<std::size_t>(count));
            if (ASCIIFilter) {
                for (std::size_t i = old; i < m_buffer.size(); ++i) {
                    m_buffer[i] = static_cast<char>(m_buffer[i] & 0x7F);
                }
            }
        }
        CheckClosed(raiseIfClosed, false);
    } while (count == 0 && m_ioHandler && m_ioHandler->Connected());
    return count;
}

void TIdTCPConnection::Consume(std::size_t count) {
    m_bufferStart += count;
    if (m_bufferStart == m_buffer.size()) {
        m_buffer.clear();
        m_bufferStart = 0;
    }
}

std::string TIdTCPConnection::ReadLine(const std::string& terminator, int timeoutMs, int maxLength) {
    const std::string term = terminator.empty() ? std::string("\n") : terminator;
    const std::size_t maxLen = static_cast<std::size_t>(maxLength == -1 ? std::max(MaxLineLength, 0) : maxLength);
    const bool lfTerm = term == "\n";
    m_readLnTimedOut = false;
    std::size_t searchFrom = 0; // relative to the unconsumed part; scanned bytes are not rescanned
    for (;;) {
        const std::size_t pos = m_buffer.find(term, m_bufferStart + searchFrom);
        if (pos != std::string::npos) {
            std::size_t length = pos - m_bufferStart;
            const bool cr = lfTerm && length > 0 && m_buffer[pos - 1] == '\r';
            if (maxLen != 0 && length - (cr ? 1 : 0) > maxLen) {
                if (MaxLineAction == maException) {
                    throw EIdReadLnMaxLineLengthExceeded();
                }
                std::string part = m_buffer.substr(m_bufferStart, maxLen);
                Consume(maxLen);
                return part;
            }
            std::string line = m_buffer.substr(m_bufferStart, length - (cr ? 1 : 0));
            Consume(length + term.size());
            return line;
        }
        const std::size_t size = InputBufferSize();
        // A CR that may precede the LF still to come does not count against the limit.
        const bool pendingCr = lfTerm && size == maxLen + 1 && m_buffer.back() == '\r';
        if (maxLen != 0 && size > maxLen && !pendingCr) {
            if (MaxLineAction == maException) {
                throw EIdReadLnMaxLineLengthExceeded();
            }
            std::string part = m_buffer.substr(m_bufferStart, maxLen);
            Consume(maxLen);
            return part;
        }
        searchFrom = size >= term.size() ? size - term.size() + 1 : 0;
        CheckClosed(true, true);
        if (ReceiveMore(true, timeoutMs, timeoutMs == -1) < 0) {
            m_readLnTimedOut = true;
            return {};
        }
    }
}

std::string TIdTCPConnection::ReadReplyLine(std::size_t& replyBytes, int timeoutMs) {
    std::string line = ReadLine("\n", timeoutMs);
    replyBytes += line.size() + 2;
    if (replyBytes > kMaxReplyBytes) {
        CloseSocket(); // the rest of the reply would be taken for the next one
        throw EIdReadLnMaxLineLengthExceeded();
    }
    return line;
}

void TIdTCPConnection::ReadReply() {
    DeadlineScope deadline(*this, ReadTimeout);
    std::size_t replyBytes = 0;
    std::string first;
    for (int attempt = 0; attempt < INT_MAX && first.empty(); ++attempt) {
        first = std::string(TrimControls(ReadReplyLine(replyBytes)));
    }
    std::vector<std::string> lines{first};
    if (first.size() > 3 && first[3] == '-') {
        const std::string prefix = first.substr(0, 3) + " ";
        for (;;) {
            std::string line(TrimControls(ReadReplyLine(replyBytes)));
            if (line.empty()) {
                continue;
            }
            if (lines.size() >= kMaxReplyLines) {
                CloseSocket();
                throw EIdException("Reply too long.");
            }
            lines.push_back(line);
            if (line.size() < 4 || StartsWithNoCase(line, prefix)) {
                break;
            }
        }
    }
    m_lastCmdResult.ParseLines(lines);
}

int TIdTCPConnection::GetResponse() {
    ReadReply();
    return m_lastCmdResult.NumericCode();
}

int TIdTCPConnection::CheckReply(int code, const std::vector<int>& allowed) {
    if (!allowed.empty() && std::find(allowed.begin(), allowed.end(), code) == allowed.end()) {
        throw EIdProtocolReplyError(code, m_lastCmdResult.TextWithCrLf());
    }
    return code;
}

int TIdTCPConnection::SendCommand(const std::string& text, const std::vector<int>& allowed) {
    WriteLine(text);
    return CheckReply(GetResponse(), allowed);
}

void TIdTCPConnection::WriteText(const std::string& bytes) {
    if (bytes.empty()) {
        return;
    }
    CheckClosed(true, true);
    if (!m_ioHandler || !m_ioHandler->Connected()) {
        throw EIdNotConnected();
    }
    std::size_t done = 0;
    while (done < bytes.size()) {
        const std::size_t chunk = std::min(bytes.size() - done, static_cast<std::size_t>(std::max(SendBufferSize, 1)));
        TIdIOHandlerSocket::IoResult r;
        try {
            r = m_ioHandler->Send(bytes.data() + done, chunk, ReadTimeout > 0 ? ReadTimeout : -1);
        } catch (const EIdException&) {
            CloseSocket();
            throw;
        }
        if (r.timedOut) {
            CloseSocket();
            TIdStack::RaiseSocketError(kWSAETIMEDOUT);
        }
        if (r.error != 0) {
            if (r.error == 10058 || r.error == 10053 || r.error == 10054) {
                CloseSocket();
            }
            TIdStack::RaiseSocketError(r.error);
        }
        if (r.bytes == 0) {
            m_closedGracefully = true;
        }
        CheckClosed(true, false);
        done += static_cast<std::size_t>(r.bytes);
    }
}

std::string TIdTCPConnection::ReadBytes(std::size_t maxCount, int timeoutMs) {
    if (InputBufferSize() == 0) {
        CheckClosed(false, false);
        if (m_aborted) {
            throw EIdClosedSocket();
        }
        ReceiveMore(false, timeoutMs, true);
    }
    const std::size_t count = std::min(maxCount, InputBufferSize());
    std::string bytes = m_buffer.substr(m_bufferStart, count);
    Consume(count);
    return bytes;
}

bool TIdTCPConnection::DrainUntilLine(const std::string& endLine, int timeoutMs) {
    DeadlineScope deadline(*this, timeoutMs);
    bool inLongLine = false; // the current line has been dropped in pieces; it is not endLine
    try {
        for (;;) {
            const std::size_t lf = m_buffer.find('\n', m_bufferStart);
            if (lf != std::string::npos) {
                const std::size_t length = lf - m_bufferStart;
                const bool cr = length > 0 && m_buffer[lf - 1] == '\r';
                const bool match = !inLongLine &&
                                   m_buffer.compare(m_bufferStart, length - (cr ? 1 : 0), endLine) == 0 &&
                                   length - (cr ? 1 : 0) == endLine.size();
                Consume(length + 1);
                inLongLine = false;
                if (match) {
                    return true;
                }
                continue;
            }
            if (InputBufferSize() > endLine.size() + 1) {
                inLongLine = true;
                Consume(InputBufferSize());
            }
            CheckClosed(true, true);
            ReceiveMore(true, -1, true);
        }
    } catch (const EIdException&) {
        CloseSocket();
        return false;
    }
}

} // namespace qm
