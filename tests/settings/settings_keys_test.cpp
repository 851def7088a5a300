#include "settings/settings_keys.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>

#include "common/charset.h"
#include "settings/settings_store.h"

namespace qm::settings {
namespace {

TEST(SettingsKeysTest, KeysAreUniqueAndFitTheFileFormat) {
    std::set<std::pair<bool, std::string_view>> seen;
    for (const SettingInfo& info : kAllSettings) {
        SCOPED_TRACE(std::string(info.key));
        EXPECT_TRUE(seen.insert({info.placement, info.key}).second) << "spelled twice";
        const std::string gb = Gb(info.key);
        EXPECT_EQ(Gb18030ToUtf8(gb), info.key);
        EXPECT_EQ(gb.find_first_of("=\r\n"), std::string::npos);
        EXPECT_NE(gb.front(), '[');
    }
}

TEST(SettingsKeysTest, ReadFallsBackToTheTableOrTheCurrentValue) {
    SettingsStore store;  // memory only
    store.setSection(Gb(kMainSection));
    EXPECT_EQ(Read(store, kEditorFontSize, 99), 11);
    EXPECT_EQ(Read(store, kEditorFontName, "x"), Gb("宋体"));
    EXPECT_FALSE(Read(store, kEditorFontBold, true));
    EXPECT_EQ(Read(store, kSpeechVolume), 100);
    EXPECT_EQ(Read(store, kSampleRate), 3);
    EXPECT_TRUE(Read(store, kSearchIgnoreCase, true));
    EXPECT_FALSE(Read(store, kSearchIgnoreCase, false));
    EXPECT_EQ(Read(store, kSplitterLeft, 250), 250);
    EXPECT_EQ(Read(store, kSearchText, Gb("旧")), Gb("旧"));
    EXPECT_EQ(Read(store, kPathHistory, "x"), "");
    EXPECT_EQ(store.memoryCopy(), "");
}

TEST(SettingsKeysTest, WrittenValuesWinOverFallbacks) {
    SettingsStore store;
    store.setSection(Gb(kMainSection));
    EXPECT_TRUE(Write(store, kEditorFontSize, 14));
    EXPECT_TRUE(Write(store, kSearchIgnoreCase, false));
    EXPECT_TRUE(Write(store, kSearchHistory, Gb("甲\r\n乙")));
    EXPECT_EQ(Read(store, kEditorFontSize, 99), 14);
    EXPECT_FALSE(Read(store, kSearchIgnoreCase, true));
    EXPECT_EQ(Read(store, kSearchHistory), Gb("甲\r\n乙"));
    EXPECT_EQ(store.memoryCopy(),
              Gb("[主界面]\r\n编辑框.字体大小=14\r\n选择框忽略大小写=假\r\n查找历史=甲┊*┊乙"));
}

TEST(SettingsKeysTest, RawTextIsWrittenAndReadUnchanged) {
    SettingsStore store;
    store.setSection(Gb(kMainSection));
    const std::string value = Gb("甲┊*┊乙");
    EXPECT_TRUE(Write(store, kPathHistory, value));
    EXPECT_TRUE(Write(store, kSearchHistory, value));
    EXPECT_EQ(Read(store, kPathHistory), value);
    EXPECT_EQ(Read(store, kSearchHistory), Gb("甲\r\n乙"));
}

TEST(SettingsKeysTest, ToolbarKeysCarryTheButtonIndex) {
    SettingsStore store;
    store.setSection(Gb(kMainSection));
    EXPECT_EQ(ToolbarVisibleKey(8), Gb("工具条显示.8"));
    EXPECT_EQ(store.readBool(ToolbarVisibleKey(13), kToolbarVisibleFallback), false);
    store.writeBool(ToolbarVisibleKey(13), true);
    EXPECT_EQ(store.memoryCopy(), Gb("[主界面]\r\n工具条显示.13=真"));
}

}  // namespace
}  // namespace qm::settings
