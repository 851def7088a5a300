#include "common/chars.h"

#include <gtest/gtest.h>

namespace qm {
namespace {

TEST(CharsTest, CharacterLengths) {
    struct Case {
        std::string text;
        size_t pos;
        size_t length;
    } cases[] = {
        {"ab", 0, 1},
        {"\r\nx", 0, 2},
        {"\rx", 0, 1},
        {"\n\r", 0, 1},
        {"\xB1\xCA", 0, 2},            // a GBK character
        {"\xB1", 0, 1},                // a lead byte at the end
        {"\x95\x32\x82\x36z", 0, 4},   // a four-byte GB18030 sequence
        {"\x95\x32\x82", 0, 2},        // too short for four bytes
        {"\x81\x41\x82\x36", 0, 2},    // second byte not a digit: a double-byte character
        {"ab", 2, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CharLengthAt(c.text, c.pos), c.length) << "text of " << c.text.size() << " bytes";
    }
}

TEST(CharsTest, CountAndCut) {
    const std::string text = "a\r\n\xB1\xCA\x95\x32\x82\x36" "b";
    EXPECT_EQ(CountChars(text), 5u);
    EXPECT_EQ(CutChars(text, 0), "");
    EXPECT_EQ(CutChars(text, 2), "a\r\n");
    EXPECT_EQ(CutChars(text, 4), "a\r\n\xB1\xCA\x95\x32\x82\x36");
    EXPECT_EQ(CutChars(text, 99), text);
}

}  // namespace
}  // namespace qm
