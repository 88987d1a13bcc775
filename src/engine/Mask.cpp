#include "engine/Mask.h"

#include <string>

namespace qm {

namespace {

constexpr unsigned char upper(unsigned char c) noexcept {
    return (c >= 'a' && c <= 'z') ? c - ('a' - 'A') : c;
}

[[noreturn]] void invalidMask(std::string_view mask, std::size_t position) {
    std::string text = "'";
    text.append(mask);
    text += "' is an invalid mask at (";
    text += std::to_string(position);
    text += ")";
    throw EMaskException(text);
}

} // namespace

bool IsLeadByte(int codePage, unsigned char b) noexcept {
    switch (codePage) {
    case 932:
        return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
    case 936:
    case 949:
    case 950:
        return b >= 0x81 && b <= 0xFE;
    default:
        return false;
    }
}

TMask::TMask(std::string_view mask, int codePage) : m_codePage(codePage) {
    // Masks are NUL-terminated texts: an embedded NUL ends the mask.
    compile(mask.substr(0, mask.find('\0')), codePage);
}

void TMask::addState(State st, std::size_t position, std::string_view mask, int& skipCount) {
    if (st.skipTo && ++skipCount > kMaxSkipStates) {
        invalidMask(mask, position);
    }
    m_states.push_back(st);
}

// Reads the set that starts after the "[" at index i - 1; returns the index after its "]".
std::size_t TMask::readSet(std::string_view mask, std::size_t i, int codePage, State& st) {
    const std::size_t n = mask.size();
    std::bitset<256> set;
    st.kind = Kind::Set;
    if (i < n && mask[i] == '!') {
        st.negate = true;
        ++i;
    }
    bool havePrevious = false;
    unsigned char previous = 0;
    while (i < n && mask[i] != ']') {
        const auto c = static_cast<unsigned char>(mask[i]);
        if (IsLeadByte(codePage, c)) {
            i += 2; // a two-byte character cannot be a set member
            continue;
        }
        if (c == '-') {
            if (!havePrevious) {
                invalidMask(mask, i + 1);
            }
            if (i + 1 >= n) {
                invalidMask(mask, n + 1);
            }
            const unsigned char last = upper(static_cast<unsigned char>(mask[i + 1]));
            for (unsigned v = previous; v <= last; ++v) {
                set.set(v);
            }
            i += 2;
            continue;
        }
        previous = upper(c);
        havePrevious = true;
        set.set(previous);
        ++i;
    }
    if (i >= n) {
        invalidMask(mask, n + 1);
    }
    if (set.none()) {
        invalidMask(mask, i + 1);
    }
    st.set = m_sets.size();
    m_sets.push_back(set);
    return i + 1;
}

void TMask::compile(std::string_view mask, int codePage) {
    const std::size_t n = mask.size();
    int skipCount = 0;
    bool skipPending = false;
    std::size_t i = 0;
    while (i < n) {
        const auto c = static_cast<unsigned char>(mask[i]);
        State st;
        st.skipTo = skipPending;
        std::size_t last = i; // index of the last byte of this state, for the error position
        if (c == '*') {
            skipPending = true;
            ++i;
            continue;
        }
        if (c == '?') {
            ++i;
            if (skipPending) {
                continue; // "*?" is the same as "*"
            }
            st.kind = Kind::AnyChar;
        } else if (c == '[') {
            i = readSet(mask, i + 1, codePage, st);
            last = i - 1;
        } else if (IsLeadByte(codePage, c) && i + 1 < n) {
            st.kind = Kind::DoubleByte;
            st.lead = c;
            st.trail = static_cast<unsigned char>(mask[i + 1]);
            last = i + 1;
            i += 2;
        } else {
            st.literal = upper(c);
            ++i;
        }
        addState(st, last + 1, mask, skipCount);
        skipPending = false;
    }
    State end;
    end.skipTo = skipPending;
    addState(end, n + 1, mask, skipCount);
}

bool TMask::accepts(const State& st, std::string_view value, std::size_t p) const {
    const std::size_t n = value.size();
    switch (st.kind) {
    case Kind::Literal:
        return p < n ? upper(static_cast<unsigned char>(value[p])) == st.literal : st.literal == 0;
    case Kind::AnyChar:
        return p < n;
    case Kind::Set:
        return p < n && m_sets[st.set].test(upper(static_cast<unsigned char>(value[p]))) != st.negate;
    case Kind::DoubleByte:
        return p + 1 < n && static_cast<unsigned char>(value[p]) == st.lead &&
               static_cast<unsigned char>(value[p + 1]) == st.trail;
    }
    return false;
}

bool TMask::attempt(std::string_view value, std::size_t p, std::size_t first,
                    std::array<std::pair<std::size_t, std::size_t>, kMaxSkipStates>& stack, int& depth) const {
    const std::size_t n = value.size();
    for (std::size_t s = first; s < m_states.size(); ++s) {
        const State& st = m_states[s];
        const std::size_t width = st.kind == Kind::DoubleByte ? 2 : 1;
        if (st.skipTo) {
            while (p < n && !accepts(st, value, p)) {
                // A two-byte character of the value is stepped over whole when looking
                // for a two-byte literal, so its trail byte is never taken as a lead byte.
                p += (width == 2 && IsLeadByte(m_codePage, static_cast<unsigned char>(value[p]))) ? 2 : 1;
            }
            if (p > n) {
                p = n;
            }
            if (p < n) {
                // Once a later "*" is reached, shifting an earlier one can only push this
                // state further right, which this state's own resume point already covers;
                // so the earlier resume points are dropped. This keeps matching at
                // O(mask x value) instead of exponential in the number of stars.
                depth = 0;
                stack[static_cast<std::size_t>(depth++)] = {p + 1, s};
            }
        }
        if (!accepts(st, value, p)) {
            return false;
        }
        p += width;
    }
    return true;
}

bool TMask::Matches(std::string_view value) const {
    // The value is a NUL-terminated text: anything after an embedded NUL is not part of it.
    value = value.substr(0, value.find('\0'));
    std::array<std::pair<std::size_t, std::size_t>, kMaxSkipStates> stack{};
    int depth = 0;
    std::size_t p = 0;
    std::size_t state = 0;
    for (;;) {
        if (attempt(value, p, state, stack, depth)) {
            return true;
        }
        if (depth == 0) {
            return false;
        }
        --depth;
        p = stack[static_cast<std::size_t>(depth)].first;
        state = stack[static_cast<std::size_t>(depth)].second;
    }
}

bool MatchMask(std::string_view value, std::string_view mask, int codePage) {
    const TMask compiled(mask, codePage);
    return compiled.Matches(value);
}

} // namespace qm
