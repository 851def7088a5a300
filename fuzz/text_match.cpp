// The match layer with an arbitrary query on an arbitrary text: the search's TextMatcher in
// every mode and the regular-expression class's calls. Every call must return within the
// time the expression engine allows a text of that size (the clock in store/regex.cpp), with
// a margin for the last attempt and for sanitizer builds.
#include "store/text_match.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "common/charset.h"
#include "fuzz_input.h"
#include "store/regex.h"

namespace {

using qm::fuzz::Require;

// The engine's own budget: one second plus one for every 16 MB of text.
double BudgetSeconds(size_t textSize) {
    return 1.0 + static_cast<double>(textSize) / (16.0 * 1024 * 1024);
}
// The margin: one attempt is bounded by the engine's match limit (milliseconds in a normal
// build, a little more under the sanitizers) and the clock is read every 16 attempts.
constexpr double kMarginSeconds = 2.0;

class CallTimer {
public:
    explicit CallTimer(size_t textSize) : limit_(BudgetSeconds(textSize) + kMarginSeconds) {}
    ~CallTimer() {
        const std::chrono::duration<double> spent = std::chrono::steady_clock::now() - start_;
        Require(spent.count() <= limit_, "a match call returns within its time budget");
    }

private:
    double limit_;
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    qm::fuzz::FuzzInput input(data, size);
    const uint8_t flags = input.Byte();
    const std::string query(input.Sized());
    const std::string text(input.Rest());  // GB18030 as a note holds it
    const std::string utf8Text = qm::Gb18030ToUtf8(text);

    qm::MatchOptions options;
    options.ignoreCase = (flags & 1) != 0;
    options.wholeText = (flags & 2) != 0;
    options.useRegex = (flags & 4) != 0;
    {
        const CallTimer timer(utf8Text.size());
        const qm::TextMatcher matcher(query, options);
        const bool matches = matcher.Matches(text);
        if (!options.useRegex && !options.wholeText && query.empty()) {
            Require(matches == !text.empty(), "the empty query is found in every text");
        }
        if (!options.useRegex && !options.ignoreCase && options.wholeText) {
            Require(matches == (query == text), "a whole-text match is equality");
        }
    }

    qm::Regex regex;
    const std::string pattern =
        (flags & 8) != 0 ? qm::WildcardToRegex(query) : qm::Gb18030ToUtf8(query);
    {
        const CallTimer timer(0);
        if (!regex.Compile(pattern, (flags & 1) != 0, (flags & 16) != 0)) {
            Require(!regex.error().empty() && !regex.valid(), "a failed compile says why");
            return 0;
        }
    }
    {
        const CallTimer timer(utf8Text.size());
        qm::RegexMatch match;
        if (regex.FirstMatch(utf8Text, &match) == qm::RegexStatus::kMatch) {
            Require(match.position + match.length <= utf8Text.size(), "a match inside the text");
            Require(utf8Text.compare(match.position, match.length, match.text) == 0,
                    "the match's text is the text at its place");
        }
    }
    {
        const CallTimer timer(utf8Text.size());
        size_t position = 0;
        size_t length = 0;
        if (regex.FirstMatchSpan(utf8Text, &position, &length) == qm::RegexStatus::kMatch) {
            Require(position + length <= utf8Text.size(), "a span inside the text");
        }
    }
    std::vector<qm::RegexMatch> matches;
    qm::RegexStatus allStatus;
    {
        const CallTimer timer(utf8Text.size());
        allStatus = regex.AllMatches(utf8Text, &matches);
    }
    size_t matchedBytes = 0;
    size_t previousEnd = 0;
    for (const qm::RegexMatch& match : matches) {
        Require(match.position >= previousEnd, "matches do not overlap and go left to right");
        previousEnd = match.position + match.length;
        Require(previousEnd <= utf8Text.size(), "every match inside the text");
        matchedBytes += match.length;
    }
    {
        const CallTimer timer(utf8Text.size());
        qm::RegexStatus status;
        const std::string rest = regex.RemoveMatches(utf8Text, &status);
        const auto complete = [](qm::RegexStatus s) {
            return s == qm::RegexStatus::kMatch || s == qm::RegexStatus::kNoMatch;
        };
        if (complete(status) && complete(allStatus)) {
            Require(rest.size() + matchedBytes == utf8Text.size(),
                    "removing the matches removes their bytes");
        }
    }
    return 0;
}
