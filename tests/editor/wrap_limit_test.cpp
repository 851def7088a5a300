#include "editor/wrap_limit.h"

#include <gtest/gtest.h>

#include <string>

namespace qm {
namespace {

TEST(WrapLimitTest, CountsEveryKindOfLineBreakOnce) {
    struct Case {
        const char* text;
        size_t lines;
    };
    const Case cases[] = {
        {"", 1},         {"a", 1},   {"a\r\nb", 2}, {"a\nb", 2},     {"a\rb", 2},
        {"\r\n\r\n", 3}, {"a\r", 2}, {"\n\r", 3},   {"a\r\r\nb", 3}, {"a\n\nb\r\n", 4},
    };
    for (const Case& c : cases) EXPECT_EQ(CountLines(c.text), c.lines) << c.text;
}

// Lines of `count` short lines joined by CR LF.
std::string Lines(size_t count) {
    std::string text;
    for (size_t i = 0; i < count; ++i) text += i == 0 ? "x" : "\r\nx";
    return text;
}

TEST(WrapLimitTest, WrapsOnlyWithinBothLimits) {
    struct Case {
        const char* what;
        std::string text;
        bool wraps;
    };
    const Case cases[] = {
        {"empty", "", true},
        {"bytes at the limit", std::string(kWrapByteLimit, 'a'), true},
        {"one byte over", std::string(kWrapByteLimit + 1, 'a'), false},
        {"lines at the limit", Lines(kWrapLineLimit), true},
        {"one line over", Lines(kWrapLineLimit + 1), false},
    };
    for (const Case& c : cases) EXPECT_EQ(WrapsText(c.text), c.wraps) << c.what;
}

}  // namespace
}  // namespace qm
