// Hovering over links and clicking them: the hand pointer, the current link and which click
// asks for the link to be opened.
#include "editor/link_clicks.h"

#include <gtest/gtest.h>

#include <QSignalSpy>

#include "editor/link_styler.h"
#include "editor_test_support.h"

namespace qm {
namespace {

using testing::Gb;
using testing::ShownEditor;
using testing::ViewOf;
using Sci = QsciScintillaBase;

class LinkClicksTest : public ::testing::Test {
protected:
    void SetUp() override {
        editor_ = ShownEditor();
        ASSERT_NE(editor_, nullptr);
        styler_ = std::make_unique<LinkStyler>(*editor_);
        clicks_ = std::make_unique<LinkClicks>(*editor_, *styler_);
        editor_->setText(Gb("open www.a.cn now"));
    }
    int cursor() const {
        return static_cast<int>(ViewOf(*editor_)->SendScintilla(Sci::SCI_GETCURSOR));
    }

    std::unique_ptr<NoteEditor> editor_;
    std::unique_ptr<LinkStyler> styler_;
    std::unique_ptr<LinkClicks> clicks_;
};

TEST_F(LinkClicksTest, RestingOnALinkShowsTheHandAndLeavingItTheArrow) {
    emit editor_->mouseHover(7, false);
    EXPECT_EQ(clicks_->currentLink(), "www.a.cn");
    EXPECT_EQ(clicks_->cursorShape(), NoteEditor::kHandCursor);
    EXPECT_EQ(cursor(), NoteEditor::kHandCursor);

    clicks_->onHover(1, false);
    EXPECT_EQ(clicks_->currentLink(), "");
    EXPECT_EQ(cursor(), NoteEditor::kNormalCursor);

    clicks_->onHover(7, false);
    clicks_->onHover(7, true);
    EXPECT_EQ(clicks_->currentLink(), "") << "the rest ended";
    EXPECT_EQ(cursor(), NoteEditor::kNormalCursor);
}

TEST_F(LinkClicksTest, ClickOpensPerChosenAction) {
    struct Case {
        int action;
        bool single;
        bool twice;
    } cases[] = {{LinkClicks::kNoAction, false, false},
                 {LinkClicks::kSingleClick, true, false},
                 {LinkClicks::kDoubleClick, false, true},
                 {7, false, false}};
    for (const Case& c : cases) {
        clicks_->setLinkAction(c.action);
        clicks_->onHover(7, false);
        QSignalSpy opened(clicks_.get(), &LinkClicks::openRequested);
        clicks_->onLeftButtonReleased();
        EXPECT_EQ(opened.count(), c.single ? 1 : 0) << "action " << c.action;
        clicks_->onDoubleClicked();
        EXPECT_EQ(opened.count(), (c.single ? 1 : 0) + (c.twice ? 1 : 0)) << "action " << c.action;
        if (!opened.isEmpty()) {
            EXPECT_EQ(opened.first().first().toString(), QStringLiteral("www.a.cn"));
        }
        EXPECT_EQ(clicks_->cursorShape(),
                  c.single || c.twice ? NoteEditor::kHandCursor : NoteEditor::kNormalCursor)
            << "no hand while clicks open nothing";
    }
}

TEST_F(LinkClicksTest, ClickWithoutRestingOpensNothing) {
    QSignalSpy opened(clicks_.get(), &LinkClicks::openRequested);
    clicks_->onLeftButtonReleased();
    EXPECT_TRUE(opened.isEmpty());
}

TEST_F(LinkClicksTest, ReleaseThatEndsADragSelectionOpensNothing) {
    clicks_->onHover(7, false);
    QSignalSpy opened(clicks_.get(), &LinkClicks::openRequested);
    editor_->showRange(5, 6);
    emit editor_->leftButtonReleased();
    EXPECT_TRUE(opened.isEmpty());
    editor_->showRange(7, 0);
    emit editor_->leftButtonReleased();
    EXPECT_EQ(opened.count(), 1);
}

TEST_F(LinkClicksTest, RealClickOnALinkAfterTheDwellOpensIt) {
    QSignalSpy opened(clicks_.get(), &LinkClicks::openRequested);
    QsciScintillaBase* view = ViewOf(*editor_);
    const int x = static_cast<int>(view->SendScintilla(Sci::SCI_POINTXFROMPOSITION, 0, 8));
    const int y = static_cast<int>(view->SendScintilla(Sci::SCI_POINTYFROMPOSITION, 0, 8));
    const QPoint point(x + 1, y + 5);
    QTest::mouseMove(view->viewport(), point);
    QTRY_COMPARE_WITH_TIMEOUT(clicks_->currentLink(), std::string("www.a.cn"), 2000);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, point);
    QTRY_COMPARE_WITH_TIMEOUT(opened.count(), 1, 2000);
}

}  // namespace
}  // namespace qm
