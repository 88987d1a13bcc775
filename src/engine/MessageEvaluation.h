#pragma once

#include "engine/CheckOptions.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace qm {

class TIdMessage;

// The decisions about one fetched message. All matching is whole-value wildcard matching
// (TMask); an invalid mask throws EMaskException when it is reached, and entries are tried in
// order, so an earlier match decides before a later invalid entry is looked at.

// The anti-spam lists, in the order they are applied.
enum class SpamList { Sender, Subject };

// The entry that made a message spam, so a deletion can name its reason.
struct SpamMatch {
    SpamList list = SpamList::Sender;
    std::size_t index = 0; // position of the entry in its list
    std::string entry;     // the entry's text as the list holds it
};

// The first entry of an enabled anti-spam list that the message matches: the sender list first
// (against From.Address), then the subject list (against the decoded subject); nullopt for none.
std::optional<SpamMatch> FindSpamMatch(const TIdMessage& message, const CheckOptions& options);

// Whether FindSpamMatch finds an entry.
bool IsSpam(const TIdMessage& message, const CheckOptions& options);
// Whether an anti-spam list is on and holds a mask: without one no message can be spam.
bool CanFindSpam(const CheckOptions& options);

// Whether the message counts as news: attachments (when that condition is on), sender masks
// (when on) and subject masks (when on) must all agree. Updates the message's part counts.
// Both mask tests run whenever their condition is on, sender first.
bool MeetsNoticeConditions(TIdMessage& message, const CheckOptions& options);

// Whether the address matches one of the sender condition masks (false for none).
bool SenderMatches(std::string_view address, const CheckOptions& options);

// Whether the decoded subject matches one of the subject condition masks (false for none).
bool SubjectMatches(std::string_view subject, const CheckOptions& options);

} // namespace qm
