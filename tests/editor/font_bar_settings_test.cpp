// The font panel restored from and written to a real settings file.
#include "editor/font_bar_settings.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QSlider>

#include "editor/font_bar.h"
#include "editor_test_support.h"
#include "settings/settings_keys.h"
#include "settings/settings_store.h"
#include "support/temp_dir.h"

namespace qm {
namespace {

using testing::Gb;

class FontBarSettingsTest : public ::testing::Test {
protected:
    // Opens the settings file holding `bytes` (UTF-8 here, GB18030 on disk).
    void OpenSettings(const char* utf8Bytes) {
        path_ = dir_.File("settings.ini");
        qm::testing::WriteFileBytes(path_, Gb(utf8Bytes));
        ASSERT_TRUE(store_.open(path_));
        store_.setSection(settings::Gb(settings::kMainSection));
    }

    qm::testing::TempDir dir_;
    std::string path_;
    SettingsStore store_;
    NoteEditor editor_;
    FontBar bar_{editor_};
};

TEST_F(FontBarSettingsTest, FirstStartWritesTheDefaultsBack) {
    OpenSettings("");
    BindFontBarToSettings(bar_, store_);

    const std::string expected =
        Gb("[主界面]\r\n编辑框.字体名称=宋体\r\n编辑框.加粗=假\r\n编辑框.字体大小=11");
    EXPECT_EQ(store_.memoryCopy(), expected);
    EXPECT_EQ(qm::testing::ReadFileBytes(path_), expected);
    EXPECT_EQ(editor_.getFont().name, Gb("宋体"));
    EXPECT_EQ(editor_.getFont().size, 11);
    EXPECT_FALSE(editor_.getFont().bold);
    EXPECT_EQ(bar_.findChild<QCheckBox*>()->text(), QStringLiteral("粗 11号"));
}

TEST_F(FontBarSettingsTest, StoredValuesReachTheEditorAndChangesAreStored) {
    OpenSettings("[主界面]\r\n编辑框.字体名称=楷体\r\n编辑框.加粗=真\r\n编辑框.字体大小=20");
    BindFontBarToSettings(bar_, store_);
    EXPECT_EQ(editor_.getFont().name, Gb("楷体"));
    EXPECT_EQ(editor_.getFont().size, 20);
    EXPECT_TRUE(editor_.getFont().bold);

    QTest::keyClick(bar_.findChild<QSlider*>(), Qt::Key_End);
    EXPECT_EQ(editor_.getFont().size, 100);
    EXPECT_EQ(qm::testing::ReadFileBytes(path_),
              Gb("[主界面]\r\n编辑框.字体名称=楷体\r\n编辑框.加粗=真\r\n编辑框.字体大小=100"));
}

TEST_F(FontBarSettingsTest, UnreadableSizeBecomesTheSmallestSize) {
    // A value that starts with no number reads as 0, which the slider raises to 1.
    OpenSettings("[主界面]\r\n编辑框.字体大小=大");
    BindFontBarToSettings(bar_, store_);
    EXPECT_EQ(editor_.getFont().size, 1);
    EXPECT_NE(store_.memoryCopy().find(Gb("编辑框.字体大小=1")), std::string::npos);
}

}  // namespace
}  // namespace qm
