#pragma once

#include <array>
#include <bitset>
#include <cstddef>
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
        std::size_t set = 0; // index into m_sets
    };

    void compile(std::string_view mask, int codePage);
    std::size_t readSet(std::string_view mask, std::size_t i, int codePage, State& st);
    void addState(State st, std::size_t position, std::string_view mask, int& skipCount);
    bool accepts(const State& st, std::string_view value, std::size_t p) const;
    bool attempt(std::string_view value, std::size_t p, std::size_t first,
                 std::array<std::pair<std::size_t, std::size_t>, kMaxSkipStates>& stack, int& depth) const;

    int m_codePage;
    std::vector<State> m_states;
    std::vector<std::bitset<256>> m_sets;
};

// Compiles mask, matches value, and releases the compiled mask. Throws EMaskException for
// an invalid mask.
bool MatchMask(std::string_view value, std::string_view mask, int codePage = 1252);

// Whether byte b starts a two-byte character in the given ANSI code page (932, 936, 949, 950;
// every single-byte code page answers false).
bool IsLeadByte(int codePage, unsigned char b) noexcept;

} // namespace qm
