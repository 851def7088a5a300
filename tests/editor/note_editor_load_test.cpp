// Showing a note's text in a new document (loadText): byte-identical round trips at every size,
// slices cut between characters, no undo across notes, the change count, wrapping decided by
// the loaded text and given up when a text grows past the limits.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QThread>
#include <QTimer>
#include <string>
#include <thread>

#include "editor/document_build.h"
#include "editor/off_thread.h"
#include "editor/wrap_limit.h"
#include "editor_test_support.h"

namespace qm {
namespace {

using testing::Gb;
using testing::Repaint;
using testing::ShownEditor;

// `bytes` or a little more of GB18030 text: ideographs, a four-byte character (an emoji GBK
// lacks), ASCII words and, when `breaks`, CR LF line breaks.
std::string MixedText(size_t bytes, bool breaks) {
    const std::string piece = Gb("中文 words 😀 rare 𠀀 ") + (breaks ? "\r\n" : "");
    std::string text;
    text.reserve(bytes + piece.size());
    while (text.size() < bytes) text += piece;
    return text;
}

struct LoadCase {
    const char* what;
    std::string text;
};

class NoteEditorLoadTest : public ::testing::TestWithParam<LoadCase> {};

TEST_P(NoteEditorLoadTest, TextComesBackByteForByte) {
    const LoadCase& c = GetParam();
    NoteEditor editor;
    editor.loadText(c.text);
    EXPECT_TRUE(editor.getText() == c.text)
        << c.what << ": " << editor.getText().size() << " bytes back of " << c.text.size();
    EXPECT_EQ(static_cast<size_t>(editor.lineCount()), CountLines(Gb18030ToUtf8(c.text))) << c.what;
    EXPECT_EQ(editor.getTextUtf8(), Gb18030ToUtf8(c.text)) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Editor, NoteEditorLoadTest,
    ::testing::Values(LoadCase{"empty", ""}, LoadCase{"ascii", "plain\r\nlines"},
                      LoadCase{"four-byte characters", Gb("表情😀与𠀀字")},
                      LoadCase{"lone breaks", "a\rb\nc\r\n"},
                      // From a megabyte on the text is laid in on a worker, in slices.
                      LoadCase{"large with lines", MixedText(9u << 20, true)},
                      LoadCase{"large without a break", MixedText(9u << 20, false)}),
    [](const ::testing::TestParamInfo<LoadCase>& info) { return std::to_string(info.index); });

TEST(DocumentBuildTest, SlicesEndBetweenCharacters) {
    struct Case {
        const char* what;
        std::string text;
        size_t limit;
        size_t end;
    };
    const std::string two = Gb("中");  // two bytes
    const std::string four = Gb("😀");  // four bytes
    const Case cases[] = {
        {"shorter than the limit", "abc", 8, 3},
        {"after the last line break", "ab\ncdefgh", 6, 3},
        {"a break too early is not used", "\nabcdefghij", 8, 8},
        {"not inside a two-byte character", "abcdef" + two + "x", 7, 6},
        {"not inside a four-byte character", "abcde" + four + "x", 8, 5},
        {"after a four-byte character that fits", "abcd" + four + "x", 8, 8},
        {"not between CR and LF", "abcdef\r\nx", 7, 6},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DocumentBuild::SliceEnd(c.text, c.limit), c.end) << c.what;
    }
}

TEST(NoteEditorLoadTest, UndoNeverBringsBackTheTextBefore) {
    NoteEditor editor;
    editor.setText("note one");
    editor.insertText(" typed");
    ASSERT_TRUE(editor.canUndo());
    editor.loadText("note two");
    EXPECT_FALSE(editor.canUndo());
    editor.undo();
    EXPECT_EQ(editor.getText(), "note two");
    // Edits after the load are undone as usual.
    editor.selectAll();
    editor.insertText("x");
    editor.undo();
    EXPECT_EQ(editor.getText(), "note two");
}

TEST(NoteEditorLoadTest, ChangeCountMovesWithEveryChangeOnly) {
    NoteEditor editor;
    const unsigned long start = editor.changeCount();
    editor.loadText("abc");
    const unsigned long loaded = editor.changeCount();
    EXPECT_NE(loaded, start);
    (void)editor.getText();
    (void)editor.getTextUtf8();
    editor.showRange(1, 1);
    EXPECT_EQ(editor.changeCount(), loaded);
    editor.insertText("x");
    EXPECT_NE(editor.changeCount(), loaded);
}

TEST(NoteEditorLoadTest, ReadOnlyStaysAcrossALoad) {
    NoteEditor editor;
    editor.setReadOnly(true);
    editor.loadText("shown");
    EXPECT_TRUE(editor.readOnly());
    editor.insertText("x");
    EXPECT_EQ(editor.getText(), "shown");
}

TEST(NoteEditorLoadTest, WrappingFollowsTheLoadedText) {
    NoteEditor editor;
    editor.loadText(std::string(kWrapByteLimit + 1, 'a'));
    EXPECT_FALSE(editor.wrapsLines());
    editor.loadText("short");
    EXPECT_TRUE(editor.wrapsLines());
}

TEST(NoteEditorLoadTest, TextGrowingPastTheLimitsIsUnwrapped) {
    struct Case {
        const char* what;
        std::string added;
    };
    std::string lines;
    for (size_t i = 0; i < kWrapLineLimit; ++i) lines += "x\r\n";
    const Case cases[] = {
        {"bytes", std::string(kWrapByteLimit, 'b')},
        {"lines", lines},
    };
    for (const Case& c : cases) {
        auto editor = ShownEditor();
        ASSERT_NE(editor, nullptr);
        editor->loadText("small");
        Repaint(*editor);
        ASSERT_TRUE(editor->wrapsLines()) << c.what;
        editor->appendText("a");  // still small: stays wrapped
        Repaint(*editor);
        EXPECT_TRUE(editor->wrapsLines()) << c.what;
        editor->appendText(c.added);
        Repaint(*editor);
        EXPECT_FALSE(editor->wrapsLines()) << c.what;
    }
}

TEST(OffThreadTest, WorkRunsElsewhereWhileTheWindowAnswers) {
    bool answered = false;
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [&answered] { answered = true; }, Qt::QueuedConnection);
    std::thread::id worker;
    RunOffThread([&worker] {
        worker = std::this_thread::get_id();
        QThread::msleep(50);
    });
    EXPECT_NE(worker, std::this_thread::get_id());
    EXPECT_TRUE(answered);  // the posted call ran during the wait
}

TEST(OffThreadTest, TimersCanBeHeldBackWhileThePostedEventsAreAnswered) {
    bool answered = false;
    bool fired = false;
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, [&fired] { fired = true; });
    timer.start(0);
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [&answered] { answered = true; }, Qt::QueuedConnection);
    RunOffThread([] { QThread::msleep(100); }, false);
    EXPECT_TRUE(answered);
    EXPECT_FALSE(fired);
    QCoreApplication::processEvents();
    EXPECT_TRUE(fired);  // after the work
}

}  // namespace
}  // namespace qm
