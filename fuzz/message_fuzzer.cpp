// Feeds arbitrary bytes through the message reader as a server would send them: header block,
// then body, line by line; also through the subject and charset decoding.

#include "pop3/Charset.h"
#include "pop3/IdExceptions.h"
#include "pop3/IdMessage.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace {

class BufferLineSource : public qm::TIdLineSource {
public:
    explicit BufferLineSource(std::string_view data) : m_data(data) {}
    std::string ReadLine() override {
        if (m_pos >= m_data.size()) {
            throw qm::EIdConnClosedGracefully();
        }
        const std::size_t lf = m_data.find('\n', m_pos);
        const std::size_t end = lf == std::string_view::npos ? m_data.size() : lf;
        std::string line(m_data.substr(m_pos, end - m_pos));
        m_pos = end + 1;
        return line;
    }

private:
    std::string_view m_data;
    std::size_t m_pos = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    qm::TIdMessage msg;
    msg.SetLocalOffsetSource([] { return 60; });
    BufferLineSource source(input);
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
