#include "ui/ProviderPresets.h"

#include "pop3/IdPOP3.h"
#include "settings/SettingsFile.h"

namespace qm {

namespace {

constexpr int kTls = static_cast<int>(AccountSecurity::TlsOnConnect);

// Microsoft accepts only OAuth2 for POP; the others still take an app password.
constexpr ProviderPreset kPresets[] = {
    {"Gmail", "pop.gmail.com", 995, kTls, TIdPOP3::kAuthUserPass},
    {"Outlook.com / Microsoft 365", "outlook.office365.com", 995, kTls, TIdPOP3::kAuthXOAuth2},
    {"Yahoo", "pop.mail.yahoo.com", 995, kTls, TIdPOP3::kAuthUserPass},
    {"Yandex", "pop.yandex.com", 995, kTls, TIdPOP3::kAuthUserPass},
    {"Mail.ru", "pop.mail.ru", 995, kTls, TIdPOP3::kAuthUserPass},
    {"GMX", "pop.gmx.net", 995, kTls, TIdPOP3::kAuthUserPass},
    {"web.de", "pop3.web.de", 995, kTls, TIdPOP3::kAuthUserPass},
    {"Fastmail", "pop.fastmail.com", 995, kTls, TIdPOP3::kAuthUserPass},
};

} // namespace

std::span<const ProviderPreset> ProviderPresets() {
    return kPresets;
}

} // namespace qm
