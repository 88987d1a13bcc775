#include "engine/ImapKnownUids.h"

#include "engine/SessionContext.h"

#include <algorithm>

namespace qm {

ImapKnownUids::ImapKnownUids(SessionContext& context, const std::string& folder, std::uint32_t uidValidity,
                             const std::vector<std::uint32_t>& unseen)
    : m_context(context), m_enabled(context.Known().Enabled()) {
    if (!m_enabled) {
        m_toFetch = unseen;
        return;
    }
    // UIDs name messages only while UIDVALIDITY stays (RFC 3501, 2.3.1.1).
    m_prefix = folder + '\n' + std::to_string(uidValidity) + '\n';
    std::vector<std::string> keys;
    for (const std::uint32_t uid : unseen) {
        keys.push_back(Key(uid));
    }
    m_context.Known().Present(keys);
    for (const std::uint32_t uid : unseen) {
        (m_context.Known().Reusable(Key(uid)) ? m_settled : m_toFetch).push_back(uid);
    }
    std::sort(m_settled.begin(), m_settled.end());
}

std::string ImapKnownUids::Key(std::uint32_t uid) const {
    return m_enabled ? m_prefix + std::to_string(uid) : std::string();
}

void ImapKnownUids::SettleBefore(std::uint32_t uid) {
    while (m_next < m_settled.size() && m_settled[m_next] < uid) {
        Settle();
    }
}

void ImapKnownUids::SettleRest() {
    while (m_next < m_settled.size()) {
        Settle();
    }
}

void ImapKnownUids::Settle() {
    m_context.SettleKnown(Key(m_settled[m_next++]));
    m_context.HandOverIfFull();
}

} // namespace qm
