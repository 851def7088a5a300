#include "tools/typing/typing_text.h"

#include <gtest/gtest.h>

#include <climits>

#include "common/charset.h"

namespace qm {
namespace {

std::string Gb(const char* utf8) { return Utf8ToGb18030(utf8); }

struct CutCase {
    const char* name;
    std::string text;
    std::vector<std::string> chars;
};

class CutIntoCharactersTest : public ::testing::TestWithParam<CutCase> {};

TEST_P(CutIntoCharactersTest, CutsByTheCharacterRule) {
    const CutCase& c = GetParam();
    int calls = 0;
    const auto chars = CutIntoCharacters(c.text, [&] { ++calls; });
    EXPECT_EQ(chars, c.chars);
    EXPECT_EQ(calls, static_cast<int>(c.chars.size())) << "called once per character";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CutIntoCharactersTest,
    ::testing::Values(CutCase{"Empty", "", {}},
                      CutCase{
                          "LettersLineBreakHan", "ab\r\n" + Gb("中"), {"a", "b", "\r\n", Gb("中")}},
                      CutCase{"LoneCrAndLf", "\r\n\n\r", {"\r\n", "\n", "\r"}},
                      // U+1F600 has no GBK form: four bytes in GB18030, one character.
                      CutCase{"FourByteSequenceIsOne", "x" + Gb("😀") + "y", {"x", Gb("😀"), "y"}},
                      CutCase{"LeadByteTakesAnyNextByte", "\x81\x20z", {"\x81\x20", "z"}},
                      CutCase{"TrailingLeadByteDropped", "a\xb0", {"a"}},
                      CutCase{"TrailingPartOfFourByteKeptAsPairs", "\x81\x30\x81", {"\x81\x30"}}),
    [](const auto& info) { return info.param.name; });

TEST(TypingIntervalTest, ParsesTheLeadingInteger) {
    struct Case {
        const char* text;
        int value;
    } cases[] = {{"200", 200},
                 {"  35ms", 35},
                 {"-5", -5},
                 {"abc", 0},
                 {"", 0},
                 {"+7", 7},
                 {"99999999999", INT_MAX},
                 {"-99999999999", INT_MIN},
                 {"12.9", 12}};
    for (const Case& c : cases) EXPECT_EQ(ParseTypingInterval(c.text), c.value) << c.text;
}

TEST(TypingIntervalTest, WaitIsRoundedUpToTenMillisecondSteps) {
    struct Case {
        int interval;
        int steps;
    } cases[] = {{0, 0}, {-20, 0}, {1, 1}, {10, 1}, {11, 2}, {200, 20}, {INT_MAX, 214748365}};
    for (const Case& c : cases) EXPECT_EQ(TypingWaitSteps(c.interval), c.steps) << c.interval;
}

TEST(TypingRemainingTest, EstimateAndText) {
    struct Case {
        int64_t typed, total;
        int interval;
        const char* text;
    } cases[] = {
        {40, 340, 200, "剩余 1 分钟(40/340)"},
        {337, 340, 200, "剩余 600 毫秒(337/340)"},
        {4, 4, 200, "剩余 0 毫秒(4/4)"},
        {0, 100, 0, "剩余 1 秒(0/100)"},    // 0 is estimated as 10 ms
        {0, 100, -50, "剩余 1 秒(0/100)"},  // so is a negative interval
        {12, 340, 200, "剩余 1 分钟 5 秒(12/340)"},
        // 3,000,000 characters at 2,000,000 ms: far beyond 32 bits.
        {0, 3000000, 2000000, "剩余 192 年 10 月 24 天 10 小时 40 分钟(0/3000000)"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(TypingProgressText(c.typed, c.total, c.interval), Gb(c.text)) << c.text;
    }
    EXPECT_EQ(RemainingTypingMs(0, 3000000, 2000000), int64_t{6000000000000});
}

TEST(TypingPercentTest, IntegerPartOfTheShare) {
    EXPECT_EQ(TypingPercent(0, 0), 0);
    EXPECT_EQ(TypingPercent(1, 3), 33);
    EXPECT_EQ(TypingPercent(2, 3), 66);
    EXPECT_EQ(TypingPercent(3, 3), 100);
    EXPECT_EQ(TypingPercent(2999999999LL, 3000000000LL), 99);
}

}  // namespace
}  // namespace qm
