#include "engine/MessageEvaluation.h"

#include "engine/Mask.h"
#include "pop3/Charset.h"
#include "pop3/IdMessage.h"

#include <string>

namespace qm {

bool IsSpam(const TIdMessage& message, const CheckOptions& options) {
    if (options.senderFilter.empty() && options.subjectFilter.empty()) {
        return false;
    }
    if (options.senderFilterEnabled && options.senderFilter.AnyMatches(message.From.Address, options.codePage)) {
        return true;
    }
    if (options.subjectFilterEnabled && !options.subjectFilter.empty()) {
        const std::string decoded = DecodeSubject(message.Subject, options.codePage);
        if (options.subjectFilter.AnyMatches(decoded, options.codePage)) {
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
    return options.fromMasks.AnyMatches(address, options.codePage);
}

bool SubjectMatches(std::string_view subject, const CheckOptions& options) {
    const std::string decoded = DecodeSubject(subject, options.codePage);
    return options.subjectMasks.AnyMatches(decoded, options.codePage);
}

} // namespace qm
