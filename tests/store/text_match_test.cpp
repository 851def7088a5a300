#include "store/text_match.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "common/chars.h"
#include "common/charset.h"

namespace qm {
namespace {

// Test texts are written in UTF-8 and matched as the program's GB18030.
std::string Gb(std::string_view utf8) { return Utf8ToGb18030(utf8); }

std::string Describe(const MatchOptions& o) {
    std::string s;
    s += o.ignoreCase ? "ignoreCase " : "";
    s += o.wholeText ? "wholeText " : "";
    s += o.useRegex ? "useRegex" : "";
    return s.empty() ? "substring" : s;
}

TEST(TextMatchTest, RealGbkBytesOfTheCharactersUsedBelow) {
    EXPECT_EQ(Gb("丄"), "\x81\x41");  // trail byte 'A'
    EXPECT_EQ(Gb("乤"), "\x81\x61");  // trail byte 'a'
    EXPECT_EQ(Gb("中文"), "\xD6\xD0\xCE\xC4");
    EXPECT_EQ(Gb("形"), "\xD0\xCE");         // trail byte of 中 + lead byte of 文
    EXPECT_EQ(Gb("😀"), "\x94\x39\xFC\x36");  // four bytes, the last one the digit '6'
}

TEST(TextMatchTest, EveryOptionCombination) {
    constexpr MatchOptions kSub{false, false, false};
    constexpr MatchOptions kSubIc{true, false, false};
    constexpr MatchOptions kWhole{false, true, false};
    constexpr MatchOptions kWholeIc{true, true, false};
    constexpr MatchOptions kRe{false, false, true};
    constexpr MatchOptions kReIc{true, false, true};
    constexpr MatchOptions kReWhole{false, true, true};
    constexpr MatchOptions kReWholeIc{true, true, true};
    struct Case {
        const char* text;  // UTF-8, converted to GB18030
        const char* query;
        MatchOptions options;
        bool expected;
    };
    const Case cases[] = {
        // Substring, case-sensitive.
        {"hello world", "world", kSub, true},
        {"hello world", "World", kSub, false},
        {"hello", "hello world", kSub, false},
        {"笔记本的标题", "记本", kSub, true},
        {"中文", "形", kSub, false},   // trail byte of 中 + lead byte of 文
        {"中文形", "形", kSub, true},  // the real one after the false one
        {"丄", "A", kSub, false},      // a trail byte is no letter
        {"丄A", "A", kSub, true},
        {"😀", "6", kSub, false},  // last byte of a four-byte character
        {"😀6", "6", kSub, true},
        {"", "", kSub, false},  // the empty query matches every non-empty text only
        {"x", "", kSub, true},
        {"中", "", kSub, true},
        // Substring, ignore case: only ASCII letters of single-byte characters fold.
        {"xABCx", "abc", kSubIc, true},
        {"xabcx", "ABC", kSubIc, true},
        {"丄", "乤", kSubIc, false},
        {"乤", "丄", kSubIc, false},
        {"x丄y", "X丄", kSubIc, true},
        {"丄", "a", kSubIc, false},
        {"中文", "形", kSubIc, false},
        {"ÄÖ", "äö", kSubIc, false},  // not ASCII
        {"", "", kSubIc, false},
        {"A", "", kSubIc, true},
        // Whole text.
        {"abc", "abc", kWhole, true},
        {"abcd", "abc", kWhole, false},
        {"ABC", "abc", kWhole, false},
        {"", "", kWhole, true},
        {"a", "", kWhole, false},
        {"ABC中文", "abc中文", kWholeIc, true},
        {"abc中文", "ABC中文", kWholeIc, true},
        {"丄", "乤", kWholeIc, false},
        {"ABC中", "abc文", kWholeIc, false},
        // Regular expressions: multi-line, on the text converted to UTF-8.
        {"hello", "l+o$", kRe, true},
        {"hello", "^l", kRe, false},
        {"HELLO", "hello", kRe, false},
        {"HELLO", "hello", kReIc, true},
        {"one\r\ntwo\r\nthree", "^three$", kRe, true},
        {"one\r\ntwo\r\nthree", "^two$", kRe, true},
        {"one\r\ntwo\r\nthree", "^hree", kRe, false},
        {"价格123元", "\\d+元", kRe, true},
        {"价格元", "\\d+元", kRe, false},
        {"中文", "[\\u4e00-\\u9fa5]{2}", kRe, true},
        {"中文", "形", kRe, false},
        {"", "", kRe, true},
        // Whole text with a regular expression: the leftmost match must be the whole text.
        {"ab", "a|ab", kReWhole, false},
        {"ab", "ab|a", kReWhole, true},
        {"AB", "ab|a", kReWholeIc, true},
        {"xab", "ab", kReWhole, false},
        {"中文", "中.", kReWhole, true},
    };
    for (const Case& c : cases) {
        const bool got = MatchText(Gb(c.text), Gb(c.query), c.options);
        EXPECT_EQ(got, c.expected)
            << "text \"" << c.text << "\" query \"" << c.query << "\" " << Describe(c.options);
    }
}

TEST(TextMatchTest, InvalidExpressionReportsTheEnginesMessage) {
    const TextMatcher matcher("a(b", {false, false, true});
    EXPECT_FALSE(matcher.valid());
    EXPECT_NE(matcher.error().find("missing closing parenthesis"), std::string::npos)
        << matcher.error();
    EXPECT_NE(matcher.error().find("offset 3"), std::string::npos) << matcher.error();
    EXPECT_FALSE(matcher.Matches("a(b"));
    EXPECT_FALSE(MatchText("a(b", "a(b", {false, false, true}));

    const TextMatcher literal("a(b", {});
    EXPECT_TRUE(literal.valid());
    EXPECT_TRUE(literal.error().empty());
    EXPECT_TRUE(literal.Matches("xa(bx"));
}

TEST(TextMatchTest, CatastrophicPatternsOnAMegabyteFindNothing) {
    const std::string text = std::string(1 << 20, 'a') + "!";
    for (const char* pattern : {"(a+)+$", "(a|a)*b", "(a|aa)+\\d", "(?:a|b)*\\d"}) {
        EXPECT_FALSE(MatchText(text, pattern, {false, false, true})) << pattern;
    }
    // The limits leave ordinary long matches alone.
    EXPECT_TRUE(MatchText(text, "a+!$", {false, true, true}));
}

TEST(TextMatchTest, WildcardToRegex) {
    struct Case {
        const char* wildcard;  // UTF-8
        const char* expected;
    };
    const Case cases[] = {
        {"a*b?.txt", "a.*b.?\\.txt"},
        {"\\^$+.{}[]=()-\"", "\\\\\\^\\$\\+\\.\\{\\}\\[\\]\\=\\(\\)\\-\\\""},
        {"a|b", "a|b"},
        {"淺*", "淺.*"},  // 淺 is 0x9C 0x5C: its trail byte is no backslash
        {"", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(WildcardToRegex(Gb(c.wildcard)), Gb(c.expected)) << c.wildcard;
    }
    // The result works as a search expression.
    const MatchOptions regex{false, true, true};
    EXPECT_TRUE(MatchText("a1b.txt", WildcardToRegex("a*b?.txt"), regex));
    EXPECT_TRUE(MatchText("ab2.txt", WildcardToRegex("a*b?.txt"), regex));
    EXPECT_FALSE(MatchText("ab22.txt", WildcardToRegex("a*b?.txt"), regex));
    EXPECT_FALSE(MatchText("abxtxt", WildcardToRegex("a*b?.txt"), regex));
    EXPECT_TRUE(MatchText(Gb("x淺y.txt"), WildcardToRegex(Gb("*淺?.txt")), regex));
}

// Reference rule, slow and plain: try every character start; compare character by
// character, folding only the ASCII letters of single-byte characters when asked.
bool ReferenceFind(std::string_view text, std::string_view query, bool ignore_case) {
    if (query.empty()) return !text.empty();
    std::set<size_t> boundaries;
    for (size_t p = 0; p < text.size(); p += CharLengthAt(text, p)) boundaries.insert(p);
    boundaries.insert(text.size());
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    for (size_t p : boundaries) {
        if (p + query.size() > text.size()) break;
        if (boundaries.count(p + query.size()) == 0) continue;
        bool same = true;
        for (size_t q = p; same && q < p + query.size(); q += CharLengthAt(text, q)) {
            const size_t length = CharLengthAt(text, q);
            for (size_t i = q; i < q + length; ++i) {
                const bool fold = ignore_case && length == 1;
                same = same &&
                       (fold ? lower(text[i]) == lower(query[i - p]) : text[i] == query[i - p]);
            }
        }
        if (same) return true;
    }
    return false;
}

class Lcg {
public:
    explicit Lcg(uint64_t seed) : state_(seed) {}
    uint32_t Next(uint32_t bound) {
        state_ = state_ * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<uint32_t>(state_ >> 33) % bound;
    }

private:
    uint64_t state_;
};

TEST(TextMatchTest, SubstringSearchAgreesWithTheReferenceOnRandomTexts) {
    // Characters chosen to trip a byte search: letter trail bytes, a lead/trail pair that
    // forms another character, and four-byte sequences ending in a digit.
    std::vector<std::string> tokens;
    for (const char* t :
         {"a", "A", "b", "B", "z", "6", "1", " ", "丄", "乤", "中", "文", "形", "😀", "𠀀", "x"}) {
        tokens.push_back(Gb(t));
    }
    Lcg random(42);
    int checked = 0;
    for (int round = 0; round < 20000; ++round) {
        std::string text;
        for (uint32_t n = random.Next(24); n > 0; --n) text += tokens[random.Next(tokens.size())];
        std::string query;
        if (!text.empty() && random.Next(3) != 0) {
            const size_t from = random.Next(text.size());
            query = text.substr(from, 1 + random.Next(static_cast<uint32_t>(text.size() - from)));
        } else {
            for (uint32_t n = 1 + random.Next(3); n > 0; --n) {
                query += tokens[random.Next(tokens.size())];
            }
        }
        for (char& c : query) {
            if (random.Next(3) == 0 && ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'))) c ^= 32;
        }
        for (bool ignore_case : {false, true}) {
            const bool expected = ReferenceFind(text, query, ignore_case);
            const bool got = TextMatcher(query, {ignore_case, false, false}).Matches(text);
            ASSERT_EQ(got, expected)
                << "round " << round << " ignoreCase " << ignore_case << "\ntext  "
                << Gb18030ToUtf8(text) << "\nquery " << Gb18030ToUtf8(query);
            ++checked;
        }
    }
    EXPECT_EQ(checked, 40000);
}

TEST(TextMatchTest, LongTextsAreSearchedAcrossEveryPart) {
    // Hits placed all over a long text, around every multiple of a few powers of two, with
    // short and long queries, each alone in a text of Chinese filler.
    const std::string filler_unit = Gb("中文内容");
    std::string filler;
    while (filler.size() < 200 * 1024) filler += filler_unit;
    for (size_t query_size : {1u, 2u, 7u, 100u, 9000u, 40000u}) {
        std::string query;
        for (size_t i = 0; query.size() < query_size; ++i) query += static_cast<char>('A' + i % 26);
        std::string lowered = query;
        for (char& c : lowered) c = static_cast<char>(c | 0x20);
        const TextMatcher exact(query, {});
        const TextMatcher folded(lowered, {true, false, false});
        for (size_t block : {4096u, 16384u, 32768u, 65536u}) {
            for (size_t base = block; base < filler.size() - query.size(); base += 3 * block) {
                for (size_t at : {base - 2, base, base + 2}) {
                    std::string text = filler;
                    text.replace(at, query.size(), query);
                    ASSERT_TRUE(exact.Matches(text)) << query_size << " at " << at;
                    ASSERT_TRUE(folded.Matches(text)) << query_size << " at " << at;
                    text[at + query.size() - 1] = '#';
                    ASSERT_FALSE(exact.Matches(text)) << query_size << " at " << at;
                    ASSERT_FALSE(folded.Matches(text)) << query_size << " at " << at;
                }
            }
        }
        std::string at_end = filler + query;
        EXPECT_TRUE(folded.Matches(at_end));
        EXPECT_TRUE(exact.Matches(at_end));
    }
}

}  // namespace
}  // namespace qm
