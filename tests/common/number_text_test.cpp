#include "common/number_text.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <string>

#include "support/temp_dir.h"

namespace qm {
namespace {

TEST(NumberTextTest, DoubleWithThirteenDigits) {
    struct Case {
        double value;
        const char* text;
    } cases[] = {
        {11, "11"},
        {0.5, "0.5"},
        {-0.0, "0"},
        {1.0 / 3, "0.3333333333333"},
        {1e20, "1e+020"},
        {1.5e-7, "1.5e-007"},
        {123456789, "123456789"},
        {1234567890123456.0, "1.234567890123e+015"},
        {2.0 / 3 * 3, "2"},
        {1e100, "1e+100"},
        {-42.25, "-42.25"},
    };
    for (const Case& c : cases) EXPECT_EQ(NumberText(c.value), c.text) << c.value;
}

TEST(NumberTextTest, SingleWithSixDigits) {
    EXPECT_EQ(NumberTextSingle(1000000.0f), "1e+006");
    EXPECT_EQ(NumberTextSingle(123456.0f), "123456");
    EXPECT_EQ(NumberTextSingle(0.1f), "0.1");
}

TEST(NumberTextTest, DigitsChosenByTheCaller) {
    EXPECT_EQ(NumberTextDigits(2.0 / 3, 6), "0.666667");
    EXPECT_EQ(NumberTextDigits(1e300, 6), "1e+300");
    EXPECT_EQ(NumberTextDigits(0.26, 0), "0.3") << "fewer than one digit is one";
}

// A process locale with a decimal comma (Qt sets the locale from the environment) must not
// reach the number text. The locale is compiled into a temporary folder, so the test needs
// no locale installed system-wide, only the locale sources of the "locales" package.
TEST(NumberTextTest, DecimalPointWhateverTheProcessLocale) {
    testing::TempDir dir;
    const std::string command =
        "localedef -i de_DE -f ISO-8859-1 '" + dir.File("de_DE") + "' >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0) GTEST_SKIP() << "localedef cannot build de_DE";
    setenv("LOCPATH", dir.path().c_str(), 1);
    const char* set = std::setlocale(LC_NUMERIC, "de_DE");
    ASSERT_NE(set, nullptr) << "the comma locale did not load";
    ASSERT_EQ(std::string(std::localeconv()->decimal_point), ",");

    const std::string half = NumberText(0.5);
    const std::string third = NumberTextSingle(1.0f / 3);
    const std::string small = NumberText(1.5e-7);
    std::setlocale(LC_NUMERIC, "C");
    unsetenv("LOCPATH");
    EXPECT_EQ(half, "0.5");
    EXPECT_EQ(third, "0.333333");
    EXPECT_EQ(small, "1.5e-007");
}

}  // namespace
}  // namespace qm
