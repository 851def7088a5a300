// The calculator's keys in a real editor: which keys rewrite which line, the caret, undo, and
// nothing at all while the calculator is off.
#include "editor/calculator_keys.h"

#include <gtest/gtest.h>

#include "editor_test_support.h"
#include "tools/calculator/calculator.h"

namespace qm {
namespace {

using testing::Gb;
using testing::ShownEditor;
using testing::ViewOf;

struct KeyCase {
    const char* name;
    const char* text;  // UTF-8, set before the key
    int caret;         // byte position of the caret; -1 for the end
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    const char* after;  // UTF-8 text after the key
    int caretAfter;     // -1 for the end
};

const KeyCase kKeyCases[] = {
    {"return", "12+3", -1, Qt::Key_Return, Qt::NoModifier, "12+3=15\r\n", -1},
    {"keypad enter", "12+3", -1, Qt::Key_Enter, Qt::KeypadModifier, "12+3=15\r\n", -1},
    {"equals key", "1+2*3", -1, Qt::Key_Equal, Qt::NoModifier, "1+2*3=7", -1},
    {"plus on the equals key", "12", -1, Qt::Key_Plus, Qt::NoModifier, "12+=12", -1},
    {"keypad plus", "12+3", -1, Qt::Key_Plus, Qt::KeypadModifier, "12+3+", -1},
    {"not an expression", "hello", -1, Qt::Key_Return, Qt::NoModifier, "hello\r\n", -1},
    {"no operator", "12", -1, Qt::Key_Return, Qt::NoModifier, "12\r\n", -1},
    {"no digit", "+-", -1, Qt::Key_Return, Qt::NoModifier, "+-\r\n", -1},
    {"enter at the line start splits only", "12+3", 0, Qt::Key_Return, Qt::NoModifier, "\r\n12+3",
     2},
    {"enter in the middle joins the halves", "12+345", 4, Qt::Key_Return, Qt::NoModifier,
     "12+345=357\r\n", -1},
    {"full-width digits", "１２＋３", -1, Qt::Key_Return, Qt::NoModifier, "12+3=15\r\n", -1},
    {"times sign and blank", "3×4 ", -1, Qt::Key_Return, Qt::NoModifier, "3*4=12\r\n", -1},
    {"lines around stay with CR LF", "a\r\n12+3\r\nb", 7, Qt::Key_Return, Qt::NoModifier,
     "a\r\n12+3=15\r\n\r\nb", 12},
    {"unbalanced parenthesis", "5)+3", -1, Qt::Key_Equal, Qt::NoModifier, "5)+3=", -1},
    {"other key", "12+3", -1, Qt::Key_A, Qt::NoModifier, "12+3a", -1},
};

class CalculatorKeysTest : public ::testing::TestWithParam<KeyCase> {};

// Sets the text and caret, presses and releases the key in the view as a user would, and
// lets the posted key actions run.
void TypeKey(NoteEditor& editor, const KeyCase& c) {
    editor.setText(Gb(c.text));
    const int caret = c.caret < 0 ? editor.textLength() : c.caret;
    editor.showRange(caret, 0);
    QTest::keyClick(ViewOf(editor), c.key, c.modifiers);
    QCoreApplication::processEvents();
}

TEST_P(CalculatorKeysTest, KeyRewritesTheFinishedLineOrNothing) {
    const KeyCase& c = GetParam();
    auto editor = ShownEditor();
    ASSERT_NE(editor, nullptr);
    editor->focus();
    Calculator calculator;
    CalculatorKeys keys(*editor, calculator);
    keys.setEnabled(true);

    TypeKey(*editor, c);
    EXPECT_EQ(editor->getText(), Gb(c.after)) << c.name;
    const int caretAfter = c.caretAfter < 0 ? editor->textLength() : c.caretAfter;
    EXPECT_EQ(editor->selectionStart(), caretAfter) << c.name;
    EXPECT_EQ(editor->selectionLength(), 0) << c.name;
}

INSTANTIATE_TEST_SUITE_P(Editor, CalculatorKeysTest, ::testing::ValuesIn(kKeyCases),
                         [](const ::testing::TestParamInfo<KeyCase>& info) {
                             std::string name = info.param.name;
                             for (char& ch : name) {
                                 if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
                             }
                             return name;
                         });

TEST(CalculatorKeysOffTest, NothingChangesWhileSwitchedOff) {
    auto editor = ShownEditor();
    ASSERT_NE(editor, nullptr);
    editor->focus();
    Calculator calculator;
    CalculatorKeys keys(*editor, calculator);
    ASSERT_FALSE(keys.enabled());

    TypeKey(*editor, {"", "12+3", -1, Qt::Key_Return, Qt::NoModifier, "", 0});
    EXPECT_EQ(editor->getText(), "12+3\r\n");
    TypeKey(*editor, {"", "12+3", -1, Qt::Key_Equal, Qt::NoModifier, "", 0});
    EXPECT_EQ(editor->getText(), "12+3=");
}

TEST(CalculatorKeysOffTest, CaretStateIsTakenBeforeTheKeySplitsTheLine) {
    auto editor = ShownEditor();
    ASSERT_NE(editor, nullptr);
    editor->focus();
    Calculator calculator;
    CalculatorKeys keys(*editor, calculator);
    keys.setEnabled(true);

    TypeKey(*editor, {"", "12+3", 0, Qt::Key_Return, Qt::NoModifier, "", 0});
    EXPECT_TRUE(keys.caretWasAtLineStart());
    TypeKey(*editor, {"", "12+3", 2, Qt::Key_Return, Qt::NoModifier, "", 0});
    EXPECT_FALSE(keys.caretWasAtLineStart()) << "after the key the caret is always at a start";
}

TEST(CalculatorKeysOffTest, EachRewriteIsOneUndoStep) {
    auto editor = ShownEditor();
    ASSERT_NE(editor, nullptr);
    editor->focus();
    Calculator calculator;
    CalculatorKeys keys(*editor, calculator);
    keys.setEnabled(true);
    editor->setText("");

    QTest::keyClicks(ViewOf(*editor), "7*6");
    QTest::keyClick(ViewOf(*editor), Qt::Key_Return);
    QCoreApplication::processEvents();
    ASSERT_EQ(editor->getText(), "7*6=42\r\n");

    editor->undo();
    EXPECT_EQ(editor->getText(), "7*6\r\n") << "one undo takes back the rewrite only";
    editor->redo();
    EXPECT_EQ(editor->getText(), "7*6=42\r\n");
}

}  // namespace
}  // namespace qm
