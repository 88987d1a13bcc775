#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace qm {

class SessionContext;

// The unseen messages of one IMAP folder as earlier checks know them: keyed by folder,
// UIDVALIDITY and UID, split into those settled by their kept verdicts and those to fetch.
// Settled messages take their turn in UID order among the fetched ones, as a fetch of them all
// would have judged them.
class ImapKnownUids {
public:
    ImapKnownUids(SessionContext& context, const std::string& folder, std::uint32_t uidValidity,
                  const std::vector<std::uint32_t>& unseen);

    const std::vector<std::uint32_t>& ToFetch() const { return m_toFetch; }
    // The message's key; empty when nothing is kept.
    std::string Key(std::uint32_t uid) const;
    // Settles the kept messages whose UIDs come before `uid`, or all that are left.
    void SettleBefore(std::uint32_t uid);
    void SettleRest();

private:
    void Settle();

    SessionContext& m_context;
    bool m_enabled = false;
    std::string m_prefix;
    std::vector<std::uint32_t> m_toFetch;
    std::vector<std::uint32_t> m_settled;
    std::size_t m_next = 0;
};

} // namespace qm
