#pragma once

#include "engine/CheckOptions.h"

#include <string_view>

namespace qm {

class TIdMessage;

// The decisions about one fetched message. All matching is whole-value wildcard matching
// (TMask); an invalid mask throws EMaskException when it is reached, and entries are tried in
// order, so an earlier match decides before a later invalid entry is looked at.

// Whether the message matches an entry of an enabled anti-spam list: the sender list first
// (against From.Address), then the subject list (against the decoded subject).
bool IsSpam(const TIdMessage& message, const CheckOptions& options);

// Whether the message counts as news: attachments (when that condition is on), sender masks
// (when on) and subject masks (when on) must all agree. Updates the message's part counts.
// Both mask tests run whenever their condition is on, sender first.
bool MeetsNoticeConditions(TIdMessage& message, const CheckOptions& options);

// Whether the address matches one of the sender condition masks (false for none).
bool SenderMatches(std::string_view address, const CheckOptions& options);

// Whether the decoded subject matches one of the subject condition masks (false for none).
bool SubjectMatches(std::string_view subject, const CheckOptions& options);

} // namespace qm
