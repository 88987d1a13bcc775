#pragma once

#include <span>

namespace qm {

// Server settings of a common mail service, offered by the account dialog's Provider choice.
struct ProviderPreset {
    const char* name; // shown as it is, in every language
    const char* server;
    int port;
    int security; // AccountSecurity
    int auth;     // TIdPOP3::kAuth*
};

// The presets in the order the dialog lists them, after "Other".
std::span<const ProviderPreset> ProviderPresets();

} // namespace qm
