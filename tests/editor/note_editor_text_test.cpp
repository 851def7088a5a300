// Text and selection through the editor's interface: GB18030 outside, UTF-8 bytes inside.
#include <gtest/gtest.h>

#include <QClipboard>
#include <QGuiApplication>
#include <QSignalSpy>
#include <cstring>

#include "editor_test_support.h"

namespace qm {
namespace {

using testing::Gb;

TEST(NoteEditorTextTest, TextRoundTripsUnchangedAndIsStoredAsUtf8) {
    struct Case {
        const char* utf8;
    };
    const Case cases[] = {
        {""},
        {"plain ascii"},
        {"笔记本，回收站。"},
        {"第一行\r\n第二行\r\n"},
        {"\r\n\r\n"},
        {"lone\nline feed and lone\rreturn"},
        {"emoji \xF0\x9F\x98\x80 and \xF0\x9F\x91\x8D\xF0\x9F\x8F\xBD"},
        {"rare \xF0\xA0\x80\x80\xF0\xAA\x9B\x96 ideographs"},  // U+20000, U+2A6D6
        {"€ ¥ · — … 〇 ㈠ tab\there"},
    };
    NoteEditor editor;
    for (const Case& c : cases) {
        const std::string gb = Gb(c.utf8);
        editor.setText(gb);
        EXPECT_EQ(editor.getText(), gb) << c.utf8;
        EXPECT_EQ(editor.textLength(), static_cast<int>(std::strlen(c.utf8))) << c.utf8;
        EXPECT_EQ(editor.getTextRange(0, editor.textLength()), gb) << c.utf8;
    }
}

TEST(NoteEditorTextTest, CharactersGbkLacksTravelAsFourByteGb18030) {
    NoteEditor editor;
    editor.setText(Gb("a\xF0\x9F\x98\x80"));
    const std::string text = editor.getText();
    ASSERT_EQ(text.size(), 5u);
    EXPECT_EQ(text[0], 'a');
    // Four-byte form: lead byte, digit, byte of 0x81 or more, digit.
    EXPECT_GE(static_cast<unsigned char>(text[1]), 0x81);
    EXPECT_TRUE(text[2] >= '0' && text[2] <= '9');
    EXPECT_GE(static_cast<unsigned char>(text[3]), 0x81);
    EXPECT_TRUE(text[4] >= '0' && text[4] <= '9');
}

TEST(NoteEditorTextTest, SelectionPositionsAreUtf8ByteOffsets) {
    struct Case {
        const char* text;
        int start;
        int length;
        const char* selected;
    };
    const Case cases[] = {
        {"笔记本abc", 3, 6, "记本"},
        {"笔记本abc", 9, 2, "ab"},
        {"\xF0\x9F\x98\x80x", 0, 4, "\xF0\x9F\x98\x80"},
        {"a\r\n笔", 1, 5, "\r\n笔"},
        {"笔记本", 3, 0, ""},
    };
    NoteEditor editor;
    for (const Case& c : cases) {
        editor.setText(Gb(c.text));
        editor.showRange(c.start, c.length);
        EXPECT_EQ(editor.selectionStart(), c.start) << c.text;
        EXPECT_EQ(editor.selectionLength(), c.length) << c.text;
        EXPECT_EQ(editor.selectedText(), Gb(c.selected)) << c.text;
    }
}

TEST(NoteEditorTextTest, ShowRangeWithLengthZeroPutsTheCaretWithoutSelection) {
    NoteEditor editor;
    editor.setText(Gb("笔记本\r\n第二行"));
    editor.showRange(0, 9);
    editor.showRange(14, 0);
    EXPECT_EQ(editor.selectionStart(), 14);
    EXPECT_EQ(editor.selectionLength(), 0);
    EXPECT_EQ(editor.selectedText(), "");
    EXPECT_EQ(editor.currentLine(), 1);
}

TEST(NoteEditorTextTest, InsertTextReplacesTheSelectionAndLeavesTheCaretAfterIt) {
    NoteEditor editor;
    editor.setText(Gb("笔记本"));
    editor.showRange(3, 3);
    editor.insertText(Gb("书\xF0\x9F\x98\x80"));
    EXPECT_EQ(editor.getText(), Gb("笔书\xF0\x9F\x98\x80本"));
    EXPECT_EQ(editor.selectionStart(), 3 + 3 + 4);
    EXPECT_EQ(editor.selectionLength(), 0);

    editor.insertText("\r\n");  // nothing selected: plain insertion at the caret
    EXPECT_EQ(editor.getText(), Gb("笔书\xF0\x9F\x98\x80\r\n本"));
    EXPECT_EQ(editor.currentLine(), 1);
    EXPECT_TRUE(editor.caretAtLineStart());
}

TEST(NoteEditorTextTest, AppendTextAddsAtTheEndAndKeepsTheSelection) {
    NoteEditor editor;
    editor.setText(Gb("甲乙"));
    editor.showRange(0, 3);
    editor.appendText(Gb("\r\n丙"));
    EXPECT_EQ(editor.getText(), Gb("甲乙\r\n丙"));
    EXPECT_EQ(editor.selectionStart(), 0);
    EXPECT_EQ(editor.selectionLength(), 3);
}

TEST(NoteEditorTextTest, ReplaceRangeReplacesExactlyTheBytesBetweenThePositions) {
    NoteEditor editor;
    editor.setText(Gb("12*3\r\n下一行"));
    editor.replaceRange(0, 4, "12*3=36");
    EXPECT_EQ(editor.getText(), Gb("12*3=36\r\n下一行"));
    EXPECT_EQ(editor.selectionStart(), 7);
    EXPECT_TRUE(editor.caretAtLineEnd());
}

TEST(NoteEditorTextTest, SetTextEmptyClearsTheDocument) {
    NoteEditor editor;
    editor.setText(Gb("笔记\r\n本"));
    editor.setText("");
    EXPECT_EQ(editor.getText(), "");
    EXPECT_EQ(editor.textLength(), 0);
    EXPECT_EQ(editor.selectedText(), "");
    EXPECT_EQ(editor.getTextRange(0, 10), "");
    EXPECT_EQ(editor.lineCount(), 1);
}

TEST(NoteEditorTextTest, SetTextReportsWhetherTheLineCountStayed) {
    struct Case {
        const char* before;
        const char* after;
        bool unchanged;
    };
    const Case cases[] = {
        {"a\r\nb", "甲\r\n乙乙乙", true}, {"a\r\nb", "a", false}, {"", "x", true}, {"", "", true},
        {"one", "one\r\n", false},
    };
    NoteEditor editor;
    for (const Case& c : cases) {
        editor.setText(Gb(c.before));
        QSignalSpy replaced(&editor, &NoteEditor::textReplaced);
        editor.setText(Gb(c.after));
        ASSERT_EQ(replaced.count(), 1) << c.before << " -> " << c.after;
        EXPECT_EQ(replaced.at(0).at(0).toBool(), c.unchanged) << c.before << " -> " << c.after;
    }
}

TEST(NoteEditorTextTest, LinePositionsAndCaretTests) {
    NoteEditor editor;
    editor.setText(Gb("第一行\r\n二\r\n\r\nend"));
    EXPECT_EQ(editor.lineCount(), 4);
    struct Case {
        int line;
        int start;
        int end;
    };
    const Case lines[] = {{0, 0, 9}, {1, 11, 14}, {2, 16, 16}, {3, 18, 21}};
    for (const Case& c : lines) {
        EXPECT_EQ(editor.lineStartPosition(c.line), c.start) << "line " << c.line;
        EXPECT_EQ(editor.lineEndPosition(c.line), c.end) << "line " << c.line;
        EXPECT_EQ(editor.lineFromPosition(c.start), c.line) << "line " << c.line;
    }

    struct CaretCase {
        int caret;
        int line;
        bool atStart;
        bool atEnd;
    };
    const CaretCase carets[] = {
        {0, 0, true, false}, {3, 0, false, false}, {9, 0, false, true},
        {16, 2, true, true}, {21, 3, false, true},
    };
    for (const CaretCase& c : carets) {
        editor.showRange(c.caret, 0);
        EXPECT_EQ(editor.currentLine(), c.line) << "caret " << c.caret;
        EXPECT_EQ(editor.caretAtLineStart(), c.atStart) << "caret " << c.caret;
        EXPECT_EQ(editor.caretAtLineEnd(), c.atEnd) << "caret " << c.caret;
    }
}

TEST(NoteEditorTextTest, GetTextRangeClampsAndRejectsReversedRanges) {
    NoteEditor editor;
    editor.setText(Gb("笔记"));
    EXPECT_EQ(editor.getTextRange(3, 6), Gb("记"));
    EXPECT_EQ(editor.getTextRange(-5, 3), Gb("笔"));
    EXPECT_EQ(editor.getTextRange(3, 100), Gb("记"));
    EXPECT_EQ(editor.getTextRange(6, 3), "");
    EXPECT_EQ(editor.getTextRange(3, 3), "");
}

TEST(NoteEditorTextTest, CopyAllPutsTheWholeDocumentOnTheClipboard) {
    NoteEditor editor;
    editor.setText(Gb("笔记\r\n\xF0\x9F\x98\x80"));
    editor.showRange(0, 3);  // the selection does not matter
    editor.copyAllToClipboard();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QString::fromUtf8("笔记\r\n\xF0\x9F\x98\x80"));
}

TEST(NoteEditorTextTest, PasteReplacingAllTakesTheClipboardWithCrLfLineBreaks) {
    struct Case {
        const char* clipboard;
        const char* text;
    };
    const Case cases[] = {
        {"甲\n乙", "甲\r\n乙"},
        {"甲\r\n乙\r\n", "甲\r\n乙\r\n"},
        {"a\rb\n\nc", "a\r\nb\r\n\r\nc"},
        {"\xF0\x9F\x98\x80", "\xF0\x9F\x98\x80"},
        {"", ""},
    };
    NoteEditor editor;
    for (const Case& c : cases) {
        editor.setText(Gb("old text"));
        QGuiApplication::clipboard()->setText(QString::fromUtf8(c.clipboard));
        QSignalSpy replaced(&editor, &NoteEditor::textReplaced);
        editor.pasteReplacingAll();
        EXPECT_EQ(editor.getText(), Gb(c.text)) << c.clipboard;
        EXPECT_EQ(replaced.count(), 1) << c.clipboard;
    }
}

}  // namespace
}  // namespace qm
