// Feeds arbitrary bytes through the message reader as a server would send them: header block,
// then body, line by line; also through the subject and charset decoding.

#include "FuzzLines.h"
#include "pop3/Charset.h"
#include "pop3/IdExceptions.h"
#include "pop3/IdMessage.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    qm::TIdMessage msg;
    msg.SetLocalOffsetSource([] { return 60; });
    qm::fuzz::BufferLineSource source(input);
    try {
        if (msg.ReadHeaderBlock(source, "") != ".") {
            msg.ReadMessageBody(source);
        }
    } catch (const qm::EIdException&) {
        // A malformed message fails with one of the reader's own exceptions; nothing else may escape.
    }
    msg.UpdatePartCounts();
    (void)qm::DecodeSubject(msg.Subject, 1251);
    (void)qm::DecodeSubject(input.substr(0, 4096), 1252);
    (void)qm::Utf8ToCodePage(input.substr(0, 4096), 1250);
    (void)qm::ConvertCharset(input.substr(0, 4096), static_cast<int>(size % 29), static_cast<int>((size / 29) % 29));
    return 0;
}
