// RFC 2822 addresses: 'Name <user@host>', 'user@host (Comment)', 'user@host', quoted names.

#include "pop3/MessageDecoders.h"
#include "text/AsciiText.h"

namespace qm {
namespace {

std::string_view Strip(std::string_view text) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && (text[begin] == ' ' || text[begin] == '\t')) {
        ++begin;
    }
    while (end > begin && (text[end - 1] == ' ' || text[end - 1] == '\t')) {
        --end;
    }
    return text.substr(begin, end - begin);
}

} // namespace

std::string TIdEMailAddressItem::Text() const {
    if (Name.empty()) {
        return Address;
    }
    if (Address.empty()) {
        return Name;
    }
    return Name + " <" + Address + ">";
}

TIdEMailAddressItem ParseAddress(std::string_view text) {
    TIdEMailAddressItem item;
    std::string_view s = TrimControls(text);
    if (s.empty()) {
        return item;
    }
    if (s.find_first_of("(\"<@ \t") == std::string_view::npos) {
        item.Address = s;
        return item;
    }

    bool inAddress = false;
    bool bracketed = false;
    bool inQuote = false;
    bool afterAt = false;
    int depth = 0;
    for (;;) {
        std::string_view delimiters;
        if (depth > 0) {
            delimiters = "()\\";
        } else if (inQuote) {
            delimiters = "\"\\";
        } else if (afterAt && bracketed) {
            delimiters = ".>(";
        } else if (afterAt) {
            delimiters = ".( ";
        } else if (inAddress) {
            delimiters = "\"(@>";
        } else {
            delimiters = "(\"< @\t";
        }
        const std::size_t p = s.find_first_of(delimiters);
        if (p == std::string_view::npos) {
            break;
        }
        const char c = s[p];
        const std::string_view head = s.substr(0, p);
        const std::string_view after = s.substr(p + 1);
        switch (c) {
        case ' ':
        case '\t':
            if (p == 0) {
                s.remove_prefix(1);
                break;
            }
            if (afterAt) {
                item.Address += TrimControls(head);
            } else {
                item.Name += head;
                item.Name += c;
            }
            s = after;
            break;
        case '"':
            if (inQuote) {
                (bracketed ? item.Address : item.Name) += TrimControls(head);
                s = after;
                inQuote = false;
            } else {
                inQuote = true;
                s.remove_prefix(1);
            }
            break;
        case '(':
            if (p == 0) {
                s.remove_prefix(1);
            } else {
                // Text inside a comment belongs to neither part, also when the comment is nested.
                if (depth == 0 && inAddress) {
                    item.Address += TrimControls(head);
                } else if (depth == 0) {
                    item.Name += head;
                }
                s = after;
            }
            ++depth;
            break;
        case ')':
            s = after;
            --depth;
            break;
        case '.':
            if (bracketed) {
                item.Address += Strip(TrimControls(head));
                item.Address += '.';
                s = after;
                while (!s.empty() && (s[0] == ' ' || s[0] == '\t')) {
                    s.remove_prefix(1);
                }
            } else {
                item.Address += head;
                item.Address += '.';
                s = after;
            }
            break;
        case '<':
            if (p > 0) {
                item.Name += head;
            }
            item.Name = std::string(Strip(TrimControls(item.Name)));
            bracketed = true;
            inAddress = true;
            s = after;
            break;
        case '>':
            inAddress = false;
            afterAt = false;
            item.Address += Strip(TrimControls(head));
            s = after;
            break;
        case '@':
            afterAt = true;
            if (!inAddress && bracketed) {
                throw EIdEmailParseError();
            }
            inAddress = true;
            item.Address += head;
            item.Address += '@';
            s = after;
            break;
        default: // backslash: the next character is taken literally inside quotes
            if (inQuote) {
                std::string& target = inAddress ? item.Address : item.Name;
                target += head;
                if (!after.empty()) {
                    target += after[0];
                }
            }
            s = after.empty() ? after : after.substr(1);
            break;
        }
    }
    if (inAddress && !bracketed) {
        item.Address += Strip(TrimControls(s));
    }
    return item;
}

TIdEMailAddressList ParseAddressList(std::string_view text) {
    TIdEMailAddressList list;
    std::string current;
    bool inQuote = false;
    int depth = 0;
    auto flush = [&] {
        TIdEMailAddressItem item = ParseAddress(current);
        const std::string textForm = item.Text();
        if (!textForm.empty() && textForm != "<>") {
            list.push_back(std::move(item));
        }
        current.clear();
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (inQuote) {
            if (c == '\\' && i + 1 < text.size()) {
                current += c;
                current += text[++i];
                continue;
            }
            inQuote = c != '"';
        } else if (depth > 0) {
            depth += c == '(' ? 1 : c == ')' ? -1 : 0;
        } else if (c == '"') {
            inQuote = true;
        } else if (c == '(') {
            depth = 1;
        } else if (c == ',' || c == ';') {
            flush();
            continue;
        } else if (c == ':') {
            current.clear(); // a group name
            continue;
        }
        current += c;
    }
    flush();
    return list;
}

} // namespace qm
