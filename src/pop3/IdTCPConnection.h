#pragma once

// A blocking, line-oriented TCP connection: an input buffer filled by receives, lines up to LF,
// one-line server replies, reply code checks, and detection of a peer that closed.
//
// Reads wait at most ReadTimeout milliseconds for data (0: no limit). A read that times out
// closes the connection, because the reply it waited for may still arrive and would then be
// taken for the answer to the next command. Abort() may be called from any thread to end a
// blocked connect, read or write at once.

#include "pop3/IdIOHandlerSocket.h"
#include "pop3/IdRFCReply.h"
#include "pop3/IdStack.h"
#include "pop3/LineSource.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace qm {

enum TIdMaxLineAction { maException, maSplit };

class TIdTCPConnection : public TIdComponent, public TIdLineSource {
public:
    TIdTCPConnection();
    ~TIdTCPConnection() override;

    int ReadTimeout = 0; // milliseconds; 0 waits without limit
    int MaxLineLength = 16384;
    TIdMaxLineAction MaxLineAction = maException;
    int RecvBufferSize = 32768;
    int SendBufferSize = 32768;
    bool ASCIIFilter = false;

    bool ClosedGracefully() const { return m_closedGracefully; }
    // Whether the last ReadLine with an explicit time limit ended without a line.
    bool ReadLnTimedOut() const { return m_readLnTimedOut; }
    // Received bytes not consumed yet.
    std::size_t InputBufferSize() const { return m_buffer.size() - m_bufferStart; }
    TIdRFCReply& LastCmdResult() { return m_lastCmdResult; }
    TIdRFCReply& Greeting() { return m_greeting; }
    TIdIOHandlerSocket* IOHandler() { return m_ioHandler.get(); }

    // Half-closes and closes the socket, frees an owned handler. Safe when
    // not connected.
    virtual void Disconnect();
    // Marks the connection closed and closes the socket (used on error paths).
    void CloseSocket();
    // True while the socket is open and the peer has not been seen closing it.
    bool IsConnected();
    // Ends a blocked or future connect, read or write of this connection with EIdClosedSocket.
    // Thread-safe; the owner thread still calls Disconnect afterwards.
    void Abort();
    bool Aborted() const { return m_aborted.load(); }

    // Sends every byte (nothing for an empty string). Throws EIdNotConnected, EIdSocketError,
    // EIdClosedSocket, EIdTLSError.
    void WriteText(const std::string& bytes);
    void WriteLine(const std::string& text) { WriteText(text + "\r\n"); }

    // One line without its terminator (and without the CR before an LF terminator).
    // timeoutMs -1: ReadTimeout, raising EIdReadTimeout; another value returns an empty line and
    // sets ReadLnTimedOut when nothing complete arrives in time. maxLength -1: MaxLineLength.
    // Throws EIdReadLnMaxLineLengthExceeded, EIdConnClosedGracefully, EIdReadTimeout, ...
    std::string ReadLine(const std::string& terminator, int timeoutMs = -1, int maxLength = -1);
    std::string ReadLine() override { return ReadLine("\n"); }

    // Up to maxCount received bytes as they came, waiting for more (see ReadLine for timeoutMs)
    // only when none are buffered. Empty once the peer has closed and everything was taken.
    // Throws EIdReadTimeout, EIdClosedSocket (aborted), EIdSocketError.
    std::string ReadBytes(std::size_t maxCount, int timeoutMs = -1);

    // Reads one reply into LastCmdResult. The whole reply must arrive within ReadTimeout.
    void ReadReply();
    // The reply reader of the protocol spoken; returns the reply's numeric code.
    virtual int GetResponse();
    // Raises EIdProtocolReplyError (the reply text) unless code is allowed; an empty list
    // allows everything. Returns the code.
    int CheckReply(int code, const std::vector<int>& allowed);
    // WriteLine, GetResponse, CheckReply.
    int SendCommand(const std::string& text, const std::vector<int>& allowed);

    // Reads and drops lines up to and including one equal to endLine, however long the lines
    // are, within timeoutMs (negative: no limit). Returns false, with the connection closed,
    // when that line does not come in time or the connection ends first.
    bool DrainUntilLine(const std::string& endLine, int timeoutMs);

protected:
    // Receives more bytes into the input buffer (see ReadLine for timeoutMs). Returns the byte
    // count, 0 when the peer closed, -1 on a time-out without raising.
    long ReceiveMore(bool raiseIfClosed, int timeoutMs, bool raiseOnTimeout);
    void CheckClosed(bool raiseIfClosed, bool ignoreBuffer);
    // Makes a fresh handler when there is none; discards buffered bytes and the closed mark.
    void OpenHandler();
    void StartTls(const std::string& host, int timeoutMs);
    // One line of a reply whose lines so far took replyBytes, which it adds to. Past
    // kMaxReplyBytes the connection closes and EIdReadLnMaxLineLengthExceeded is raised.
    std::string ReadReplyLine(std::size_t& replyBytes, int timeoutMs = -1);

    // While alive, every wait of this connection ends by the given moment at the latest.
    class DeadlineScope {
    public:
        DeadlineScope(TIdTCPConnection& connection, int timeoutMs);
        ~DeadlineScope();
        DeadlineScope(const DeadlineScope&) = delete;
        DeadlineScope& operator=(const DeadlineScope&) = delete;

    private:
        TIdTCPConnection& m_connection;
        std::optional<std::chrono::steady_clock::time_point> m_saved;
    };

    std::unique_ptr<TIdIOHandlerSocket> m_ioHandler;
    int m_abortFd = -1;

private:
    int EffectiveTimeout(int timeoutMs) const;
    void Consume(std::size_t count);

    bool m_closedGracefully = false;
    bool m_readLnTimedOut = false;
    std::atomic<bool> m_aborted{false};
    std::string m_buffer;
    std::size_t m_bufferStart = 0;
    std::vector<char> m_recvChunk;
    std::optional<std::chrono::steady_clock::time_point> m_deadline;
    TIdRFCReply m_lastCmdResult;
    TIdRFCReply m_greeting;
};

} // namespace qm
