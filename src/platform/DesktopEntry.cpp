// Desktop entry files (freedesktop.org key-file format): key-file values and Exec quoting.
#include "platform/DesktopEntry.h"

#include <fstream>

namespace qm {

namespace {

constexpr std::uintmax_t kMaxDesktopFileSize = 1 << 20;

std::string_view trimSpaces(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

// \s \n \t \r \\ of the string type; any other backslash pair stays as written, because the Exec
// quoting that follows gives \" \` \$ their meaning.
std::string unescapeString(std::string_view value) {
    std::string out;
    out.reserve(value.size());
    for (std::size_t i = 0; i < value.size(); ++i) {
        const char c = value[i];
        if (c != '\\' || i + 1 == value.size()) {
            out += c;
            continue;
        }
        const char next = value[i + 1];
        switch (next) {
        case 's':
            out += ' ';
            break;
        case 'n':
            out += '\n';
            break;
        case 't':
            out += '\t';
            break;
        case 'r':
            out += '\r';
            break;
        case '\\':
            out += '\\';
            break;
        default:
            out += c;
            out += next;
            break;
        }
        ++i;
    }
    return out;
}

} // namespace

std::optional<std::string> DesktopEntryValue(std::string_view fileText, std::string_view key) {
    bool inEntryGroup = false;
    while (!fileText.empty()) {
        const std::size_t eol = fileText.find('\n');
        std::string_view line = fileText.substr(0, eol);
        fileText = eol == std::string_view::npos ? std::string_view{} : fileText.substr(eol + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        const std::string_view trimmed = trimSpaces(line);
        if (trimmed.empty() || trimmed.front() == '#')
            continue;
        if (trimmed.front() == '[') {
            // The entry group ends at the next group header; later groups never count.
            if (inEntryGroup)
                return std::nullopt;
            inEntryGroup = trimmed == "[Desktop Entry]";
            continue;
        }
        if (!inEntryGroup)
            continue;
        const std::size_t eq = line.find('=');
        if (eq == std::string_view::npos)
            continue;
        if (trimSpaces(line.substr(0, eq)) == key)
            return unescapeString(trimSpaces(line.substr(eq + 1)));
    }
    return std::nullopt;
}

std::optional<std::string> DesktopEntryFileValue(const std::filesystem::path& file, std::string_view key) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(file, ec))
        return std::nullopt;
    const auto size = std::filesystem::file_size(file, ec);
    if (ec || size > kMaxDesktopFileSize)
        return std::nullopt;
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::string text;
    text.reserve(static_cast<std::size_t>(size));
    // Read at most the limit even when the file grows in the meantime.
    char buffer[4096];
    while (in && text.size() <= kMaxDesktopFileSize) {
        in.read(buffer, sizeof buffer);
        text.append(buffer, static_cast<std::size_t>(in.gcount()));
    }
    if (text.size() > kMaxDesktopFileSize)
        return std::nullopt;
    return DesktopEntryValue(text, key);
}

std::optional<std::vector<std::string>> SplitExecLine(std::string_view exec) {
    std::vector<std::string> args;
    std::string current;
    bool inArg = false;
    for (std::size_t i = 0; i < exec.size(); ++i) {
        const char c = exec[i];
        if (c == ' ' || c == '\t' || c == '\n') {
            if (inArg)
                args.push_back(std::move(current));
            current.clear();
            inArg = false;
            continue;
        }
        inArg = true;
        if (c == '"') {
            // Double quotes group; inside them \" \` \$ \\ stand for the character.
            for (++i;; ++i) {
                if (i >= exec.size())
                    return std::nullopt;
                const char q = exec[i];
                if (q == '"')
                    break;
                if (q == '\\' && i + 1 < exec.size()) {
                    const char next = exec[i + 1];
                    if (next == '"' || next == '`' || next == '$' || next == '\\') {
                        current += next;
                        ++i;
                        continue;
                    }
                }
                current += q;
            }
        } else if (c == '\'') {
            // Not in the standard, but common and understood by the desktops: literal text.
            const std::size_t close = exec.find('\'', i + 1);
            if (close == std::string_view::npos)
                return std::nullopt;
            current += exec.substr(i + 1, close - i - 1);
            i = close;
        } else if (c == '\\' && i + 1 < exec.size()) {
            current += exec[++i];
        } else {
            current += c;
        }
    }
    if (inArg)
        args.push_back(std::move(current));
    return args;
}

std::string EscapeDesktopValue(std::string_view value) {
    std::string out;
    out.reserve(value.size() + 8);
    for (std::size_t i = 0; i < value.size(); ++i) {
        const char c = value[i];
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\r':
            out += "\\r";
            break;
        case ' ':
            // Blanks at either end would be taken for the space around the equals sign.
            out += (i == 0 || i + 1 == value.size()) ? "\\s" : " ";
            break;
        default:
            out += c;
            break;
        }
    }
    return out;
}

} // namespace qm
