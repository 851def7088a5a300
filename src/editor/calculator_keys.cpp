#include "editor/calculator_keys.h"

#include "editor/note_editor.h"
#include "tools/calculator/calculator.h"

namespace qm {
namespace {

bool IsEnter(int key) { return key == Qt::Key_Return || key == Qt::Key_Enter; }

}  // namespace

CalculatorKeys::CalculatorKeys(NoteEditor& editor, const Calculator& calculator, QObject* parent)
    : QObject(parent), editor_(editor), calculator_(calculator) {
    connect(&editor_, &NoteEditor::keyArriving, this, [this](int key, bool released, bool keypad) {
        if (!released) {
            keyPressed(key);
            return;
        }
        // Run once the editor is done with the event, like every other posted key action.
        QMetaObject::invokeMethod(
            this, [this, key, keypad] { keyReleased(key, keypad); }, Qt::QueuedConnection);
    });
}

void CalculatorKeys::keyPressed(int key) {
    if (enabled_ && IsEnter(key)) caretWasAtLineStart_ = editor_.caretAtLineStart();
}

void CalculatorKeys::keyReleased(int key, bool keypad) {
    const bool enter = IsEnter(key);
    const bool equals = key == Qt::Key_Equal || (key == Qt::Key_Plus && !keypad);
    if (!enabled_ || (!enter && !equals)) return;
    if (enter && caretWasAtLineStart_) return;

    // After Enter the caret is on the new line and the expression on the line above; the
    // range also takes what Enter moved down, so a line split in the middle is joined again.
    const int below = enter ? 1 : 0;
    const int line = editor_.currentLine() - below;
    if (line < 0) return;
    const std::string text = editor_.getTextRange(editor_.lineStartPosition(line),
                                                  editor_.lineEndPosition(editor_.currentLine()));
    std::optional<std::string> rewritten = calculator_.rewrite(text);
    if (!rewritten) return;
    if (enter) rewritten->append("\r\n");
    // One replacement of the selection: one undo step.
    editor_.replaceRange(editor_.lineStartPosition(editor_.currentLine() - below),
                         editor_.lineEndPosition(editor_.currentLine()), *rewritten);
}

}  // namespace qm
