#include "common/charset.h"

#include <gtest/gtest.h>

namespace qm {
namespace {

TEST(CharsetTest, ChineseRoundTripsBetweenUtf8AndGb18030) {
    const std::string utf8 = "笔记本 notes，回收站";
    const std::string gb = Utf8ToGb18030(utf8);
    // 笔 is B1 CA in GBK.
    ASSERT_GE(gb.size(), 2u);
    EXPECT_EQ(gb.substr(0, 2), "\xB1\xCA");
    EXPECT_EQ(Gb18030ToUtf8(gb), utf8);
}

TEST(CharsetTest, CharactersOutsideGbkSurviveAsFourByteSequences) {
    // An emoji and a CJK extension B ideograph have no GBK form.
    const std::string utf8 = "a\xF0\x9F\x98\x80" "b\xF0\xA0\x80\x80";
    const std::string gb = Utf8ToGb18030(utf8);
    EXPECT_EQ(gb.size(), 1u + 4 + 1 + 4);
    EXPECT_EQ(gb.find('?'), std::string::npos);
    EXPECT_EQ(Gb18030ToUtf8(gb), utf8);
}

TEST(CharsetTest, MalformedInputIsReplacedAndTheRestKept) {
    EXPECT_EQ(Utf8ToGb18030("x\xFFy"), "x?y");
    EXPECT_EQ(Gb18030ToUtf8("x\xFFy"), "x\xEF\xBF\xBDy");
    // A lead byte at the end of the input.
    EXPECT_EQ(Gb18030ToUtf8("ab\xB1"), "ab\xEF\xBF\xBD");
}

TEST(CharsetTest, EveryDoubleByteCharacterDecodesAsIconvDoes) {
    // The fast decoder's table against iconv itself, pair by pair, with a byte of context
    // on each side so that an invalid pair's fallback is covered too.
    for (int lead = 0x81; lead <= 0xFE; ++lead) {
        for (int trail = 0x30; trail <= 0xFF; ++trail) {
            const std::string gb = {'<', static_cast<char>(lead), static_cast<char>(trail), '>'};
            std::string expected;
            ASSERT_TRUE(ConvertCharset(gb, "GB18030", "UTF-8", "\xEF\xBF\xBD", &expected));
            if (trail >= 0x30 && trail <= 0x39) continue;  // a four-byte sequence cut short
            ASSERT_EQ(Gb18030ToUtf8(gb), expected) << std::hex << lead << " " << trail;
        }
    }
}

TEST(CharsetTest, FourByteSequencesDecodeAsIconvDoes) {
    // Two-byte-plane characters outside GBK (U+0080, U+FFFF area) and supplementary ones.
    const std::string samples[] = {"\x81\x30\x81\x30", "\x84\x31\xA4\x39", "\x90\x30\x81\x30",
                                   "\xE3\x32\x9A\x35", "\x95\x32\x82\x36"};
    for (const std::string& sample : samples) {
        std::string expected;
        ASSERT_TRUE(ConvertCharset(sample, "GB18030", "UTF-8", "?", &expected));
        EXPECT_EQ(Gb18030ToUtf8("a" + sample + "b"), "a" + expected + "b");
        EXPECT_EQ(Utf8ToGb18030(expected), sample);
    }
}

TEST(CharsetTest, UnknownCharsetFails) {
    std::string out = "old";
    EXPECT_FALSE(ConvertCharset("abc", "NO-SUCH-CHARSET", "UTF-8", "?", &out));
    EXPECT_TRUE(out.empty());
}

TEST(CharsetTest, LargeInputConvertsCompletely) {
    std::string utf8;
    for (int i = 0; i < 50000; ++i) utf8 += "中文ab";
    const std::string gb = Utf8ToGb18030(utf8);
    EXPECT_EQ(gb.size(), 50000u * 6);
    EXPECT_EQ(Gb18030ToUtf8(gb), utf8);
}

TEST(CharsetTest, AsciiIsDetected) {
    EXPECT_TRUE(IsAscii(""));
    EXPECT_TRUE(IsAscii("plain text\r\n"));
    EXPECT_FALSE(IsAscii("a\x80"));
}

}  // namespace
}  // namespace qm
