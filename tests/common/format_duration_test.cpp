#include "common/format_duration.h"

#include <gtest/gtest.h>

#include "common/charset.h"
#include "common/stopwatch.h"

namespace qm {
namespace {

TEST(FormatDurationTest, CompactForm) {
    struct Case {
        double ms;
        const char* utf8;
    } cases[] = {
        {12.34, "12.34 毫秒"},
        {999, "999 毫秒"},
        {1000, "1 秒"},
        {1500, "1.5 秒"},
        {1234.567, "1.23 秒"},
        {1235, "1.24 秒"},  // halves away from zero
        {120000, "2 分"},
        {59999.999999, "1 分"},
        {3600 * 1000.0, "1 时"},
        {36 * 3600 * 1000.0, "1.5 天"},
        {45 * 86400 * 1000.0, "1.5 月"},
        {540 * 86400 * 1000.0, "1.5 年"},
    };
    for (const Case& c : cases) EXPECT_EQ(FormatDuration(c.ms), Utf8ToGb18030(c.utf8)) << c.ms;
}

TEST(FormatDurationTest, DetailedForm) {
    struct Case {
        int64_t ms;
        const char* utf8;
    } cases[] = {
        {90061000, "1 天 1 小时 1 分钟 1 秒"},
        {250, "250 毫秒"},
        {0, "0 毫秒"},
        {60000, "1 分钟"},
        {3601000, "1 小时 1 秒"},
        {int64_t(400) * 86400 * 1000, "1 年 1 月 10 天"},
    };
    for (const Case& c : cases) EXPECT_EQ(FormatDurationDetailed(c.ms), Utf8ToGb18030(c.utf8)) << c.ms;
}

TEST(StopwatchTest, ElapsedTextEndsWithSuffix) {
    Stopwatch watch;
    const std::string text = watch.ElapsedText("done");
    EXPECT_GE(watch.ElapsedMs(), 0.0);
    ASSERT_GT(text.size(), 5u);
    EXPECT_EQ(text.substr(text.size() - 5), " done");
    EXPECT_NE(text.find(Utf8ToGb18030("毫秒")), std::string::npos);
}

}  // namespace
}  // namespace qm
