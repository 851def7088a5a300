#include "common/number_text.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace qm
