// The line calculator's core: whole lines rewritten, texts that are no expression, the levels
// and the number forms it reads and writes.
#include "tools/calculator/calculator.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <string>

#include "common/charset.h"

namespace qm {
namespace {

std::string Gb(const std::string& utf8) { return Utf8ToGb18030(utf8); }

struct LineCase {
    const char* line;    // UTF-8, as typed (the part after "=" does not count)
    const char* result;  // UTF-8 rewritten line
};

class RewriteTest : public ::testing::TestWithParam<LineCase> {
protected:
    static const Calculator& calculator() {
        static const Calculator instance;
        return instance;
    }
};

TEST_P(RewriteTest, LineBecomesExpressionEqualsResult) {
    const std::optional<std::string> rewritten = calculator().rewrite(Gb(GetParam().line));
    ASSERT_TRUE(rewritten.has_value()) << GetParam().line;
    EXPECT_EQ(Gb18030ToUtf8(*rewritten), GetParam().result) << GetParam().line;
}

INSTANTIATE_TEST_SUITE_P(
    Calculator, RewriteTest,
    ::testing::Values(
        LineCase{"12+3", "12+3=15"}, LineCase{"12 + 3×2", "12+3*2=18"},
        LineCase{"1/3=", "1/3=0.33(0.3333333333333)"},
        LineCase{"2/3=", "2/3=0.67(0.6666666666667)"}, LineCase{"0.1+0.2=", "0.1+0.2=0.3"},
        LineCase{"1000000*3=", "1000000*3=3e+006"}, LineCase{"2*(3+4)=", "2*(3+4)=14"},
        LineCase{"((2))+0=", "((2))+0=2"}, LineCase{"2^10=", "2^10=1024"},
        LineCase{"9&2=", "9&2=3"}, LineCase{"7%3=", "7%3=1"}, LineCase{"7\\2=", "7\\2=3"},
        LineCase{"-7\\2=", "-7\\2=-3"}, LineCase{"-7%3", "-7%3=-1"}, LineCase{"3×4 =", "3*4=12"},
        LineCase{"１２＋３", "12+3=15"}, LineCase{"3x4X2", "3*4*2=24"}, LineCase{"8÷2", "8/2=4"},
        LineCase{"（1＋2）＊3＝", "(1+2)*3=9"}, LineCase{"1\u30002 + 3", "12+3=15"},
        LineCase{"5/0=", "5/0=5"}, LineCase{"5%0", "5%0=5"}, LineCase{"5\\0", "5\\0=5"},
        LineCase{"0-5=", "0-5=-5"}, LineCase{"0*7=", "0*7=0"}, LineCase{"2^0=", "2^0=1"},
        LineCase{"2^3^2", "2^3^2=64"}, LineCase{"10-2-3", "10-2-3=5"}, LineCase{"2*-3", "2*-3=-6"},
        LineCase{"5--2", "5--2=7"}, LineCase{"1+2*3", "1+2*3=7"}, LineCase{"12+", "12+=12"},
        LineCase{"2(3)+1", "2(3)+1=24"}, LineCase{"()+5", "()+5=5"},
        LineCase{"12+3\r\n45", "12+345=357"}, LineCase{"1+1=5", "1+1=2"},
        LineCase{"1+1＝", "1+1=2"},
        // Intermediate results are written without an exponent and read back whole.
        LineCase{"0.00001*1+1", "0.00001*1+1=1(1.00001)"},
        LineCase{"0.00001*1*100000", "0.00001*1*100000=1"},
        LineCase{"1000000*1000000*1000000+1", "1000000*1000000*1000000+1=1e+018(1e+018)"},
        LineCase{"1/3*3", "1/3*3=1"},
        // Beyond single precision the six digits come from the double.
        LineCase{"10^300*2", "10^300*2=2e+300"}));

class NoExpressionTest : public ::testing::TestWithParam<const char*> {};

TEST_P(NoExpressionTest, ChangesNothing) {
    const Calculator calculator;
    const std::string line = Gb(GetParam());
    EXPECT_FALSE(calculator.rewrite(line).has_value()) << GetParam();
    std::string text = line;
    EXPECT_EQ(calculator.evaluate(text), Calculator::kNotAnExpression) << GetParam();
}

INSTANTIATE_TEST_SUITE_P(Calculator, NoExpressionTest,
                         ::testing::Values("hello", "12", "+-", "", "=", "12+a", "1e5+1", "笔记1+2",
                                           "((2))", "-16777216+0=", "5)+3=", "(5+3=", ")(",
                                           "2*(3+4))", "0^-1", "-4&2", "10^400", "10^200*10^200",
                                           "1+2;3", "1,5+1"));

TEST(CalculatorTest, EvaluateLeavesTheCleanedText) {
    const Calculator calculator;
    std::string text = Gb("１２ ＋ 3×2\r\n");
    EXPECT_DOUBLE_EQ(calculator.evaluate(text), 18);
    EXPECT_EQ(text, "12+3*2");

    std::string words = Gb("ｈｅｌｌｏ ｗｏｒｌｄ");
    EXPECT_EQ(calculator.evaluate(words), Calculator::kNotAnExpression);
    EXPECT_EQ(words, "helloworld") << "full-width letters as ASCII, blanks removed";
}

TEST(CalculatorTest, ReduceLevelAssociatesToTheLeftAndStopsWhenNothingMatches) {
    const Calculator calculator;
    std::string text = "10-2-3*2";
    ASSERT_TRUE(calculator.reduceLevel(3, text));
    EXPECT_EQ(text, "10-2-6") << "only its own level";
    ASSERT_TRUE(calculator.reduceLevel(4, text));
    EXPECT_EQ(text, "2") << "left to right until nothing matches";

    std::string overflow = "10^400+1";
    EXPECT_FALSE(calculator.reduceLevel(1, overflow));
}

TEST(CalculatorTest, ReduceLevelsAppliesThePrecedenceOrder) {
    const Calculator calculator;
    EXPECT_EQ(calculator.reduceLevels("1+2*3^2%4"), "3");
    EXPECT_EQ(calculator.reduceLevels("12+"), "12+");
    EXPECT_EQ(calculator.reduceLevels("1/8"), "0.125");
    EXPECT_EQ(calculator.reduceLevels("0.001*0.001"), "0.000001");
    EXPECT_FALSE(calculator.reduceLevels("-1&2").has_value());
}

TEST(CalculatorTest, LongExpressionEndsAndAddsUp) {
    const Calculator calculator;
    std::string line;
    for (int i = 0; i < 100; ++i) line += "1+";
    line += "1";
    const std::optional<std::string> rewritten = calculator.rewrite(line);
    ASSERT_TRUE(rewritten.has_value());
    EXPECT_EQ(rewritten->substr(rewritten->find('=')), "=101");
}

TEST(CalculatorNumbersTest, LeadingNumberReadsTheLongestDecimalPrefix) {
    struct Case {
        const char* text;
        double value;
    } cases[] = {{"12+", 12}, {"-3.5*2", -3.5}, {"1.2.3", 1.2}, {".5", 0.5},
                 {"+", 0},    {"", 0},          {"-", 0},       {"2e3x", 2000},
                 {"2e", 2},   {"7e-2", 0.07},   {"0.", 0},      {"abc", 0}};
    for (const Case& c : cases) EXPECT_DOUBLE_EQ(LeadingNumber(c.text), c.value) << c.text;
    EXPECT_TRUE(std::isinf(LeadingNumber("1e999")));
}

TEST(CalculatorNumbersTest, PlainNumberTextHasNoExponent) {
    struct Case {
        double value;
        const char* text;
    } cases[] = {{1e-5, "0.00001"},
                 {-1e-5, "-0.00001"},
                 {1e18, "1000000000000000000"},
                 {1.0 / 3, "0.3333333333333"},
                 {0.1 + 0.2, "0.3"},
                 {-0.0, "0"},
                 {123.5, "123.5"}};
    for (const Case& c : cases) EXPECT_EQ(PlainNumberText(c.value), c.text) << c.value;
}

TEST(CalculatorNumbersTest, ResultTextRoundsHalvesAwayFromZero) {
    struct Case {
        double value;
        const char* text;
    } cases[] = {{0.125, "0.13(0.125)"},    {-0.125, "-0.13(-0.125)"},
                 {2.675, "2.68(2.675)"},    {15, "15"},
                 {1234567, "1.23457e+006"}, {0.004, "0(0.004)"}};
    for (const Case& c : cases) EXPECT_EQ(ResultText(c.value), c.text) << c.value;
}

}  // namespace
}  // namespace qm
