#include "tools/speech/word_span.h"

#include <gtest/gtest.h>

namespace qm {
namespace {

TEST(WordSpanTest, CharactersBecomeEditorBytes) {
    // 你(3) 好(3) CR LF a 😀(4) b
    const std::string text = "你好\r\na😀b";
    struct Case {
        int position, length;
        int start, bytes;
    } cases[] = {
        {0, 1, 0, 3},  {1, 1, 3, 3}, {2, 2, 6, 2},  {4, 1, 8, 1},   {5, 1, 9, 4},  {6, 1, 13, 1},
        {0, 7, 0, 14}, {5, 9, 9, 5}, {7, 1, 14, 0}, {40, 2, 14, 0}, {-3, 1, 0, 3}, {1, -2, 3, 0},
    };
    for (const Case& c : cases) {
        const ByteSpan span = Utf8SpanOfChars(text, c.position, c.length);
        EXPECT_EQ(span.start, c.start) << c.position << "+" << c.length;
        EXPECT_EQ(span.length, c.bytes) << c.position << "+" << c.length;
    }
}

}  // namespace
}  // namespace qm
