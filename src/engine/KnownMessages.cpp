#include "engine/KnownMessages.h"

#include "pop3/HexDigest.h"
#include "settings/SettingsFile.h"

namespace qm {

namespace {

// Every part with its length first, so no two different settings give the same text.
void AddPart(std::string& text, std::string_view part) {
    text += std::to_string(part.size());
    text += ':';
    text += part;
}

void AddList(std::string& text, bool on, const MaskList& masks) {
    AddPart(text, on ? "on" : "off");
    AddPart(text, std::to_string(masks.Values().size()));
    for (const std::string& mask : masks.Values()) {
        AddPart(text, mask);
    }
}

} // namespace

std::string MailAccountKey(const AccountRow& row) {
    std::string key;
    AddPart(key, row.Protocol.empty() ? "0" : row.Protocol);
    AddPart(key, row.Caption);
    AddPart(key, row.Port);
    AddPart(key, row.AccountName);
    return key;
}

std::string VerdictFingerprint(const CheckOptions& options) {
    std::string text = "verdicts 1";
    AddPart(text, std::to_string(options.codePage));
    AddPart(text, options.inform ? "whole" : "header");
    AddList(text, options.senderFilterEnabled, options.senderFilter);
    AddList(text, options.subjectFilterEnabled, options.subjectFilter);
    AddList(text, options.useFrom, options.fromMasks);
    AddList(text, options.useSubject, options.subjectMasks);
    AddPart(text, options.attach ? "attachments" : "any");
    return HexDigest(text, DigestKind::Sha256);
}

KnownMessages::KnownMessages(const CheckOptions& options, const AccountRow& row)
    : m_enabled(options.mailState != nullptr),
      m_newOnly(options.newOnly),
      m_mustLogNews(options.inform && options.writeToFile),
      m_accountKey(MailAccountKey(row)) {
    if (!m_enabled) {
        return;
    }
    m_fingerprint = VerdictFingerprint(options);
    m_now.fingerprint = m_fingerprint;
    if (const auto it = options.mailState->accounts.find(m_accountKey); it != options.mailState->accounts.end()) {
        m_previous = &it->second;
    }
}

void KnownMessages::Present(const std::vector<std::string>& keys) {
    for (const std::string& key : keys) {
        KnownMessage& now = m_now.messages[key];
        if (m_previous == nullptr) {
            continue;
        }
        if (const auto it = m_previous->messages.find(key); it != m_previous->messages.end()) {
            now = it->second;
            if (m_previous->fingerprint != m_fingerprint) {
                now = KnownMessage{it->second.looked, false, false, {}}; // judged under other lists
            }
        }
    }
}

std::optional<KnownMessage> KnownMessages::Reusable(const std::string& key) const {
    if (!m_enabled) {
        return std::nullopt;
    }
    const auto it = m_now.messages.find(key);
    if (it == m_now.messages.end() || !it->second.judged) {
        return std::nullopt;
    }
    const bool news = it->second.noticed && !Looked(key);
    if (news && m_mustLogNews) {
        return std::nullopt; // the message log takes it whole, read anew
    }
    return it->second;
}

bool KnownMessages::Looked(const std::string& key) const {
    if (!m_enabled || !m_newOnly) {
        return false;
    }
    const auto it = m_now.messages.find(key);
    return it != m_now.messages.end() && it->second.looked;
}

void KnownMessages::Judged(const std::string& key, bool noticed, const std::string& address) {
    if (!m_enabled) {
        return;
    }
    KnownMessage& now = m_now.messages[key];
    now.judged = true;
    now.noticed = noticed;
    now.address = address;
}

AccountMailState KnownMessages::Result(bool complete) const {
    AccountMailState result = m_now;
    if (complete || m_previous == nullptr) {
        return result;
    }
    for (const auto& [key, message] : m_previous->messages) {
        const bool valid = m_previous->fingerprint == m_fingerprint;
        result.messages.emplace(key, valid ? message : KnownMessage{message.looked, false, false, {}});
    }
    return result;
}

} // namespace qm
