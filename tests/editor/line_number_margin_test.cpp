#include "editor/line_number_margin.h"

#include <gtest/gtest.h>

namespace qm {
namespace {

TEST(LineNumberMarginTest, WidthIsDigitsOfTheLineCountTimesDigitWidthPlusPadding) {
    struct Case {
        int lines;
        int digitWidth;
        int width;
    };
    const Case cases[] = {
        {1, 9, 14},
        {9, 9, 14},
        {10, 9, 23},
        {99, 9, 23},
        {100, 9, 32},
        {999, 9, 32},
        {1000, 9, 41},
        {123456, 9, 59},
        {0, 9, 14},
        // Narrower digits keep 9 pixels each; wider ones get their own width.
        {1, 7, 14},
        {10, 0, 23},
        {1, 12, 17},
        {10, 12, 29},
        {100, 10, 35},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(LineNumberMarginWidth(c.lines, c.digitWidth), c.width)
            << c.lines << " lines, digit width " << c.digitWidth;
    }
}

}  // namespace
}  // namespace qm
