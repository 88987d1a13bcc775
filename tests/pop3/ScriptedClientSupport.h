#pragma once

// The client and login every scripted conversation with the loopback fake server starts from.

#include "FakePop3Server.h"
#include "pop3/IdPOP3.h"

#include <memory>
#include <string>

namespace qm::test {

// A client for the server logging in as joe, not connected yet.
inline std::unique_ptr<TIdPOP3> clientFor(const FakePop3Server& server, const std::string& password = "secret") {
    auto client = std::make_unique<TIdPOP3>();
    client->Host = "127.0.0.1";
    client->Port = server.Port();
    client->Username = "joe";
    client->Password = password;
    return client;
}

// Greeting and a successful USER/PASS login as joe.
inline FakePop3Server& loginScript(FakePop3Server& server) {
    return server.SendLine("+OK POP3 ready").Reply("USER joe", "+OK").Reply("PASS secret", "+OK logged in");
}

} // namespace qm::test
