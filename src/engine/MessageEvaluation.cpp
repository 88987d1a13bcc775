#include "engine/MessageEvaluation.h"

#include "engine/Mask.h"
#include "pop3/Charset.h"
#include "pop3/IdMessage.h"

#include <string>

namespace qm {

namespace {

bool AnyMatches(std::string_view value, const std::vector<std::string>& masks, int codePage) {
    for (const std::string& mask : masks) {
        if (MatchMask(value, mask, codePage)) {
            return true;
        }
    }
    return false;
}

} // namespace

bool IsSpam(const TIdMessage& message, const CheckOptions& options) {
    if (options.senderFilter.empty() && options.subjectFilter.empty()) {
        return false;
    }
    if (options.senderFilterEnabled && AnyMatches(message.From.Address, options.senderFilter, options.codePage)) {
        return true;
    }
    if (options.subjectFilterEnabled && !options.subjectFilter.empty()) {
        const std::string decoded = DecodeSubject(message.Subject, options.codePage);
        if (AnyMatches(decoded, options.subjectFilter, options.codePage)) {
            return true;
        }
    }
    return false;
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
    return AnyMatches(address, options.fromMasks, options.codePage);
}

bool SubjectMatches(std::string_view subject, const CheckOptions& options) {
    const std::string decoded = DecodeSubject(subject, options.codePage);
    return AnyMatches(decoded, options.subjectMasks, options.codePage);
}

} // namespace qm
