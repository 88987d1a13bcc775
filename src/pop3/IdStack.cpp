#include "pop3/IdStack.h"

#include "text/AsciiText.h"

#include "pop3/IdExceptions.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <memory>

namespace qm {

namespace {

std::mutex g_stackMutex;
int g_instanceCount = 0;
TIdStack* g_stack = nullptr;

struct ErrorText {
    int number;
    const char* text;
};

constexpr ErrorText kErrorTexts[] = {
    {10004, "Interrupted system call."},
    {10009, "Bad file number."},
    {10013, "Access denied."},
    {10014, "Bad address."},
    {10022, "Invalid argument."},
    {10024, "Too many open files."},
    {10035, "Operation would block. "},
    {10036, "Operation now in progress."},
    {10037, "Operation already in progress."},
    {10038, "Socket operation on non-socket."},
    {10039, "Destination address required."},
    {10040, "Message too long."},
    {10041, "Protocol wrong type for socket."},
    {10042, "Bad protocol option."},
    {10043, "Protocol not supported."},
    {10044, "Socket type not supported."},
    {10045, "Operation not supported on socket."},
    {10046, "Protocol family not supported."},
    {10047, "Address family not supported by protocol family."},
    {10048, "Address already in use."},
    {10049, "Cannot assign requested address."},
    {10050, "Network is down."},
    {10051, "Network is unreachable."},
    {10052, "Net dropped connection or reset."},
    {10053, "Software caused connection abort."},
    {10054, "Connection reset by peer."},
    {10055, "No buffer space available."},
    {10056, "Socket is already connected."},
    {10057, "Socket is not connected."},
    {10058, "Cannot send or receive after socket is closed."},
    {10059, "Too many references, cannot splice."},
    {10060, "Connection timed out."},
    {10061, "Connection refused."},
    {10062, "Too many levels of symbolic links."},
    {10063, "File name too long."},
    {10064, "Host is down."},
    {10065, "No route to host."},
    {10066, "Directory not empty"},
    {11001, "Host not found."},
};

struct ErrnoMap {
    int err;
    int number;
};

constexpr ErrnoMap kErrnoMap[] = {
    {EINTR, 10004},           {EBADF, 10009},           {EACCES, 10013},        {EPERM, 10013},
    {EFAULT, 10014},          {EINVAL, 10022},          {EMFILE, 10024},        {ENFILE, 10024},
    {EWOULDBLOCK, 10035},     {EINPROGRESS, 10036},     {EALREADY, 10037},      {ENOTSOCK, 10038},
    {EDESTADDRREQ, 10039},    {EMSGSIZE, 10040},        {EPROTOTYPE, 10041},    {ENOPROTOOPT, 10042},
    {EPROTONOSUPPORT, 10043}, {ESOCKTNOSUPPORT, 10044}, {EOPNOTSUPP, 10045},    {EPFNOSUPPORT, 10046},
    {EAFNOSUPPORT, 10047},    {EADDRINUSE, 10048},      {EADDRNOTAVAIL, 10049}, {ENETDOWN, 10050},
    {ENETUNREACH, 10051},     {ENETRESET, 10052},       {ECONNABORTED, 10053},  {ECONNRESET, 10054},
    {ENOBUFS, 10055},         {ENOMEM, 10055},          {EISCONN, 10056},       {ENOTCONN, 10057},
    {ESHUTDOWN, 10058},       {EPIPE, 10058},           {ETOOMANYREFS, 10059},  {ETIMEDOUT, 10060},
    {ECONNREFUSED, 10061},    {ELOOP, 10062},           {ENAMETOOLONG, 10063},  {EHOSTDOWN, 10064},
    {EHOSTUNREACH, 10065},    {ENOTEMPTY, 10066},
};

} // namespace

TIdStack* TIdStack::Instance() {
    std::lock_guard lock(g_stackMutex);
    return g_stack;
}

std::string TIdStack::SocketErrorText(int error) {
    for (const auto& e : kErrorTexts) {
        if (e.number == error) {
            return e.text;
        }
    }
    return {};
}

std::string TIdStack::SocketErrorMessage(int error) {
    return "Socket Error # " + std::to_string(error) + "\r\n" + SocketErrorText(error);
}

int TIdStack::TranslateErrno(int err) {
    for (const auto& m : kErrnoMap) {
        if (m.err == err) {
            return m.number;
        }
    }
    return err;
}

int TIdStack::TranslateResolverError(int gaiError, int err) {
    switch (gaiError) {
    case EAI_AGAIN:
        return kWSATRY_AGAIN;
    case EAI_FAIL:
        return kWSANO_RECOVERY;
    case EAI_MEMORY:
        return 10055;
    case EAI_SYSTEM:
        return TranslateErrno(err);
    default:
        return kWSAHOST_NOT_FOUND;
    }
}

void TIdStack::RaiseErrno(int err) {
    const int number = TranslateErrno(err);
    if (number == err) {
        throw EIdSocketError(err, "Socket Error # " + std::to_string(err) + "\r\n" + std::strerror(err));
    }
    RaiseSocketError(number);
}

void TIdStack::RaiseSocketError(int error) {
    throw EIdSocketError(error, SocketErrorMessage(error));
}

bool TIdStack::IsDottedAddress(const std::string& host) {
    int parts = 0;
    std::size_t pos = 0;
    for (;;) {
        const std::size_t dot = host.find('.', pos);
        const std::string part = host.substr(pos, dot == std::string::npos ? std::string::npos : dot - pos);
        // At most three digits keep the value small; leading zeros are read as decimal.
        if (part.empty() || part.size() > 3 || part.find_first_not_of("0123456789") != std::string::npos ||
            std::stoi(part) > 255) {
            return false;
        }
        ++parts;
        if (dot == std::string::npos) {
            break;
        }
        pos = dot + 1;
    }
    return parts == 4;
}

std::uint32_t TIdStack::ToInAddr(const std::string& dotted) {
    if (!IsDottedAddress(dotted)) {
        RaiseSocketError(10022);
    }
    std::uint32_t value = 0;
    std::size_t pos = 0;
    for (int i = 0; i < 4; ++i) {
        const std::size_t dot = dotted.find('.', pos);
        value = (value << 8) | static_cast<std::uint32_t>(std::stoi(dotted.substr(pos, dot - pos)));
        pos = dot + 1;
    }
    return htonl(value);
}

std::string TIdStack::FromInAddr(std::uint32_t networkOrder) {
    const std::uint32_t v = ntohl(networkOrder);
    return std::to_string(v >> 24) + "." + std::to_string((v >> 16) & 0xFF) + "." + std::to_string((v >> 8) & 0xFF) +
           "." + std::to_string(v & 0xFF);
}

std::string TIdStack::ResolveHost(const std::string& host) const {
    // ASCII only: the process locale must not decide what "localhost" is.
    if (EqualNoCase(host, "LOCALHOST")) {
        return "127.0.0.1";
    }
    if (IsDottedAddress(host)) {
        return host;
    }
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* result = nullptr;
    const int rc = ::getaddrinfo(host.c_str(), nullptr, &hints, &result);
    if (rc != 0 || result == nullptr) {
        const int err = errno;
        if (result != nullptr) {
            ::freeaddrinfo(result);
        }
        RaiseSocketError(TranslateResolverError(rc == 0 ? EAI_NONAME : rc, err));
    }
    std::unique_ptr<addrinfo, decltype(&::freeaddrinfo)> guard(result, &::freeaddrinfo);
    const auto* in = reinterpret_cast<const sockaddr_in*>(result->ai_addr);
    return FromInAddr(in->sin_addr.s_addr);
}

TIdComponent::TIdComponent() {
    std::lock_guard lock(g_stackMutex);
    if (g_instanceCount++ == 0) {
        g_stack = new TIdStack();
        // A write to a socket the peer has closed must become an error, not end the process;
        // TLS writes go through write(), where MSG_NOSIGNAL cannot be given.
        struct sigaction current {};
        if (::sigaction(SIGPIPE, nullptr, &current) == 0 && current.sa_handler == SIG_DFL) {
            std::signal(SIGPIPE, SIG_IGN);
        }
    }
}

TIdComponent::~TIdComponent() {
    std::lock_guard lock(g_stackMutex);
    if (--g_instanceCount == 0) {
        delete g_stack;
        g_stack = nullptr;
    }
}

int TIdComponent::InstanceCount() {
    std::lock_guard lock(g_stackMutex);
    return g_instanceCount;
}

} // namespace qm
