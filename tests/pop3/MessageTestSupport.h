#pragma once

// Line sources for message tests: from a text or from a fixture file.

#include "TestPaths.h"
#include "pop3/IdExceptions.h"
#include "pop3/IdMessage.h"
#include "pop3/LineSource.h"

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace qm::test {

// Serves the lines of a text split at LF (CR kept, as a connection does); throws when exhausted,
// like a connection closed by the peer.
class TextLineSource : public TIdLineSource {
public:
    explicit TextLineSource(std::string text) {
        std::size_t start = 0;
        while (start < text.size()) {
            const std::size_t lf = text.find('\n', start);
            if (lf == std::string::npos) {
                m_lines.push_back(text.substr(start));
                break;
            }
            m_lines.push_back(text.substr(start, lf - start));
            start = lf + 1;
        }
    }
    std::string ReadLine() override {
        if (m_next >= m_lines.size()) {
            throw EIdConnClosedGracefully();
        }
        return m_lines[m_next++];
    }
    std::size_t Remaining() const { return m_lines.size() - m_next; }

private:
    std::vector<std::string> m_lines;
    std::size_t m_next = 0;
};

inline std::string ReadFixture(const std::string& name) {
    std::ifstream in(std::string(QM_TEST_DATA_DIR) + "/pop3/" + name, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    if (!in && text.str().empty()) {
        throw std::runtime_error("missing fixture " + name);
    }
    return text.str();
}

// Reads a whole message (header block, then body unless it ended at ".") the way RETR does.
inline void ReadWholeMessage(TIdMessage& msg, TIdLineSource& source) {
    if (msg.ReadHeaderBlock(source, "") != ".") {
        msg.ReadMessageBody(source);
    }
}

inline TIdMessage ParseText(const std::string& text, int localOffsetMinutes = 0) {
    TIdMessage msg;
    msg.SetLocalOffsetSource([localOffsetMinutes] { return localOffsetMinutes; });
    TextLineSource source(text);
    ReadWholeMessage(msg, source);
    return msg;
}

} // namespace qm::test
