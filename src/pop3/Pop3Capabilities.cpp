#include "pop3/Pop3Capabilities.h"

#include "text/AsciiText.h"

#include <algorithm>
#include <charconv>
#include <utility>

namespace qm {

namespace {

// The first word of a line and what follows it, without the blanks between.
std::pair<std::string_view, std::string_view> SplitWord(std::string_view line) {
    line = TrimControls(line);
    const std::size_t space = line.find_first_of(" \t");
    if (space == std::string_view::npos) {
        return {line, {}};
    }
    return {line.substr(0, space), TrimControls(line.substr(space))};
}

} // namespace

Pop3Capabilities ParseCapabilities(const std::vector<std::string>& lines) {
    Pop3Capabilities caps;
    caps.announced = true;
    for (const std::string& line : lines) {
        const auto [name, rest] = SplitWord(line);
        if (EqualNoCase(name, "UIDL")) {
            caps.uidl = true;
        }
        if (EqualNoCase(name, "PIPELINING")) {
            caps.pipelining = true;
        } else if (EqualNoCase(name, "LOGIN-DELAY")) {
            const std::string_view number = SplitWord(rest).first;
            int seconds = 0;
            const auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), seconds);
            const bool whole = end == number.data() + number.size() && !number.empty() && number.front() != '-';
            if (whole && ec == std::errc()) {
                caps.loginDelaySeconds = std::min(seconds, kMaxLoginDelaySeconds);
            } else if (whole && ec == std::errc::result_out_of_range) {
                caps.loginDelaySeconds = kMaxLoginDelaySeconds;
            }
        }
    }
    return caps;
}

std::string ResponseCode(std::string_view replyText) {
    replyText = TrimControls(replyText);
    if (replyText.empty() || replyText.front() != '[') {
        return {};
    }
    const std::size_t close = replyText.find(']');
    if (close == std::string_view::npos) {
        return {};
    }
    return AsciiUpper(replyText.substr(1, close - 1));
}

} // namespace qm
