// The font panel: restore, the three controls applying to the editor, the face list.
#include "editor/font_bar.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QFocusEvent>
#include <QFontDatabase>
#include <QLineEdit>
#include <QSet>
#include <QSignalSpy>
#include <QSlider>
#include <QVBoxLayout>

#include "common/qt_text.h"
#include "editor_test_support.h"

namespace qm {
namespace {

using testing::Gb;

class FontBarTest : public ::testing::Test {
protected:
    FontBarTest() : editor_(new NoteEditor({}, &window_)), bar_(new FontBar(*editor_, &window_)) {
        auto* layout = new QVBoxLayout(&window_);
        layout->addWidget(bar_);
        layout->addWidget(editor_);
        face_ = bar_->findChild<QComboBox*>(QStringLiteral("组合框字体名"));
        bold_ = bar_->findChild<QCheckBox*>(QStringLiteral("选择框加粗"));
        size_ = bar_->findChild<QSlider*>(QStringLiteral("滑块条大小"));
        window_.resize(500, 300);
    }

    // The values of the last `applied` signal.
    static FontPanelValues Last(const QSignalSpy& spy) {
        return spy.last().at(0).value<FontPanelValues>();
    }

    QWidget window_;
    NoteEditor* editor_;
    FontBar* bar_;
    QComboBox* face_ = nullptr;
    QCheckBox* bold_ = nullptr;
    QSlider* size_ = nullptr;
};

TEST_F(FontBarTest, ControlsCarryTheirNames) {
    ASSERT_NE(face_, nullptr);
    ASSERT_NE(bold_, nullptr);
    ASSERT_NE(size_, nullptr);
    EXPECT_TRUE(face_->isEditable());
    EXPECT_EQ(face_->count(), 0) << "the list starts empty";
    EXPECT_EQ(size_->minimum(), 1);
    EXPECT_EQ(size_->maximum(), 100);
}

TEST_F(FontBarTest, RestoreFillsTheControlsAndAppliesOnce) {
    ASSERT_NE(face_, nullptr);
    QSignalSpy applied(bar_, &FontBar::applied);
    bar_->restore({Gb("宋体"), false, 11});

    ASSERT_EQ(applied.count(), 1);
    EXPECT_EQ(Last(applied), (FontPanelValues{Gb("宋体"), false, 11}));
    EXPECT_EQ(face_->currentText(), QStringLiteral("宋体"));
    EXPECT_EQ(bold_->text(), QStringLiteral("粗 11号"));
    const FontSpec font = editor_->getFont();
    EXPECT_EQ(font.name, Gb("宋体"));
    EXPECT_EQ(font.size, 11);
    EXPECT_FALSE(font.bold);
}

TEST_F(FontBarTest, RestoreMovesSizesOutsideTheSliderRangeToTheNearerEnd) {
    struct Case {
        int stored;
        int applied;
    };
    const Case cases[] = {{0, 1}, {-3, 1}, {1, 1}, {100, 100}, {150, 100}, {37, 37}};
    for (const Case& c : cases) {
        QSignalSpy applied(bar_, &FontBar::applied);
        bar_->restore({"Arial", true, c.stored});
        ASSERT_EQ(applied.count(), 1) << c.stored;
        EXPECT_EQ(Last(applied).size, c.applied) << c.stored;
        EXPECT_EQ(editor_->getFont().size, c.applied) << c.stored;
        EXPECT_TRUE(editor_->getFont().bold) << c.stored;
    }
}

TEST_F(FontBarTest, SliderAppliesTheSizeLiveAndDownToOnePoint) {
    ASSERT_NE(size_, nullptr);
    bar_->restore({"Arial", false, 11});
    QSignalSpy applied(bar_, &FontBar::applied);

    QTest::keyClick(size_, Qt::Key_Right);
    EXPECT_EQ(editor_->getFont().size, 12);
    QTest::keyClick(size_, Qt::Key_Home);
    EXPECT_EQ(editor_->getFont().size, 1);
    EXPECT_EQ(bold_->text(), QStringLiteral("粗 1号"));
    ASSERT_EQ(applied.count(), 2);
    EXPECT_EQ(Last(applied), (FontPanelValues{"Arial", false, 1}));
    EXPECT_EQ(editor_->getFont().name, "Arial") << "the other fields stay";
}

TEST_F(FontBarTest, ClickingBoldAppliesIt) {
    ASSERT_NE(bold_, nullptr);
    bar_->restore({"Arial", false, 14});
    window_.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window_));
    QSignalSpy applied(bar_, &FontBar::applied);

    QTest::mouseClick(bold_, Qt::LeftButton, {}, QPoint(5, bold_->height() / 2));
    ASSERT_EQ(applied.count(), 1);
    EXPECT_TRUE(editor_->getFont().bold);
    EXPECT_EQ(Last(applied), (FontPanelValues{"Arial", true, 14}));
    EXPECT_EQ(bold_->text(), QStringLiteral("粗 14号"));

    QTest::mouseClick(bold_, Qt::LeftButton, {}, QPoint(5, bold_->height() / 2));
    EXPECT_FALSE(editor_->getFont().bold);
}

TEST_F(FontBarTest, EnterInTheFaceFieldAppliesTheTypedName) {
    ASSERT_NE(face_, nullptr);
    bar_->restore({"Arial", false, 11});
    QSignalSpy applied(bar_, &FontBar::applied);

    // Chinese face names arrive through the input method, so the typed text is set directly.
    face_->lineEdit()->setText(QStringLiteral("楷体"));
    QTest::keyClicks(face_, "2");
    EXPECT_EQ(applied.count(), 0) << "typing alone applies nothing";
    QTest::keyClick(face_, Qt::Key_Return);
    ASSERT_EQ(applied.count(), 1);
    EXPECT_EQ(Last(applied).name, Gb("楷体2"));
    EXPECT_EQ(editor_->getFont().name, Gb("楷体2"));
    EXPECT_EQ(face_->count(), 0) << "Enter does not add the name to the list";
}

TEST_F(FontBarTest, FirstFocusFillsTheFaceListOnceAndKeepsTheTypedFace) {
    ASSERT_NE(face_, nullptr);
    bar_->restore({Gb("宋体"), false, 11});
    QSignalSpy applied(bar_, &FontBar::applied);

    QFocusEvent focusIn(QEvent::FocusIn, Qt::TabFocusReason);
    QCoreApplication::sendEvent(face_, &focusIn);

    QSet<QString> expected;
    for (const QString& family : QFontDatabase::families()) {
        if (!family.isEmpty()) expected.insert(family);
    }
    ASSERT_FALSE(expected.isEmpty()) << "this machine has no fonts to list";
    QSet<QString> listed;
    for (int i = 0; i < face_->count(); ++i) listed.insert(face_->itemText(i));
    EXPECT_EQ(face_->count(), listed.size()) << "no duplicates";
    EXPECT_EQ(listed, expected);
    EXPECT_EQ(face_->currentText(), QStringLiteral("宋体"));
    EXPECT_EQ(applied.count(), 0) << "filling the list applies nothing";

    QCoreApplication::sendEvent(face_, &focusIn);
    EXPECT_EQ(face_->count(), listed.size());
}

TEST_F(FontBarTest, EnterOnAListedFaceAppliesItOnce) {
    ASSERT_NE(face_, nullptr);
    bar_->restore({"Arial", false, 11});
    QFocusEvent focusIn(QEvent::FocusIn, Qt::TabFocusReason);
    QCoreApplication::sendEvent(face_, &focusIn);
    ASSERT_GE(face_->count(), 1);
    const QString listed = face_->itemText(face_->count() - 1);
    QSignalSpy applied(bar_, &FontBar::applied);

    face_->lineEdit()->setText(listed);
    QTest::keyClick(face_, Qt::Key_Return);
    ASSERT_EQ(applied.count(), 1);
    EXPECT_EQ(editor_->getFont().name, ToGb(listed));
}

TEST_F(FontBarTest, ChoosingAListedFaceAppliesIt) {
    ASSERT_NE(face_, nullptr);
    bar_->restore({"no such face", false, 11});
    QFocusEvent focusIn(QEvent::FocusIn, Qt::TabFocusReason);
    QCoreApplication::sendEvent(face_, &focusIn);
    ASSERT_GE(face_->count(), 2);
    QSignalSpy applied(bar_, &FontBar::applied);

    QTest::keyClick(face_, Qt::Key_Down);
    ASSERT_EQ(applied.count(), 1);
    const QString chosen = face_->currentText();
    EXPECT_EQ(Last(applied).name, ToGb(chosen));
    EXPECT_EQ(editor_->getFont().name, ToGb(chosen));
}

}  // namespace
}  // namespace qm
