#pragma once

// The client side of a line connection: where to connect and the connect operation.

#include "pop3/IdTCPConnection.h"

#include <string>

namespace qm {

class TIdTCPClient : public TIdTCPConnection {
public:
    std::string Host;
    int Port = 0;
    std::string BoundIP; // empty: any local address
    int BoundPort = 0;   // 0: any local port

    // Resolves Host and connects within timeoutMs (0 or -1: no limit). Name resolution is not
    // bounded by the limit. Throws EIdAlreadyConnected, EIdInvalidSocket, EIdCouldNotBindSocket,
    // EIdSocketError (also for a failed lookup, and 10022 for a port outside 0..65535),
    // EIdConnectTimeout, EIdConnectException.
    // On failure the socket is closed again.
    virtual void Connect(int timeoutMs);
};

} // namespace qm
