// Events the editor posts to the main window, and its own Tab key.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QSignalSpy>
#include <QVBoxLayout>
#include <functional>
#include <string>
#include <vector>

#include "editor_test_support.h"

namespace qm {
namespace {

using testing::Gb;
using testing::ShownEditor;
using testing::ViewOf;
using Sci = QsciScintillaBase;

QPoint PointOf(NoteEditor& editor, int position) {
    QsciScintillaBase* view = ViewOf(editor);
    const long x = view->SendScintilla(Sci::SCI_POINTXFROMPOSITION, 0, position);
    const long y = view->SendScintilla(Sci::SCI_POINTYFROMPOSITION, 0, position);
    const long height = view->SendScintilla(Sci::SCI_TEXTHEIGHT, 0);
    return QPoint(static_cast<int>(x) + 2, static_cast<int>(y + height / 2));
}

TEST(NoteEditorEventsTest, KeyEventsArriveAfterTheKeyHasBeenHandled) {
    auto editor = ShownEditor();
    ASSERT_NE(editor, nullptr);
    editor->focus();

    std::vector<std::string> textAtPress;
    std::vector<int> pressedKeys;
    std::vector<int> releasedKeys;
    int pressedBeforeCharAdded = -1;
    QObject::connect(editor.get(), &NoteEditor::keyPressed, [&](int key) {
        pressedKeys.push_back(key);
        textAtPress.push_back(editor->getText());
    });
    QObject::connect(editor.get(), &NoteEditor::keyReleased,
                     [&](int key) { releasedKeys.push_back(key); });
    QObject::connect(editor.get(), &NoteEditor::charAdded,
                     [&](int) { pressedBeforeCharAdded = static_cast<int>(pressedKeys.size()); });

    QTest::keyClick(ViewOf(*editor), Qt::Key_A);
    EXPECT_EQ(pressedBeforeCharAdded, 0) << "the character is added inside the key press";
    EXPECT_TRUE(pressedKeys.empty()) << "posted, not delivered inside the key handling";
    EXPECT_TRUE(releasedKeys.empty());

    QCoreApplication::processEvents();
    ASSERT_EQ(pressedKeys, std::vector<int>{Qt::Key_A});
    EXPECT_EQ(releasedKeys, std::vector<int>{Qt::Key_A});
    EXPECT_EQ(textAtPress.at(0), "a") << "the handler sees the key's effect";

    QTest::keyClick(ViewOf(*editor), Qt::Key_F12);
    QCoreApplication::processEvents();
    EXPECT_EQ(releasedKeys.back(), static_cast<int>(Qt::Key_F12));
}

// Every change of the text is reported once, typed or made by the program, and a refused change
// is not. The view reports only the before-change events: its handler of the after-change ones
// counts every character up to the change, seconds per keystroke at the end of a huge note.
TEST(NoteEditorEventsTest, EveryTextChangeIsReportedWithoutTheCostlyAfterChangeEvents) {
    auto editor = ShownEditor();
    ASSERT_NE(editor, nullptr);
    editor->focus();
    QSignalSpy modified(editor.get(), &NoteEditor::textModified);
    struct Case {
        const char* what;
        std::function<void()> change;
        int reports;
        const char* text;
    };
    const Case cases[] = {
        {"set text", [&] { editor->setText("abc"); }, 1, "abc"},
        {"typed", [&] { QTest::keyClick(ViewOf(*editor), Qt::Key_X); }, 1, "xabc"},
        {"deleted", [&] { QTest::keyClick(ViewOf(*editor), Qt::Key_Delete); }, 1, "xbc"},
        {"undo", [&] { editor->undo(); }, 1, "xabc"},
        {"redo", [&] { editor->redo(); }, 1, "xbc"},
        {"replaced", [&] { editor->replaceRange(0, 1, "yz"); }, 2, "yzbc"},
        {"refused while read-only",
         [&] {
             editor->setReadOnly(true);
             editor->insertText("q");
             editor->setReadOnly(false);
         },
         0, "yzbc"},
    };
    for (const Case& c : cases) {
        modified.clear();
        c.change();
        EXPECT_EQ(modified.count(), c.reports) << c.what;
        EXPECT_EQ(editor->getText(), c.text) << c.what;
    }
    const long mask = ViewOf(*editor)->SendScintilla(Sci::SCI_GETMODEVENTMASK);
    EXPECT_EQ(mask & (Sci::SC_MOD_INSERTTEXT | Sci::SC_MOD_DELETETEXT), 0);
}

TEST(NoteEditorEventsTest, TypedLineBreakAddsCrLfAsTwoCharacters) {
    auto editor = ShownEditor();
    ASSERT_NE(editor, nullptr);
    editor->focus();
    editor->setText("12*3");
    editor->showRange(4, 0);
    std::vector<int> added;
    QObject::connect(editor.get(), &NoteEditor::charAdded, [&](int ch) { added.push_back(ch); });
    QTest::keyClick(ViewOf(*editor), Qt::Key_Return);
    EXPECT_EQ(editor->getText(), "12*3\r\n");
    EXPECT_EQ(added, (std::vector<int>{'\r', '\n'}));
}

TEST(NoteEditorEventsTest, MouseReleaseAndDoubleClickArePosted) {
    auto editor = ShownEditor();
    ASSERT_NE(editor, nullptr);
    editor->setText(Gb("hello world 笔记"));
    QCoreApplication::processEvents();
    QWidget* viewport = ViewOf(*editor)->viewport();
    QSignalSpy released(editor.get(), &NoteEditor::leftButtonReleased);
    QSignalSpy doubled(editor.get(), &NoteEditor::doubleClicked);

    QTest::mouseClick(viewport, Qt::LeftButton, {}, PointOf(*editor, 2));
    EXPECT_EQ(released.count(), 0);
    QCoreApplication::processEvents();
    EXPECT_EQ(released.count(), 1);

    QTest::mouseClick(viewport, Qt::RightButton, {}, PointOf(*editor, 2));
    QCoreApplication::processEvents();
    EXPECT_EQ(released.count(), 1) << "only the left button counts";

    // A real double click: press and release, then the double-click press and its release.
    const QPoint world = PointOf(*editor, 7);
    QTest::mouseClick(viewport, Qt::LeftButton, {}, world);
    QTest::mouseDClick(viewport, Qt::LeftButton, {}, world);
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, world);
    EXPECT_EQ(doubled.count(), 0);
    QCoreApplication::processEvents();
    ASSERT_EQ(doubled.count(), 1);
    EXPECT_EQ(doubled.at(0).at(0).toInt(), 7);
    EXPECT_EQ(editor->selectedText(), "world") << "Scintilla still selects the word";
}

TEST(NoteEditorEventsTest, MouseRestIsPostedWithItsPositionAndItsEnd) {
    auto editor = ShownEditor();
    ASSERT_NE(editor, nullptr);
    editor->setText("www.example.com and more");
    QCoreApplication::processEvents();
    QWidget* viewport = ViewOf(*editor)->viewport();
    QSignalSpy hover(editor.get(), &NoteEditor::mouseHover);

    QTest::mouseMove(viewport, PointOf(*editor, 5));
    ASSERT_TRUE(hover.wait(2000));
    EXPECT_EQ(hover.at(0).at(0).toInt(), 5);
    EXPECT_FALSE(hover.at(0).at(1).toBool());

    QTest::mouseMove(viewport, PointOf(*editor, 20));
    ASSERT_TRUE(hover.count() > 1 || hover.wait(2000));
    EXPECT_TRUE(hover.at(1).at(1).toBool()) << "moving away ends the rest";
}

TEST(NoteEditorEventsTest, TabReplacesTheSelectionWithOneTab) {
    struct Case {
        const char* what;
        int selStart;
        int selLength;
        const char* text;
        int caret;
    };
    const Case cases[] = {
        {"caret", 1, 0, "a\tb\r\ncd", 2},
        {"selection in a line", 1, 1, "a\t\r\ncd", 2},
        // Scintilla would indent both lines; the editor replaces the selection instead.
        {"selection over two lines", 1, 4, "a\td", 2},
    };
    auto editor = ShownEditor();
    ASSERT_NE(editor, nullptr);
    editor->focus();
    for (const Case& c : cases) {
        editor->setText("ab\r\ncd");
        editor->showRange(c.selStart, c.selLength);
        QTest::keyClick(ViewOf(*editor), Qt::Key_Tab);
        EXPECT_EQ(editor->getText(), c.text) << c.what;
        EXPECT_EQ(editor->selectionStart(), c.caret) << c.what;
        EXPECT_EQ(editor->selectionLength(), 0) << c.what;
    }
}

TEST(NoteEditorEventsTest, TabWithoutTabsInsertsTheIndentationWidthInSpaces) {
    auto editor = ShownEditor();
    ASSERT_NE(editor, nullptr);
    editor->focus();
    ViewOf(*editor)->SendScintilla(Sci::SCI_SETUSETABS, 0);
    ViewOf(*editor)->SendScintilla(Sci::SCI_SETINDENT, 3);
    editor->setText("ab");
    editor->showRange(1, 1);
    QTest::keyClick(ViewOf(*editor), Qt::Key_Tab);
    EXPECT_EQ(editor->getText(), "a   ");

    ViewOf(*editor)->SendScintilla(Sci::SCI_SETINDENT, 0);  // 0: the tab width
    ViewOf(*editor)->SendScintilla(Sci::SCI_SETTABWIDTH, 5);
    editor->setText("");
    QTest::keyClick(ViewOf(*editor), Qt::Key_Tab);
    EXPECT_EQ(editor->getText(), "     ");
}

TEST(NoteEditorEventsTest, TabWithAModifierIsNotTheEditorsTab) {
    const Qt::KeyboardModifier modifiers[] = {Qt::ControlModifier, Qt::AltModifier,
                                              Qt::ShiftModifier};
    auto editor = ShownEditor();
    ASSERT_NE(editor, nullptr);
    editor->focus();
    for (Qt::KeyboardModifier modifier : modifiers) {
        editor->setText("ab\r\ncd");
        editor->showRange(1, 4);
        QTest::keyClick(ViewOf(*editor), Qt::Key_Tab, modifier);
        EXPECT_NE(editor->getText(), "a\td") << "modifier " << modifier;
    }
}

TEST(NoteEditorEventsTest, TabStaysInTheEditorInsteadOfMovingTheFocus) {
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* before = new QLineEdit(&window);
    auto* editor = new NoteEditor({}, &window);
    auto* after = new QLineEdit(&window);
    layout->addWidget(before);
    layout->addWidget(editor);
    layout->addWidget(after);
    window.resize(400, 300);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    window.activateWindow();
    editor->focus();
    QCoreApplication::processEvents();

    QTest::keyClick(ViewOf(*editor), Qt::Key_Tab);
    EXPECT_EQ(editor->getText(), "\t");
    EXPECT_EQ(QApplication::focusWidget(), ViewOf(*editor));
}

}  // namespace
}  // namespace qm
