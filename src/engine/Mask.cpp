#include "engine/Mask.h"

#include "text/AsciiText.h"

#include <algorithm>
#include <array>
#include <limits>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace qm {

namespace {

constexpr unsigned char upper(unsigned char c) noexcept {
    return static_cast<unsigned char>(AsciiUpperChar(static_cast<char>(c)));
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
    if (st.skipTo) {
        if (++skipCount > kMaxSkipStates) {
            invalidMask(mask, position);
        }
        st.star = static_cast<unsigned char>(m_starCount++);
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

// One run of Matches: the single resume point, and what the run has learned about searches
// for a state after a "*" that find nothing. Such a search passes the same positions, in the
// same steps, as a search started at any of them, so those find nothing either; a later search
// that reaches one of them stops there. Without this, every resume point of an earlier "*"
// would search the rest of the value for the later state again ("*@*.ru" against a long run
// of "@"), which takes time quadratic in the value's length.
struct TMask::Search {
    static constexpr std::size_t kNone = std::numeric_limits<std::size_t>::max();

    bool canResume = false;
    std::size_t resumeAt = 0;
    std::size_t resumeState = 0;
    // Searches in steps of one byte: nothing from this position to the end of the value.
    std::array<std::size_t, kMaxSkipStates> fruitlessFrom;
    // Searches for a two-byte character, whose steps depend on the value: the positions passed
    // by searches that found nothing. Made only when such a search fails.
    std::vector<std::vector<bool>> fruitlessAt;
};

// Moves p to the first position, from p on, where st accepts and returns true; or moves p to
// the end of the value and returns false when there is none before the end.
bool TMask::seek(const State& st, std::string_view value, std::size_t& p, Search& search) const {
    const std::size_t n = value.size();
    if (st.kind != Kind::DoubleByte) {
        std::size_t& fruitless = search.fruitlessFrom[st.star];
        const std::size_t limit = std::min(n, fruitless);
        const std::size_t start = p;
        while (p < limit && !accepts(st, value, p)) {
            ++p;
        }
        if (p < limit) {
            return true;
        }
        fruitless = std::min(fruitless, start);
        p = n;
        return false;
    }
    // A two-byte character of the value is stepped over whole when looking for a two-byte
    // literal, so its trail byte is never taken as a lead byte.
    const auto step = [&](std::size_t q) {
        return IsLeadByte(m_codePage, static_cast<unsigned char>(value[q])) ? 2 : 1;
    };
    const std::vector<bool>* known = search.fruitlessAt.empty() ? nullptr : &search.fruitlessAt[st.star];
    const auto isKnown = [&](std::size_t q) { return known != nullptr && !known->empty() && (*known)[q]; };
    const std::size_t start = p;
    while (p < n && !isKnown(p) && !accepts(st, value, p)) {
        p += step(p);
    }
    if (p < n && !isKnown(p)) {
        return true;
    }
    if (search.fruitlessAt.empty()) {
        search.fruitlessAt.resize(static_cast<std::size_t>(m_starCount));
    }
    std::vector<bool>& marks = search.fruitlessAt[st.star];
    if (marks.empty()) {
        marks.resize(n);
    }
    for (std::size_t q = start; q < n && !marks[q]; q += step(q)) {
        marks[q] = true;
    }
    p = n;
    return false;
}

bool TMask::attempt(std::string_view value, std::size_t p, std::size_t first, Search& search) const {
    for (std::size_t s = first; s < m_states.size(); ++s) {
        const State& st = m_states[s];
        if (st.skipTo && seek(st, value, p, search)) {
            // Once a later "*" is reached, shifting an earlier one can only push this state
            // further right, which this state's own resume point already covers; so the
            // earlier resume point is dropped. This keeps the number of attempts at
            // O(mask x value) instead of exponential in the number of stars.
            search.canResume = true;
            search.resumeAt = p + 1;
            search.resumeState = s;
        }
        if (!accepts(st, value, p)) {
            return false;
        }
        p += st.kind == Kind::DoubleByte ? 2 : 1;
    }
    return true;
}

bool TMask::Matches(std::string_view value) const {
    // The value is a NUL-terminated text: anything after an embedded NUL is not part of it.
    value = value.substr(0, value.find('\0'));
    Search search;
    std::fill_n(search.fruitlessFrom.begin(), m_starCount, Search::kNone);
    std::size_t p = 0;
    std::size_t state = 0;
    while (!attempt(value, p, state, search)) {
        if (!search.canResume) {
            return false;
        }
        search.canResume = false;
        p = search.resumeAt;
        state = search.resumeState;
    }
    return true;
}

bool MatchMask(std::string_view value, std::string_view mask, int codePage) {
    const TMask compiled(mask, codePage);
    return compiled.Matches(value);
}

struct MaskList::Compiled {
    int codePage = 0;
    // One per mask text: the compiled mask, or the error its compiling raised.
    std::vector<std::optional<TMask>> masks;
    std::vector<std::string> errors;
    std::vector<bool> blank; // an entry that is empty after trimming never matches
};

MaskList::MaskList(const MaskList& other) : m_masks(other.m_masks), m_compiled(other.shared()) {}

MaskList& MaskList::operator=(const MaskList& other) {
    if (this != &other) {
        std::vector<std::string> masks = other.m_masks;
        std::shared_ptr<const Compiled> compiled = other.shared();
        const std::lock_guard lock(m_mutex);
        m_masks = std::move(masks);
        m_compiled = std::move(compiled);
    }
    return *this;
}

MaskList::MaskList(MaskList&& other) noexcept : m_masks(std::move(other.m_masks)) {
    const std::lock_guard lock(other.m_mutex);
    m_compiled = std::move(other.m_compiled);
}

MaskList& MaskList::operator=(MaskList&& other) noexcept {
    if (this != &other) {
        const std::scoped_lock lock(m_mutex, other.m_mutex);
        m_masks = std::move(other.m_masks);
        m_compiled = std::move(other.m_compiled);
    }
    return *this;
}

std::shared_ptr<const MaskList::Compiled> MaskList::shared() const {
    const std::lock_guard lock(m_mutex);
    return m_compiled;
}

std::shared_ptr<const MaskList::Compiled> MaskList::compiled(int codePage) const {
    const std::lock_guard lock(m_mutex);
    if (!m_compiled || m_compiled->codePage != codePage) {
        auto fresh = std::make_shared<Compiled>();
        fresh->codePage = codePage;
        fresh->masks.reserve(m_masks.size());
        fresh->errors.resize(m_masks.size());
        fresh->blank.resize(m_masks.size());
        for (std::size_t i = 0; i < m_masks.size(); ++i) {
            fresh->blank[i] = TrimControls(m_masks[i]).empty();
            try {
                fresh->masks.emplace_back(std::in_place, m_masks[i], codePage);
            } catch (const EMaskException& e) {
                fresh->masks.emplace_back(std::nullopt);
                fresh->errors[i] = e.what();
            }
        }
        m_compiled = std::move(fresh);
    }
    return m_compiled;
}

std::optional<std::size_t> MaskList::FirstMatch(std::string_view value, int codePage) const {
    if (m_masks.empty()) {
        return std::nullopt;
    }
    const std::shared_ptr<const Compiled> list = compiled(codePage);
    for (std::size_t i = 0; i < list->masks.size(); ++i) {
        if (list->blank[i]) {
            // A blank line of a list file would match every empty sender or subject: such mail
            // would be deleted from the server.
            continue;
        }
        if (!list->masks[i]) {
            throw EMaskException(list->errors[i]);
        }
        if (list->masks[i]->Matches(value)) {
            return i;
        }
    }
    return std::nullopt;
}

bool MaskList::AnyMatches(std::string_view value, int codePage) const {
    return FirstMatch(value, codePage).has_value();
}

} // namespace qm
