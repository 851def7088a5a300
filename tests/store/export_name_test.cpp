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

TEST(ExportFileNameTest, StrayHighByteDoesNotHideTheCharacterAfterIt) {
    // A high byte followed by a byte that cannot end a two-byte character: that byte is a
    // character of its own and follows the rules, so no slash reaches the file name.
    const std::pair<std::string, std::string> cases[] = {
        {"\xFF/..", "\xFF" + Utf8ToGb18030("／..")},
        {"\x81/x\x81:y", "\x81" + Utf8ToGb18030("／x") + "\x81" + Utf8ToGb18030("：y")},
        {"\x80\\", "\x80" + Utf8ToGb18030("＼")},
        {"\xFE\r\nz", "\xFEz"},
        {"\xA1\"q", "\xA1q"},
        {"\xA1\xA1/", "\xA1\xA1" + Utf8ToGb18030("／")},  // a real character, then the slash
        {"x\xFF", "x\xFF"},                               // a lead byte at the end
    };
    for (const auto& [title, name] : cases) {
        const std::string made = ExportFileName(title);
        EXPECT_EQ(made, name) << title;
        EXPECT_EQ(Gb18030ToUtf8(SafeComponent(made, 240)).find('/'), std::string::npos) << title;
    }
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

TEST(SafeComponentTest, CutNeverLeavesDots) {
    // A name cut short to "." or ".." still names no folder of its own.
    const std::string dot = Utf8ToGb18030("．");
    const struct {
        std::string name;
        size_t maxBytes;
        std::string component;
    } cases[] = {
        {"." + Utf8ToGb18030("字"), 1, ""},       // "．" does not fit either
        {"." + Utf8ToGb18030("字"), 3, dot},      // the cut "." turns full-width
        {".." + Utf8ToGb18030("字"), 4, dot},     // "．．" cut to what fits
        {"..", 6, dot + dot},                     // no cut: the dots alone
        {"..." + Utf8ToGb18030("字"), 3, "..."},  // three dots are a name
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SafeComponent(c.name, c.maxBytes), c.component) << c.name << " " << c.maxBytes;
    }
}

TEST(SafeComponentTest, CutNameFitsWhenStrayBytesDecodeDifferentlyTogether) {
    // Stray bytes next to digits read as one four-byte character in the whole name but not
    // one character at a time: the cut is measured on the name as it will be written.
    const std::string name =
        std::string("0\0\0\xB3\xE0\xFF", 6) + Utf8ToGb18030("＊") + "8\xA1" + "3l";
    for (size_t maxBytes = 0; maxBytes <= 24; ++maxBytes) {
        const std::string cut = SafeComponent(name, maxBytes);
        EXPECT_LE(Gb18030ToUtf8(cut).size(), maxBytes) << maxBytes;
        EXPECT_EQ(name.compare(0, cut.size(), cut), 0) << maxBytes;  // a prefix of the name
    }
}

}  // namespace
}  // namespace qm
