#pragma once

// The process-wide socket layer over POSIX sockets: host resolution, address conversion and the
// socket error texts, which keep the Windows Sockets numbers so every message reads the same on
// every platform ("Socket Error # 10061" CR LF "Connection refused.").

#include <cstdint>
#include <mutex>
#include <string>

namespace qm {

// Socket error numbers used by the connection layer.
enum : int {
    kWSAEINTR = 10004,
    kWSAEBADF = 10009,
    kWSAENOTSOCK = 10038,
    kWSAECONNABORTED = 10053,
    kWSAECONNRESET = 10054,
    kWSAESHUTDOWN = 10058,
    kWSAETIMEDOUT = 10060,
    kWSAECONNREFUSED = 10061,
    kWSAHOST_NOT_FOUND = 11001,
    kWSATRY_AGAIN = 11002,
    kWSANO_RECOVERY = 11003,
};

class TIdStack {
public:
    // The stack exists while at least one TIdComponent exists; null otherwise.
    static TIdStack* Instance();

    // The text for a socket error number; empty for numbers the table does not know.
    static std::string SocketErrorText(int error);
    // "Socket Error # <n>" CR LF <text>.
    static std::string SocketErrorMessage(int error);
    // The socket error number for an errno value; errno itself when it has no counterpart.
    static int TranslateErrno(int err);
    // The socket error number for a getaddrinfo() failure.
    static int TranslateResolverError(int gaiError, int err);

    // Throws EIdSocketError for an errno value. A value with no socket error number gets the
    // system's own text so the message still says something.
    [[noreturn]] static void RaiseErrno(int err);
    // Throws EIdSocketError for a socket error number.
    [[noreturn]] static void RaiseSocketError(int error);

    // True for four dot-separated decimal numbers 0..255.
    static bool IsDottedAddress(const std::string& host);
    // "LOCALHOST" in any case -> "127.0.0.1"; a dotted address as it is; anything else is looked
    // up (IPv4) and the first answer is used. Throws EIdSocketError (usually 11001).
    std::string ResolveHost(const std::string& host) const;
    // Dotted text -> address in network byte order. Throws EIdSocketError 10022 when invalid.
    static std::uint32_t ToInAddr(const std::string& dotted);
    static std::string FromInAddr(std::uint32_t networkOrder);

private:
    friend class TIdComponent;
    TIdStack() = default;
};

// Base of every network component. The first one created makes the process-wide stack, the last
// one destroyed frees it; creation and destruction may run on any thread.
class TIdComponent {
public:
    TIdComponent();
    virtual ~TIdComponent();
    TIdComponent(const TIdComponent&) = delete;
    TIdComponent& operator=(const TIdComponent&) = delete;

    // Number of live components (for tests of the stack's life cycle).
    static int InstanceCount();
};

} // namespace qm
