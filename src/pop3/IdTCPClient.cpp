#include "pop3/IdTCPClient.h"

#include "pop3/IdExceptions.h"

namespace qm {

void TIdTCPClient::Connect(int timeoutMs) {
    if (m_ioHandler && m_ioHandler->Connected()) {
        throw EIdAlreadyConnected();
    }
    // A port beyond 16 bits would otherwise be cut down to some other port.
    if (Port < 0 || Port > 65535 || BoundPort < 0 || BoundPort > 65535) {
        TIdStack::RaiseSocketError(10022);
    }
    OpenHandler();
    try {
        m_ioHandler->PrepareSocket(BoundIP, BoundPort);
        const std::string ip = TIdStack::Instance()->ResolveHost(Host);
        m_ioHandler->ConnectTo(ip, Port, timeoutMs);
    } catch (...) {
        m_ioHandler->Close();
        throw;
    }
}

} // namespace qm
