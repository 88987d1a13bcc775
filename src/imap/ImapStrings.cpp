#include "imap/ImapStrings.h"

#include <algorithm>
#include <charconv>

namespace qm {

namespace {

constexpr char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+,";

// The code points of UTF-8 text; a byte that starts no valid sequence stands for itself.
std::vector<char32_t> CodePoints(std::string_view utf8) {
    std::vector<char32_t> points;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto b = static_cast<unsigned char>(utf8[i]);
        const int length = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
        char32_t cp = length == 1 ? b : length == 2 ? (b & 0x1F) : length == 3 ? (b & 0x0F) : (b & 0x07);
        bool valid = length > 0 && i + static_cast<std::size_t>(length) <= utf8.size();
        for (int k = 1; valid && k < length; ++k) {
            const auto c = static_cast<unsigned char>(utf8[i + static_cast<std::size_t>(k)]);
            valid = (c >> 6) == 2;
            cp = (cp << 6) | (c & 0x3F);
        }
        valid = valid && cp <= 0x10FFFF && !(cp >= 0xD800 && cp <= 0xDFFF);
        points.push_back(valid ? cp : b);
        i += valid ? static_cast<std::size_t>(length) : 1;
    }
    return points;
}

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

} // namespace

std::string EncodeFolderName(std::string_view utf8) {
    std::string out;
    std::vector<std::uint16_t> run; // UTF-16 units waiting for their base64 run
    auto flush = [&] {
        if (run.empty()) {
            return;
        }
        out += '&';
        std::uint32_t bits = 0;
        int count = 0;
        for (std::uint16_t unit : run) {
            bits = (bits << 16) | unit;
            count += 16;
            while (count >= 6) {
                count -= 6;
                out += kBase64[(bits >> count) & 0x3F];
            }
            bits &= (1u << count) - 1;
        }
        if (count > 0) {
            out += kBase64[(bits << (6 - count)) & 0x3F];
        }
        out += '-';
        run.clear();
    };
    for (char32_t cp : CodePoints(utf8)) {
        if (cp >= 0x20 && cp <= 0x7E) {
            flush();
            out += cp == '&' ? std::string("&-") : std::string(1, static_cast<char>(cp));
        } else if (cp >= 0x10000) {
            run.push_back(static_cast<std::uint16_t>(0xD800 + ((cp - 0x10000) >> 10)));
            run.push_back(static_cast<std::uint16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
        } else {
            run.push_back(static_cast<std::uint16_t>(cp));
        }
    }
    flush();
    return out;
}

std::string DecodeFolderName(std::string_view mutf7) {
    std::string out;
    for (std::size_t i = 0; i < mutf7.size(); ++i) {
        if (mutf7[i] != '&') {
            out += mutf7[i];
            continue;
        }
        const std::size_t end = mutf7.find('-', i + 1);
        if (end == std::string_view::npos) {
            return std::string(mutf7);
        }
        if (end == i + 1) {
            out += '&';
            i = end;
            continue;
        }
        std::uint32_t bits = 0;
        int count = 0;
        char32_t high = 0;
        for (std::size_t k = i + 1; k < end; ++k) {
            const char* at = std::find(kBase64, kBase64 + 64, mutf7[k]);
            if (at == kBase64 + 64) {
                return std::string(mutf7);
            }
            bits = (bits << 6) | static_cast<std::uint32_t>(at - kBase64);
            count += 6;
            if (count >= 16) {
                count -= 16;
                const char32_t unit = (bits >> count) & 0xFFFF;
                bits &= (1u << count) - 1;
                if (unit >= 0xD800 && unit <= 0xDBFF) {
                    high = unit;
                } else if (unit >= 0xDC00 && unit <= 0xDFFF && high != 0) {
                    AppendUtf8(out, 0x10000 + ((high - 0xD800) << 10) + (unit - 0xDC00));
                    high = 0;
                } else {
                    AppendUtf8(out, unit);
                }
            }
        }
        i = end;
    }
    return out;
}

std::optional<std::string> QuoteImapString(std::string_view text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '\r' || c == '\n' || c == '\0') {
            return std::nullopt;
        }
        if (c == '"' || c == '\\') {
            out += '\\';
        }
        out += c;
    }
    return out + '"';
}

std::string UidSet(std::vector<std::uint32_t> uids) {
    std::sort(uids.begin(), uids.end());
    uids.erase(std::unique(uids.begin(), uids.end()), uids.end());
    std::string set;
    for (std::size_t i = 0; i < uids.size();) {
        std::size_t j = i;
        while (j + 1 < uids.size() && uids[j + 1] == uids[j] + 1) {
            ++j;
        }
        set += (set.empty() ? "" : ",") + std::to_string(uids[i]) + (j > i ? ":" + std::to_string(uids[j]) : "");
        i = j + 1;
    }
    return set;
}

std::optional<std::vector<std::uint32_t>> ParseUidSet(std::string_view set, std::size_t maxCount) {
    std::vector<std::uint32_t> uids;
    auto number = [](std::string_view text) -> std::optional<std::uint32_t> {
        std::uint32_t value = 0;
        const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
        if (text.empty() || ec != std::errc() || end != text.data() + text.size() || value == 0) {
            return std::nullopt;
        }
        return value;
    };
    std::size_t start = 0;
    while (start <= set.size()) {
        std::size_t end = set.find(',', start);
        if (end == std::string_view::npos) {
            end = set.size();
        }
        const std::string_view range = set.substr(start, end - start);
        const std::size_t colon = range.find(':');
        const auto first = number(range.substr(0, colon));
        const auto last = colon == std::string_view::npos ? first : number(range.substr(colon + 1));
        if (!first || !last) {
            return std::nullopt;
        }
        const std::uint32_t low = std::min(*first, *last);
        const std::uint32_t high = std::max(*first, *last);
        if (high - low >= maxCount - std::min(maxCount, uids.size())) {
            return std::nullopt;
        }
        for (std::uint32_t uid = low;; ++uid) {
            uids.push_back(uid);
            if (uid == high) {
                break;
            }
        }
        start = end + 1;
    }
    return uids;
}

} // namespace qm
