#include "ui/ProviderPresets.h"

#include "pop3/IdPOP3.h"

namespace qm {

namespace {

// Microsoft accepts only OAuth2 for POP and IMAP; the others still take an app password.
constexpr ProviderPreset kPresets[] = {
    {"Gmail", "pop.gmail.com", "imap.gmail.com", TIdPOP3::kAuthUserPass},
    {"Outlook.com / Microsoft 365", "outlook.office365.com", "outlook.office365.com", TIdPOP3::kAuthXOAuth2},
    {"Yahoo", "pop.mail.yahoo.com", "imap.mail.yahoo.com", TIdPOP3::kAuthUserPass},
    {"Yandex", "pop.yandex.com", "imap.yandex.com", TIdPOP3::kAuthUserPass},
    {"Mail.ru", "pop.mail.ru", "imap.mail.ru", TIdPOP3::kAuthUserPass},
    {"GMX", "pop.gmx.net", "imap.gmx.net", TIdPOP3::kAuthUserPass},
    {"web.de", "pop3.web.de", "imap.web.de", TIdPOP3::kAuthUserPass},
    {"Fastmail", "pop.fastmail.com", "imap.fastmail.com", TIdPOP3::kAuthUserPass},
};

} // namespace

std::span<const ProviderPreset> ProviderPresets() {
    return kPresets;
}

int StandardPort(AccountProtocol protocol, bool tlsOnConnect) {
    if (protocol == AccountProtocol::Imap)
        return tlsOnConnect ? 993 : 143;
    return tlsOnConnect ? 995 : 110;
}

int PortForSecurity(int port, AccountProtocol protocol, AccountSecurity chosen) {
    // STARTTLS runs on either port, so it moves none.
    if (chosen == AccountSecurity::TlsOnConnect && port == StandardPort(protocol, false))
        return StandardPort(protocol, true);
    if (chosen == AccountSecurity::None && port == StandardPort(protocol, true))
        return StandardPort(protocol, false);
    return port;
}

int PortForProtocol(int port, AccountProtocol from, AccountProtocol to) {
    for (const bool tls : {false, true})
        if (port == StandardPort(from, tls))
            return StandardPort(to, tls);
    return port;
}

} // namespace qm
