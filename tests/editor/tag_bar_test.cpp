// The tag bar on a shown editor: buttons and menu entries insert at the caret, and the two
// picker panels insert what the pointer chose.
#include "editor/tag_bar.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QMenu>
#include <QTest>

#include "editor/colour_panel.h"
#include "editor/table_panel.h"
#include "editor/tag_table.h"
#include "editor_test_support.h"

namespace qm {
namespace {

using testing::Gb;

class TagBarTest : public ::testing::Test {
protected:
    void SetUp() override {
        editor_ = testing::ShownEditor();
        ASSERT_NE(editor_, nullptr);
        bar_ = std::make_unique<TagBar>(*editor_);
        bar_->show();
    }
    void TearDown() override {
        bar_.reset();
        editor_.reset();
    }
    void selectAll(const char* utf8) {
        editor_->setText(Gb(utf8));
        editor_->selectAll();
    }

    std::unique_ptr<NoteEditor> editor_;
    std::unique_ptr<TagBar> bar_;
};

TEST_F(TagBarTest, BoldWrapsSelectionAndLeavesCaretAfterIt) {
    selectAll("abc");
    bar_->button(2)->trigger();
    EXPECT_EQ(editor_->getText(), "<b>abc</b>");
    EXPECT_EQ(editor_->selectionStart(), 10);
    EXPECT_EQ(editor_->selectionLength(), 0);
}

TEST_F(TagBarTest, ButtonsCarryTheirToolTips) {
    for (const TagSnippet& snippet : TagButtons()) {
        QAction* action = bar_->button(snippet.index);
        ASSERT_NE(action, nullptr) << snippet.index;
        if (snippet.action == TagAction::kSeparator) {
            EXPECT_TRUE(action->isSeparator());
        } else {
            EXPECT_EQ(action->toolTip(), QString::fromUtf8(snippet.toolTip));
        }
    }
    EXPECT_EQ(bar_->button(38), nullptr);
}

TEST_F(TagBarTest, MenuEntryWrapsSelection) {
    selectAll("x");
    QMenu* headings = bar_->menu(QStringLiteral("菜单标题代码插入"));
    ASSERT_NE(headings, nullptr);
    EXPECT_EQ(bar_->button(11)->menu(), headings);
    ASSERT_EQ(headings->actions().size(), 6);
    headings->actions().at(2)->trigger();
    EXPECT_EQ(editor_->getText(), "<h3>x</h3>");
}

TEST_F(TagBarTest, ColourCellClickInsertsItsCodeAndClosesPanel) {
    editor_->setText("a");
    editor_->showRange(1, 0);
    bar_->button(TagBar::kColourButton)->trigger();
    ColourPanel* panel = bar_->colourPanel();
    ASSERT_TRUE(panel->isVisible());
    EXPECT_TRUE(bar_->button(TagBar::kColourButton)->isChecked());
    // #FF7F50 is the 27th code: row 2, column 6.
    const QPoint cell(6 * 32 + 16, 2 * 32 + 16);
    QTest::mouseMove(panel, cell);
    QMouseEvent move(QEvent::MouseMove, cell, panel->mapToGlobal(cell), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QCoreApplication::sendEvent(panel, &move);
    EXPECT_EQ(panel->markedCell(), 26);
    QTest::mouseClick(panel, Qt::LeftButton, {}, cell);
    EXPECT_EQ(editor_->getText(), "a#FF7F50");
    EXPECT_FALSE(panel->isVisible());
    EXPECT_FALSE(bar_->button(TagBar::kColourButton)->isChecked());
}

TEST_F(TagBarTest, TablePanelInsertsChosenSizeAndStartsAtOneCell) {
    bar_->button(TagBar::kTableButton)->trigger();
    TablePanel* panel = bar_->tablePanel();
    ASSERT_TRUE(panel->isVisible());
    EXPECT_EQ(panel->columns(), 1);
    EXPECT_EQ(panel->rows(), 1);
    // The cell at column 3, row 2.
    const QPoint cell(2 * 32 + 10, 1 * 32 + 10);
    QMouseEvent move(QEvent::MouseMove, cell, panel->mapToGlobal(cell), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QCoreApplication::sendEvent(panel, &move);
    EXPECT_EQ(panel->columns(), 3);
    EXPECT_EQ(panel->rows(), 2);
    QTest::mouseClick(panel, Qt::LeftButton, {}, cell);
    EXPECT_EQ(editor_->getText(), TableSnippet(2, 3));
    EXPECT_FALSE(panel->isVisible());
    EXPECT_FALSE(bar_->button(TagBar::kTableButton)->isChecked());

    // Opened again, it starts over at one cell, even at the panel's far edge.
    editor_->setText("");
    bar_->button(TagBar::kTableButton)->trigger();
    EXPECT_EQ(panel->columns(), 1);
    const QPoint edge(321, 321);
    QMouseEvent farMove(QEvent::MouseMove, edge, panel->mapToGlobal(edge), Qt::NoButton,
                        Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(panel, &farMove);
    EXPECT_EQ(panel->columns(), 10);
    EXPECT_EQ(panel->rows(), 10);
}

TEST_F(TagBarTest, PreviewButtonReportsUserToggleOnly) {
    std::vector<bool> toggles;
    QObject::connect(bar_.get(), &TagBar::previewToggled,
                     [&toggles](bool on) { toggles.push_back(on); });
    bar_->button(TagBar::kPreviewButton)->trigger();
    bar_->setPreviewPressed(false);
    bar_->button(TagBar::kPreviewButton)->trigger();
    EXPECT_EQ(toggles, (std::vector<bool>{true, true}));
}

}  // namespace
}  // namespace qm
