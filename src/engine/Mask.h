#pragma once

#include <bitset>
#include <cstddef>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace qm {

// Root of the mask errors: a mask text that cannot be compiled.
class EMaskException : public std::runtime_error {
public:
    explicit EMaskException(const std::string& message) : std::runtime_error(message) {}
};

// A compiled wildcard mask: "*" any run, "?" one character, "[...]" a set with ranges and a
// leading "!" for negation, everything else a literal. ASCII letters match in either case;
// every other byte must be equal. The whole value must match. Values and masks are byte
// strings in the ANSI code page; double-byte code pages keep their characters whole.
class TMask {
public:
    // At most this many states may follow a "*"; one more makes the mask invalid.
    static constexpr int kMaxSkipStates = 30;

    // Compiles mask. Throws EMaskException "'<mask>' is an invalid mask at (<pos>)".
    explicit TMask(std::string_view mask, int codePage = 1252);

    // Whether value (up to its first NUL byte, if any) matches the whole mask.
    bool Matches(std::string_view value) const;

    std::size_t StateCount() const noexcept { return m_states.size(); }

private:
    enum class Kind : unsigned char { Literal, AnyChar, Set, DoubleByte };

    struct State {
        bool skipTo = false;
        Kind kind = Kind::Literal;
        unsigned char literal = 0; // upper-cased; 0 is the end of the value
        bool negate = false;
        unsigned char lead = 0;
        unsigned char trail = 0;
        std::size_t set = 0;    // index into m_sets
        unsigned char star = 0; // for a state after a "*": its ordinal among those states
    };

    struct Search;

    void compile(std::string_view mask, int codePage);
    std::size_t readSet(std::string_view mask, std::size_t i, int codePage, State& st);
    void addState(State st, std::size_t position, std::string_view mask, int& skipCount);
    bool accepts(const State& st, std::string_view value, std::size_t p) const;
    bool seek(const State& st, std::string_view value, std::size_t& p, Search& search) const;
    bool attempt(std::string_view value, std::size_t p, std::size_t first, Search& search) const;

    int m_codePage;
    int m_starCount = 0;
    std::vector<State> m_states;
    std::vector<std::bitset<256>> m_sets;
};

// A list of mask texts that compiles its masks once, the first time it is matched for a code
// page, and keeps them; copies share what was compiled. Matching is safe from several threads.
class MaskList {
public:
    MaskList() = default;
    // Implicit, so a list is assigned straight from its texts.
    MaskList(std::vector<std::string> masks) : m_masks(std::move(masks)) {} // NOLINT
    MaskList(std::initializer_list<std::string> masks) : m_masks(masks) {}
    MaskList(const MaskList& other);
    MaskList& operator=(const MaskList& other);
    MaskList(MaskList&& other) noexcept;
    MaskList& operator=(MaskList&& other) noexcept;
    ~MaskList() = default;

    bool empty() const noexcept { return m_masks.empty(); }
    const std::vector<std::string>& Values() const noexcept { return m_masks; }

    // Whether value matches one of the masks, tried in list order. An invalid mask reached
    // before a match throws its EMaskException, exactly as compiling it there would. An entry
    // that is empty after trimming (a blank line of a list file) never matches.
    bool AnyMatches(std::string_view value, int codePage) const;
    // The index of the first mask that matches, by the same rules; nullopt when none does.
    std::optional<std::size_t> FirstMatch(std::string_view value, int codePage) const;

private:
    struct Compiled;

    std::shared_ptr<const Compiled> compiled(int codePage) const;
    std::shared_ptr<const Compiled> shared() const;

    std::vector<std::string> m_masks;
    mutable std::mutex m_mutex; // guards m_compiled
    mutable std::shared_ptr<const Compiled> m_compiled;
};

// Compiles mask, matches value, and releases the compiled mask. Throws EMaskException for
// an invalid mask.
bool MatchMask(std::string_view value, std::string_view mask, int codePage = 1252);

// Whether byte b starts a two-byte character in the given ANSI code page (932, 936, 949, 950;
// every single-byte code page answers false).
bool IsLeadByte(int codePage, unsigned char b) noexcept;

} // namespace qm
