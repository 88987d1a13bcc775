// A header block as TOP sends it, from hostile input: encoded words in every charset the reader
// knows, folded lines, and the decoding of the subject into each kind of code page and as shown.
#include "FuzzLines.h"
#include "pop3/Charset.h"
#include "pop3/IdExceptions.h"
#include "pop3/IdMessage.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    qm::TIdMessage msg;
    msg.SetLocalOffsetSource([] { return -300; });
    qm::fuzz::BufferLineSource source(input);
    try {
        (void)msg.ReadHeaderBlock(source, ".");
    } catch (const qm::EIdException&) {
        // A malformed header fails with one of the reader's own exceptions; nothing else may escape.
    }
    static constexpr int kCodePages[] = {1250, 1251, 1252, 1253, 1255, 1256, 874, 932, 936, 949, 950};
    for (const int codePage : kCodePages) {
        const std::string decoded = qm::DecodeSubject(msg.Subject, codePage);
        (void)qm::CodePageToUtf8(decoded, codePage);
        (void)qm::ShownSubject(msg.HeaderValue("Subject"), codePage);
    }
    (void)qm::DecodeSubject(input.substr(0, 4096), 932);
    (void)qm::ShownSubject(input.substr(0, 4096), 1251);
    return 0;
}
