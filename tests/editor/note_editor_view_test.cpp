// Configuration, margin, scrolling and searching of a shown editor.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "editor/line_number_margin.h"
#include "editor/wrap_limit.h"
#include "editor_test_support.h"

namespace qm {
namespace {

using testing::Gb;
using testing::Repaint;
using testing::ShownEditor;
using testing::ViewOf;
using Sci = QsciScintillaBase;

std::string NumberedLines(int count) {
    std::string text;
    for (int i = 0; i < count; ++i) {
        if (i > 0) text += "\r\n";
        text += "line " + std::to_string(i);
    }
    return text;
}

long MarginWidth(NoteEditor& editor) {
    return ViewOf(editor)->SendScintilla(Sci::SCI_GETMARGINWIDTHN, 1);
}

long FirstVisibleLine(NoteEditor& editor) {
    return ViewOf(editor)->SendScintilla(Sci::SCI_GETFIRSTVISIBLELINE);
}

TEST(NoteEditorViewTest, ConfiguredAtCreation) {
    NoteEditor editor;
    QsciScintillaBase* view = ViewOf(editor);
    ASSERT_NE(view, nullptr);
    struct Case {
        const char* what;
        unsigned int message;
        unsigned long wParam;
        long expected;
    };
    const Case cases[] = {
        {"UTF-8 code page", Sci::SCI_GETCODEPAGE, 0, 65001},
        {"CR LF line breaks", Sci::SCI_GETEOLMODE, 0, Sci::SC_EOL_CRLF},
        {"margin 1 numbers", Sci::SCI_GETMARGINTYPEN, 1, Sci::SC_MARGIN_NUMBER},
        {"margin 1 mask", Sci::SCI_GETMARGINMASKN, 1, 1},
        {"margin 1 arrow", Sci::SCI_GETMARGINCURSORN, 1, Sci::SC_CURSORARROW},
        {"line number back", Sci::SCI_STYLEGETBACK, Sci::STYLE_LINENUMBER, 0xECECEC},
        {"line number fore", Sci::SCI_STYLEGETFORE, Sci::STYLE_LINENUMBER, 0x008080},
        {"line number size", Sci::SCI_STYLEGETSIZE, Sci::STYLE_LINENUMBER, 11},
        {"vertical bar", Sci::SCI_GETVSCROLLBAR, 0, 1},
        {"no horizontal bar", Sci::SCI_GETHSCROLLBAR, 0, 0},
        {"wrap at characters", Sci::SCI_GETWRAPMODE, 0, Sci::SC_WRAP_CHAR},
        {"caret line shown", Sci::SCI_GETCARETLINEVISIBLE, 0, 1},
        {"caret line back", Sci::SCI_GETCARETLINEBACK, 0, 0xECECEC},
        {"dwell 100 ms", Sci::SCI_GETMOUSEDWELLTIME, 0, 100},
        {"no lexer", Sci::SCI_GETLEXER, 0, Sci::SCLEX_CONTAINER},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(view->SendScintilla(c.message, c.wParam), c.expected) << c.what;
    }
    char face[64] = {};
    view->SendScintilla(Sci::SCI_STYLEGETFONT, Sci::STYLE_LINENUMBER, face);
    EXPECT_STREQ(face, "Consolas");
}

// A text within the wrap limits wraps at characters; a larger one, or one of too many lines, is
// shown unwrapped with a horizontal bar (wrapping it froze the window at Ctrl+End), and the next
// ordinary text wraps again.
TEST(NoteEditorViewTest, OnlyTextsWithinTheWrapLimitsWrap) {
    NoteEditor editor;
    QsciScintillaBase* view = ViewOf(editor);
    ASSERT_NE(view, nullptr);
    struct Case {
        const char* what;
        std::string text;
        long wrap;
        long horizontalBar;
    };
    const Case cases[] = {
        {"empty", "", Sci::SC_WRAP_CHAR, 0},
        {"bytes at the limit", std::string(kWrapByteLimit, 'a'), Sci::SC_WRAP_CHAR, 0},
        {"bytes over the limit", std::string(kWrapByteLimit + 1, 'a'), Sci::SC_WRAP_NONE, 1},
        {"short note after a large one", "short", Sci::SC_WRAP_CHAR, 0},
        {"too many lines", NumberedLines(static_cast<int>(kWrapLineLimit) + 1), Sci::SC_WRAP_NONE,
         1},
        {"lines at the limit", NumberedLines(static_cast<int>(kWrapLineLimit)), Sci::SC_WRAP_CHAR,
         0},
    };
    for (const Case& c : cases) {
        editor.setText(c.text);
        EXPECT_EQ(view->SendScintilla(Sci::SCI_GETWRAPMODE), c.wrap) << c.what;
        EXPECT_EQ(view->SendScintilla(Sci::SCI_GETHSCROLLBAR), c.horizontalBar) << c.what;
        EXPECT_EQ(editor.textLength(), static_cast<int>(c.text.size())) << c.what;
    }
}

// The margin rule is digits x digit width + 5 with at least 9 pixels per digit. The digit
// width is measured in the margin's own font here (Scintilla's SCI_TEXTWIDTH of "9"), so the
// test checks the rule for the fonts this machine has; with 9-pixel digits it is 14 -> 23.
TEST(NoteEditorViewTest, LineNumberMarginWidensWhenTheLineCountGainsADigit) {
    auto editor = ShownEditor();
    ASSERT_NE(editor, nullptr);
    const long measured =
        ViewOf(*editor)->SendScintilla(Sci::SCI_TEXTWIDTH, uintptr_t{Sci::STYLE_LINENUMBER}, "9");
    ASSERT_GT(measured, 0);
    const long perDigit = std::max<long>(measured, kMinDigitWidth);
    RecordProperty("digit_width", static_cast<int>(measured));

    struct Case {
        int lines;
        int digits;
    };
    const Case cases[] = {{1, 1}, {9, 1}, {10, 2}, {99, 2}, {100, 3}, {1000, 4}, {9, 1}};
    for (const Case& c : cases) {
        editor->setText(NumberedLines(c.lines));
        Repaint(*editor);
        EXPECT_EQ(MarginWidth(*editor), c.digits * perDigit + 5) << c.lines << " lines";
        if (perDigit == kMinDigitWidth && c.digits <= 2) {
            EXPECT_EQ(MarginWidth(*editor), c.digits == 1 ? 14 : 23) << c.lines << " lines";
        }
    }
}

TEST(NoteEditorViewTest, TypingTheTenthLineWidensTheMarginAtTheNextUpdate) {
    auto editor = ShownEditor();
    ASSERT_NE(editor, nullptr);
    editor->setText(NumberedLines(9));
    Repaint(*editor);
    const long nineLines = MarginWidth(*editor);

    editor->focus();
    editor->showRange(editor->textLength(), 0);
    QTest::keyClick(ViewOf(*editor), Qt::Key_Return);
    ASSERT_EQ(editor->lineCount(), 10);
    Repaint(*editor);
    const long perDigit = std::max<long>(
        ViewOf(*editor)->SendScintilla(Sci::SCI_TEXTWIDTH, uintptr_t{Sci::STYLE_LINENUMBER}, "9"),
        kMinDigitWidth);
    EXPECT_EQ(MarginWidth(*editor), nineLines + perDigit);
}

TEST(NoteEditorViewTest, ShowRangeScrollsOnlyWhenTheLineChanges) {
    auto editor = ShownEditor(400, 200);
    ASSERT_NE(editor, nullptr);
    editor->setText(NumberedLines(300));
    Repaint(*editor);
    QsciScintillaBase* view = ViewOf(*editor);

    const int line100 = editor->lineStartPosition(100);
    editor->showRange(line100 + 1, 2);
    EXPECT_EQ(FirstVisibleLine(*editor), 100);
    EXPECT_EQ(editor->selectionStart(), line100 + 1);
    EXPECT_EQ(editor->selectionLength(), 2);

    // The reader scrolls up a little; line 100 is still on screen.
    view->SendScintilla(Sci::SCI_LINESCROLL, 0, -3);
    ASSERT_EQ(FirstVisibleLine(*editor), 97);
    editor->showRange(line100 + 5, 3);
    EXPECT_EQ(FirstVisibleLine(*editor), 97) << "same line: no scrolling";
    EXPECT_EQ(editor->selectionStart(), line100 + 5);
    EXPECT_EQ(editor->selectionLength(), 3);

    const int line200 = editor->lineStartPosition(200);
    editor->showRange(line200, 4);
    EXPECT_EQ(FirstVisibleLine(*editor), 200);
    editor->showRange(line100, 0);
    EXPECT_EQ(FirstVisibleLine(*editor), 100);
}

TEST(NoteEditorViewTest, ScrollToEndBringsTheLastLineIntoView) {
    auto editor = ShownEditor(400, 200);
    ASSERT_NE(editor, nullptr);
    editor->setText(NumberedLines(300));
    editor->showRange(0, 0);
    Repaint(*editor);
    ASSERT_EQ(FirstVisibleLine(*editor), 0);
    editor->scrollToEnd();
    const long onScreen = ViewOf(*editor)->SendScintilla(Sci::SCI_LINESONSCREEN);
    EXPECT_GT(FirstVisibleLine(*editor), 0);
    EXPECT_GE(FirstVisibleLine(*editor) + onScreen, 300);
    EXPECT_EQ(editor->selectionStart(), 0) << "scrolling leaves the caret";
}

TEST(NoteEditorViewTest, SetCursorSwitchesBetweenHandAndTextPointer) {
    auto editor = ShownEditor();
    ASSERT_NE(editor, nullptr);
    QWidget* viewport = ViewOf(*editor)->viewport();
    editor->setCursor(NoteEditor::kHandCursor);
    EXPECT_EQ(viewport->cursor().shape(), Qt::PointingHandCursor);
    editor->setCursor(NoteEditor::kNormalCursor);
    EXPECT_EQ(viewport->cursor().shape(), Qt::IBeamCursor);
}

struct FindCase {
    const char* text;
    int selStart;
    int selLength;
    const char* needle;
    bool ignoreCase;
    bool regex;
    bool found;
    int matchStart;
    int matchLength;
};

TEST(NoteEditorViewTest, FindAndSelectSearchesOnFromTheSelectionThenWrapsToTheTop) {
    const FindCase cases[] = {
        // From the selection's end onwards.
        {"abc ABC abc", 0, 0, "abc", false, false, true, 0, 3},
        {"abc ABC abc", 0, 3, "abc", false, false, true, 8, 3},
        {"abc ABC abc", 0, 3, "abc", true, false, true, 4, 3},
        // Selection at the end: the first occurrence from the top.
        {"abc ABC abc", 11, 0, "abc", false, false, true, 0, 3},
        {"abc ABC abc", 8, 3, "ABC", false, false, true, 4, 3},
        // Case-insensitive matching of Latin letters only; Chinese bytes are exact.
        {"笔记本 记", 0, 0, "记", false, false, true, 3, 3},
        {"笔记本 记", 3, 3, "记", false, false, true, 10, 3},
        {"笔记本 记", 10, 3, "记", false, false, true, 3, 3},
        {"x \xF0\x9F\x98\x80 y", 0, 0, "\xF0\x9F\x98\x80", false, false, true, 2, 4},
        // Scintilla's own expressions.
        {"ab 123 cd 45", 0, 0, "[0-9]+", false, true, true, 3, 3},
        {"ab 123 cd 45", 3, 3, "[0-9]+", false, true, true, 10, 2},
        {"ab 123 cd 45", 10, 2, "[0-9]+", false, true, true, 3, 3},
        {"ab 123 cd 45", 0, 0, "C[a-z]", true, true, true, 7, 2},
        {"a.c abc", 0, 0, "a.c", false, false, true, 0, 3},
        {"abc a.c", 0, 0, "a.c", false, false, true, 4, 3},
    };
    NoteEditor editor;
    for (const FindCase& c : cases) {
        editor.setText(Gb(c.text));
        editor.showRange(c.selStart, c.selLength);
        EXPECT_EQ(editor.findAndSelect(Gb(c.needle), c.ignoreCase, c.regex), c.found)
            << c.text << " / " << c.needle;
        EXPECT_EQ(editor.selectionStart(), c.matchStart) << c.text << " / " << c.needle;
        EXPECT_EQ(editor.selectionLength(), c.matchLength) << c.text << " / " << c.needle;
    }
}

TEST(NoteEditorViewTest, FindAndSelectWithoutMatchKeepsTheSelection) {
    const FindCase cases[] = {
        {"abc ABC", 1, 2, "xyz", false, false, false, 1, 2},
        {"abc ABC", 5, 0, "Abc", false, false, false, 5, 0},
        {"abc", 0, 1, "[0-9]", false, true, false, 0, 1},
        {"abc", 2, 1, "", false, false, false, 2, 1},
        {"", 0, 0, "a", true, false, false, 0, 0},
    };
    NoteEditor editor;
    for (const FindCase& c : cases) {
        editor.setText(Gb(c.text));
        editor.showRange(c.selStart, c.selLength);
        EXPECT_EQ(editor.findAndSelect(Gb(c.needle), c.ignoreCase, c.regex), c.found)
            << c.text << " / " << c.needle;
        EXPECT_EQ(editor.selectionStart(), c.matchStart) << c.text << " / " << c.needle;
        EXPECT_EQ(editor.selectionLength(), c.matchLength) << c.text << " / " << c.needle;
    }
}

TEST(NoteEditorViewTest, FoundMatchIsScrolledIntoView) {
    auto editor = ShownEditor(400, 200);
    ASSERT_NE(editor, nullptr);
    editor->setText(NumberedLines(300) + "\r\nneedle");
    editor->showRange(0, 0);
    Repaint(*editor);
    ASSERT_TRUE(editor->findAndSelect("needle", false, false));
    const long first = FirstVisibleLine(*editor);
    const long onScreen = ViewOf(*editor)->SendScintilla(Sci::SCI_LINESONSCREEN);
    EXPECT_LE(first, 300);
    EXPECT_GT(first + onScreen, 300);
}

}  // namespace
}  // namespace qm
