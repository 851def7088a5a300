// One compiled regular expression (PCRE2, UTF-8, ECMAScript-like dialect) shared by the
// search, the link detection and the calculator.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace qm {

// Outcome of running an expression over a text.
enum class RegexStatus {
    kMatch,
    kNoMatch,
    // The engine gave up (match, depth or stack limit): a pathological pattern such as
    // (a+)+$ on a long text. Callers treat it as "no match"; the status lets them tell.
    kLimitHit,
    // No compiled expression, or an engine failure other than a limit.
    kError,
};

// One match. Positions and lengths are byte offsets into the UTF-8 text that was searched.
struct RegexMatch {
    size_t position = 0;
    size_t length = 0;
    std::string text;
    // The texts of the capture groups 1..n; a group that took no part in the match is empty.
    std::vector<std::string> groups;
};

// Dialect: PCRE2 in UTF mode with JavaScript-style \uhhhh escapes, [] and [^] as in
// ECMAScript, \d and \s of ASCII only, "." and line anchors treating CR, LF and CR LF as line
// breaks. Invalid UTF-8 in a text is never matched by anything (no error). Matching is bounded
// by match and depth limits, so no pattern can freeze the caller.
//
// A Regex keeps scratch memory for matching: use one object from one thread at a time.
class Regex {
public:
    Regex();
    ~Regex();
    Regex(Regex&&) noexcept;
    Regex& operator=(Regex&&) noexcept;
    Regex(const Regex&) = delete;
    Regex& operator=(const Regex&) = delete;

    // Compiles `pattern` (UTF-8). `multiLine` lets ^ and $ match at line breaks. Returns false
    // when the pattern is invalid: error() then holds the engine's message and the byte offset
    // in the pattern, and the object matches nothing until a successful Compile.
    bool Compile(std::string_view pattern, bool ignoreCase, bool multiLine);

    bool valid() const { return compiled_ != nullptr; }
    // Empty after a successful Compile.
    const std::string& error() const { return error_; }

    // The leftmost match in `text` (UTF-8). `match` may be null when only the answer matters;
    // it is filled only on kMatch.
    [[nodiscard]] RegexStatus FirstMatch(std::string_view text, RegexMatch* match) const;

    // The span of the leftmost match, without copying any text: byte offset and length.
    [[nodiscard]] RegexStatus FirstMatchSpan(std::string_view text, size_t* position,
                                             size_t* length) const;

    // Every non-overlapping match, left to right, into `matches` (cleared first). After an
    // empty match the search goes on one character further. Returns kMatch when there was at
    // least one, kNoMatch when none; on kLimitHit or kError `matches` holds those found before.
    [[nodiscard]] RegexStatus AllMatches(std::string_view text,
                                         std::vector<RegexMatch>* matches) const;

    // `text` with every match removed. When the engine stops early (`status` is then kLimitHit
    // or kError) the matches found before are removed and the rest is kept as it is.
    std::string RemoveMatches(std::string_view text, RegexStatus* status = nullptr) const;

private:
    struct Compiled;

    // Sets the time allowed to the match calls that follow (see regex.cpp).
    void StartClock(size_t text_size) const;
    // Runs one match call from byte `start`; on kMatch the match spans [*begin, *end).
    RegexStatus MatchAt(std::string_view text, size_t start, size_t* begin, size_t* end) const;
    // Fills `match` from the last successful attempt.
    void FillMatch(std::string_view text, RegexMatch* match) const;
    // Calls `found` with the byte range of every non-overlapping match, left to right.
    RegexStatus ForEachMatch(std::string_view text,
                             const std::function<void(size_t, size_t)>& found) const;

    std::unique_ptr<Compiled> compiled_;
    std::string error_;
};

}  // namespace qm
