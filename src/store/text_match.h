// The match rule of the search: whether a title or body (GB18030 text) matches a query.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace qm {

class Regex;

struct MatchOptions {
    bool ignoreCase = false;
    bool wholeText = false;
    bool useRegex = false;
};

// A query prepared once and tested against many texts (the body search tests every note).
// Substring and whole-text matching work on GB18030 bytes, never starting or ending a match
// inside a multi-byte character, and ignore case by folding ASCII letters only. A regular
// expression is compiled once (UTF-8, multi-line, caseless when asked) and run on the text
// converted to UTF-8.
class TextMatcher {
public:
    TextMatcher(std::string_view query, const MatchOptions& options);
    ~TextMatcher();
    TextMatcher(const TextMatcher&) = delete;
    TextMatcher& operator=(const TextMatcher&) = delete;

    // False when the regular expression does not compile; error() then says why (UTF-8, the
    // engine's message with the offset) and Matches() is always false.
    bool valid() const { return error_.empty(); }
    const std::string& error() const { return error_; }

    bool Matches(std::string_view text) const;

private:
    bool FindExact(std::string_view text) const;
    bool FindFolded(std::string_view text) const;
    bool EqualsFolded(std::string_view text) const;
    bool MatchesRegex(std::string_view text) const;

    std::string query_;
    std::string folded_query_;  // single-byte letters lowered, for ignoreCase
    // For the ignore-case substring search: the query with every byte A-Z lowered (trail
    // bytes too, as the text is lowered in bulk), and the offsets of the letter bytes inside
    // its multi-byte characters, which a candidate must match exactly.
    std::string search_key_;
    std::vector<size_t> strict_offsets_;
    MatchOptions options_;
    std::unique_ptr<Regex> regex_;
    std::string error_;
};

// One-off form of TextMatcher(query, options).Matches(text); false for an invalid expression.
bool MatchText(std::string_view text, std::string_view query, const MatchOptions& options);

// The wildcard form of a query as a regular expression: a*b?.txt gives a.*b.?\.txt.
std::string WildcardToRegex(std::string_view text);

}  // namespace qm
