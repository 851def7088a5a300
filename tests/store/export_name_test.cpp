// File names made from titles: full-width forms, removed characters, whole characters only.
#include "store/export_name.h"

#include <gtest/gtest.h>

#include "common/charset.h"

namespace qm {
namespace {

std::string Name(const std::string& utf8) {
    return Gb18030ToUtf8(ExportFileName(Utf8ToGb18030(utf8)));
}

TEST(ExportFileNameTest, ReplacesRemovesAndKeeps) {
    const std::pair<const char*, const char*> cases[] = {
        {"a/b:c", "a／b：c"},
        {"\\*?|<>", "＼＊？｜＜＞"},
        {"say \"hi\"", "say hi"},
        {"line\r\nbreak\rx\ny\tz", "linebreakxyz"},
        {"\"\t\"", ""},
        {"笔记 一", "笔记 一"},
        {".", "."},
    };
    for (const auto& [title, name] : cases) EXPECT_EQ(Name(title), name) << title;
}

TEST(ExportFileNameTest, SecondByteOfACharacterIsNotTakenForABackslash) {
    // 0x5C and 0x7C are also second bytes of two-byte characters.
    const std::string title = "\x81\x5C\x81\x7C";
    EXPECT_EQ(ExportFileName(title), title);
}

TEST(SafeComponentTest, DotsBecomeFullWidthAndLongNamesAreCut) {
    EXPECT_EQ(Gb18030ToUtf8(SafeComponent(".", 240)), "．");
    EXPECT_EQ(Gb18030ToUtf8(SafeComponent("..", 240)), "．．");
    EXPECT_EQ(SafeComponent("...", 240), "...");
    EXPECT_EQ(SafeComponent("", 240), "");
    std::string longName;
    for (int i = 0; i < 100; ++i) longName += Utf8ToGb18030("字");  // 3 bytes each in UTF-8
    const std::string cut = SafeComponent(longName, 240);
    EXPECT_EQ(Gb18030ToUtf8(cut).size(), 240u);
    EXPECT_EQ(cut, longName.substr(0, 160));
}

}  // namespace
}  // namespace qm
