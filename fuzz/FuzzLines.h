#pragma once

// Lines of a message as the reader gets them from the connection (LF cut off, CR kept), cut
// from one buffer.
#include "pop3/IdExceptions.h"
#include "pop3/LineSource.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace qm::fuzz {

class BufferLineSource : public TIdLineSource {
public:
    explicit BufferLineSource(std::string_view data) : m_data(data) {}
    std::string ReadLine() override {
        if (m_pos >= m_data.size()) {
            throw EIdConnClosedGracefully();
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

} // namespace qm::fuzz
