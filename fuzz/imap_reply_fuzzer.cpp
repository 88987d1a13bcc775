// IMAP replies from hostile input: reading always ends within its bounds, a complete reply reads
// the same without what follows it, and the strings of a reply survive folder-name decoding.
#include "imap/ImapReply.h"
#include "imap/ImapStrings.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    qm::ImapLimits limits;
    limits.maxReplyBytes = 4096;
    limits.maxLiteralBytes = 4096;
    // The replies one after another, as a connection reads them.
    std::size_t at = 0;
    while (at < bytes.size()) {
        const qm::ImapReply reply = qm::ReadImapReply(bytes.substr(at), limits);
        if (reply.state != qm::ImapReply::State::Complete) {
            if (reply.state == qm::ImapReply::State::Incomplete && reply.literalPending > limits.maxLiteralBytes) {
                __builtin_trap();
            }
            break;
        }
        if (reply.consumed == 0 || reply.consumed > bytes.size() - at) {
            __builtin_trap();
        }
        const qm::ImapReply alone = qm::ReadImapReply(bytes.substr(at, reply.consumed), limits);
        if (alone.state != reply.state || alone.consumed != reply.consumed ||
            alone.items.size() != reply.items.size() || alone.text != reply.text || alone.code != reply.code) {
            __builtin_trap();
        }
        for (const qm::ImapItem& item : reply.items) {
            (void)qm::DecodeFolderName(item.text);
            (void)qm::EncodeFolderName(item.text);
        }
        (void)qm::ParseUidSet(reply.code, 1000);
        at += reply.consumed;
    }
    return 0;
}
