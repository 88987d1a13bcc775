#pragma once

#include <span>

#include "settings/AccountCells.h"

namespace qm {

// Server settings of a common mail service, offered by the account dialog's Provider choice.
// Every preset connects with TLS from the first byte, on the protocol's standard port.
struct ProviderPreset {
    const char* name; // shown as it is, in every language
    const char* popServer;
    const char* imapServer;
    int auth; // TIdPOP3::kAuth*

    const char* server(AccountProtocol protocol) const {
        return protocol == AccountProtocol::Imap ? imapServer : popServer;
    }
};

// The presets in the order the dialog lists them, after "Other".
std::span<const ProviderPreset> ProviderPresets();

// The port a protocol's servers listen on: with TLS from the first byte (995, 993) or without
// (110, 143; STARTTLS uses these too).
int StandardPort(AccountProtocol protocol, bool tlsOnConnect);

// The port the dialog proposes when the user picks another security or protocol: a standard port
// moves to the standard port of the new choice; a port picked on purpose stays.
int PortForSecurity(int port, AccountProtocol protocol, AccountSecurity chosen);
int PortForProtocol(int port, AccountProtocol from, AccountProtocol to);

} // namespace qm
