#include "store/regex.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace qm {
namespace {

struct Span {
    size_t position;
    size_t length;
    bool operator==(const Span& other) const {
        return position == other.position && length == other.length;
    }
};

std::ostream& operator<<(std::ostream& out, const Span& s) {
    return out << "(" << s.position << "," << s.length << ")";
}

std::vector<Span> Spans(const std::vector<RegexMatch>& matches) {
    std::vector<Span> spans;
    for (const RegexMatch& m : matches) spans.push_back({m.position, m.length});
    return spans;
}

TEST(RegexTest, InvalidPatternGivesMessageAndOffset) {
    struct Case {
        const char* pattern;
        const char* message_part;
    };
    const Case cases[] = {
        {"(abc", "missing closing parenthesis at offset 4"},
        {"abc)", "unmatched closing parenthesis at offset 3"},
        {"[z-a]", "range out of order in character class at offset 3"},
        {"a{2,1}", "numbers out of order in {} quantifier at offset 5"},
        {"ab\\", "\\ at end of pattern at offset 3"},
    };
    for (const Case& c : cases) {
        Regex regex;
        EXPECT_FALSE(regex.Compile(c.pattern, false, true)) << c.pattern;
        EXPECT_FALSE(regex.valid());
        EXPECT_NE(regex.error().find(c.message_part), std::string::npos)
            << c.pattern << ": " << regex.error();
        EXPECT_EQ(regex.FirstMatch("abc", nullptr), RegexStatus::kError);
    }
}

TEST(RegexTest, FirstMatchGivesByteOffsetsTextAndGroups) {
    Regex regex;
    ASSERT_TRUE(regex.Compile("(\\d+)-(x)?(\\d+)", false, true)) << regex.error();
    RegexMatch match;
    ASSERT_EQ(regex.FirstMatch("电话 12-34 与 5-6", &match), RegexStatus::kMatch);
    EXPECT_EQ(match.position, 7u);  // two three-byte characters and a space
    EXPECT_EQ(match.length, 5u);
    EXPECT_EQ(match.text, "12-34");
    EXPECT_EQ(match.groups, (std::vector<std::string>{"12", "", "34"}));

    size_t position = 0;
    size_t length = 0;
    ASSERT_EQ(regex.FirstMatchSpan("a 5-6", &position, &length), RegexStatus::kMatch);
    EXPECT_EQ(position, 2u);
    EXPECT_EQ(length, 3u);
    EXPECT_EQ(regex.FirstMatch("no digits", &match), RegexStatus::kNoMatch);
}

TEST(RegexTest, DialectOfSearchLinksAndCalculator) {
    struct Case {
        const char* pattern;
        bool ignore_case;
        bool multi_line;
        const char* text;
        bool found;
        size_t position;
        size_t length;
    };
    const Case cases[] = {
        {"(?<!\\d)\\.\\d+", false, true, "3.14 x.5", true, 6, 2},  // negative look-behind
        {"\\s+\\d", false, true, "a \t1", true, 1, 3},
        {"\\d", false, true, "\xEF\xBC\x91", false, 0, 0},  // a full-width digit is no \d
        {"[\\u4e00-\\u9fa5]+", false, true, "abc中文def", true, 3, 6},
        {"\\u0041", false, true, "xA", true, 1, 1},
        {"hello", true, true, "Say HeLLo", true, 4, 5},
        {"hello", false, true, "Say HeLLo", false, 0, 0},
        {"^b", false, false, "a\nb", false, 0, 0},
        {"^b", false, true, "a\nb", true, 2, 1},
        {"a$", false, false, "a\n", false, 0, 0},  // without multi-line, $ is the very end
        {"^two$", false, true, "one\r\ntwo\r\nthree", true, 5, 3},
        {"a.b", false, true, "a\r\nb", false, 0, 0},
        {"a[^]+b", false, true, "a\r\nb", true, 0, 4},
        {"[]", false, true, "abc", false, 0, 0},
        {"a.b", false, true,
         "a\xFF"
         "b a-b",
         true, 4, 3},                                           // invalid UTF-8 matches nothing
        {"\\Qa+b", false, true, "xa+b", true, 1, 3},            // open \Q to the end
        {"(?x) a b # comment", false, true, "ab", true, 0, 2},  // extended-mode comment
    };
    for (const Case& c : cases) {
        Regex regex;
        ASSERT_TRUE(regex.Compile(c.pattern, c.ignore_case, c.multi_line))
            << c.pattern << ": " << regex.error();
        RegexMatch match;
        const RegexStatus status = regex.FirstMatch(c.text, &match);
        EXPECT_EQ(status, c.found ? RegexStatus::kMatch : RegexStatus::kNoMatch) << c.pattern;
        if (c.found && status == RegexStatus::kMatch) {
            EXPECT_EQ((Span{match.position, match.length}), (Span{c.position, c.length}))
                << c.pattern;
        }
    }
}

TEST(RegexTest, AllMatchesAreLeftToRightAndStepOverEmptyMatches) {
    struct Case {
        const char* pattern;
        const char* text;
        std::vector<Span> spans;
        const char* removed;
    };
    const Case cases[] = {
        {"\\d+", "a1b22c333", {{1, 1}, {3, 2}, {6, 3}}, "abc"},
        {"a*", "baaac", {{0, 0}, {1, 3}, {4, 0}, {5, 0}}, "bc"},
        {"", "中文", {{0, 0}, {3, 0}, {6, 0}}, "中文"},  // one character, not one byte
        {"x*", "a\r\nb", {{0, 0}, {1, 0}, {2, 0}, {3, 0}, {4, 0}}, "a\r\nb"},
        {",", "1,234,567", {{1, 1}, {5, 1}}, "1234567"},
        {"^\\s*", "  a\n b", {{0, 2}, {4, 1}}, "a\nb"},
        {"z", "abc", {}, "abc"},
    };
    for (const Case& c : cases) {
        Regex regex;
        ASSERT_TRUE(regex.Compile(c.pattern, false, true)) << regex.error();
        std::vector<RegexMatch> matches;
        const RegexStatus status = regex.AllMatches(c.text, &matches);
        EXPECT_EQ(status, c.spans.empty() ? RegexStatus::kNoMatch : RegexStatus::kMatch)
            << c.pattern;
        EXPECT_EQ(Spans(matches), c.spans) << c.pattern << " on " << c.text;
        RegexStatus removed_status = RegexStatus::kError;
        EXPECT_EQ(regex.RemoveMatches(c.text, &removed_status), c.removed) << c.pattern;
        EXPECT_EQ(removed_status, status);
    }
}

TEST(RegexTest, AllMatchesCarryTheirTexts) {
    Regex regex;
    ASSERT_TRUE(regex.Compile("(\\w)(\\d)", false, true));
    std::vector<RegexMatch> matches;
    ASSERT_EQ(regex.AllMatches("a1 b2", &matches), RegexStatus::kMatch);
    ASSERT_EQ(matches.size(), 2u);
    EXPECT_EQ(matches[1].text, "b2");
    EXPECT_EQ(matches[1].groups, (std::vector<std::string>{"b", "2"}));
}

TEST(RegexTest, PathologicalPatternsHitTheLimitInsteadOfRunningOn) {
    const std::string a_run(1 << 20, 'a');
    struct Case {
        const char* pattern;
        std::string text;
    };
    const Case cases[] = {
        {"(a+)+$", a_run + "!"},
        {"(a|a)*b", a_run},
        {"(a|aa)+\\d", a_run},
        {"(?:a|b)*\\d", a_run.substr(0, 100 * 1024)},  // quadratic: every start scans on
    };
    for (const Case& c : cases) {
        Regex regex;
        ASSERT_TRUE(regex.Compile(c.pattern, false, true));
        const RegexStatus status = regex.FirstMatch(c.text, nullptr);
        EXPECT_TRUE(status == RegexStatus::kLimitHit || status == RegexStatus::kNoMatch)
            << c.pattern << " gave " << static_cast<int>(status);
        std::vector<RegexMatch> matches;
        EXPECT_NE(regex.AllMatches(c.text, &matches), RegexStatus::kMatch) << c.pattern;
        EXPECT_TRUE(matches.empty());
    }
    // The nested quantifier fails only by exhausting its budget, and says so.
    Regex nested;
    ASSERT_TRUE(nested.Compile("(a+)+$", false, true));
    EXPECT_EQ(nested.FirstMatch(a_run + "!", nullptr), RegexStatus::kLimitHit);
    // An ordinary match over the same length is not cut short.
    ASSERT_TRUE(nested.Compile("a+!$", false, true));
    RegexMatch match;
    ASSERT_EQ(nested.FirstMatch(a_run + "!", &match), RegexStatus::kMatch);
    EXPECT_EQ(match.length, a_run.size() + 1);
}

TEST(RegexTest, RecompilingReplacesThePatternAndMovingKeepsIt) {
    Regex regex;
    ASSERT_TRUE(regex.Compile("a", false, true));
    EXPECT_FALSE(regex.Compile("(", false, true));
    EXPECT_EQ(regex.FirstMatch("a", nullptr), RegexStatus::kError);
    ASSERT_TRUE(regex.Compile("b", false, true));
    EXPECT_TRUE(regex.error().empty());
    Regex moved = std::move(regex);
    EXPECT_EQ(moved.FirstMatch("abc", nullptr), RegexStatus::kMatch);
    EXPECT_EQ(moved.FirstMatch("xyz", nullptr), RegexStatus::kNoMatch);
}

TEST(RegexTest, UncompiledRegexReportsAnError) {
    const Regex regex;
    std::vector<RegexMatch> matches;
    EXPECT_EQ(regex.FirstMatch("a", nullptr), RegexStatus::kError);
    EXPECT_EQ(regex.AllMatches("a", &matches), RegexStatus::kError);
    RegexStatus status = RegexStatus::kMatch;
    EXPECT_EQ(regex.RemoveMatches("abc", &status), "abc");
    EXPECT_EQ(status, RegexStatus::kError);
}

}  // namespace
}  // namespace qm
