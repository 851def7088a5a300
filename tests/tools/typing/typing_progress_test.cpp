#include "tools/typing/typing_progress.h"

#include <gtest/gtest.h>

namespace qm {
namespace {

TEST(TypingProgressTest, ShowReportsOnlyAChangedValue) {
    TypingProgress progress;
    EXPECT_TRUE(progress.Show(0, "a"));
    EXPECT_FALSE(progress.Show(0, "b"));
    EXPECT_EQ(progress.text(), "b") << "the text follows every call";
    EXPECT_TRUE(progress.Show(50, "c"));
    progress.Reset();
    EXPECT_EQ(progress.text(), "");
    EXPECT_TRUE(progress.Show(50, "d")) << "after a reset the same value paints again";
}

TEST(TypingProgressTest, FillWidthIsValueTimesAHundredthOfTheArea) {
    struct Case {
        int value, width, fill;
    } cases[] = {{0, 400, 0},  {25, 400, 100}, {100, 400, 400}, {150, 400, 400},
                 {-3, 400, 0}, {33, 7, 2},     {50, 0, 0}};
    for (const Case& c : cases) {
        TypingProgress progress;
        progress.Show(c.value, "");
        EXPECT_EQ(progress.FillWidth(c.width), c.fill) << c.value << " of " << c.width;
    }
}

}  // namespace
}  // namespace qm
