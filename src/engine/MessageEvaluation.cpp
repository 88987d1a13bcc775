#include "engine/MessageEvaluation.h"

#include "engine/Mask.h"
#include "pop3/Charset.h"
#include "pop3/IdMessage.h"

#include <string>

namespace qm {

std::optional<SpamMatch> FindSpamMatch(const TIdMessage& message, const CheckOptions& options) {
    const auto matchIn = [](const MaskList& list, SpamList which, std::string_view value,
                            int codePage) -> std::optional<SpamMatch> {
        const std::optional<std::size_t> index = list.FirstMatch(value, codePage);
        if (!index) {
            return std::nullopt;
        }
        return SpamMatch{which, *index, list.Values()[*index]};
    };
    if (options.senderFilterEnabled && !options.senderFilter.empty()) {
        if (auto match = matchIn(options.senderFilter, SpamList::Sender, message.From.Address, options.codePage)) {
            return match;
        }
    }
    if (options.subjectFilterEnabled && !options.subjectFilter.empty()) {
        const std::string decoded = DecodeSubject(message.Subject, options.codePage);
        return matchIn(options.subjectFilter, SpamList::Subject, decoded, options.codePage);
    }
    return std::nullopt;
}

bool CanFindSpam(const CheckOptions& options) {
    return (options.senderFilterEnabled && !options.senderFilter.empty()) ||
           (options.subjectFilterEnabled && !options.subjectFilter.empty());
}

bool IsSpam(const TIdMessage& message, const CheckOptions& options) {
    return FindSpamMatch(message, options).has_value();
}

bool MeetsNoticeConditions(TIdMessage& message, const CheckOptions& options) {
    message.UpdatePartCounts();
    const bool attachmentsOk = message.AttachmentCount > 0 || !options.attach;
    bool senderOk = true;
    if (options.useFrom) {
        senderOk = SenderMatches(message.From.Address, options);
    }
    bool subjectOk = true;
    if (options.useSubject) {
        subjectOk = SubjectMatches(message.Subject, options);
    }
    return attachmentsOk && senderOk && subjectOk;
}

bool SenderMatches(std::string_view address, const CheckOptions& options) {
    return options.fromMasks.AnyMatches(address, options.codePage);
}

bool SubjectMatches(std::string_view subject, const CheckOptions& options) {
    const std::string decoded = DecodeSubject(subject, options.codePage);
    return options.subjectMasks.AnyMatches(decoded, options.codePage);
}

} // namespace qm
