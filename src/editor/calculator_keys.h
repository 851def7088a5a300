// The Enter-key calculator in the editor: while switched on, Enter or the "=" key at the end
// of an arithmetic line rewrites the line as the expression, "=" and its result.
#pragma once

#include <QObject>

namespace qm {

class Calculator;
class NoteEditor;

class CalculatorKeys : public QObject {
    Q_OBJECT
public:
    // Listens to `editor`; both must outlive this object. Starts switched off.
    CalculatorKeys(NoteEditor& editor, const Calculator& calculator, QObject* parent = nullptr);

    void setEnabled(bool on) { enabled_ = on; }
    bool enabled() const { return enabled_; }

    // Whether the caret stood at the start of its line when Enter last went down (recorded
    // while switched on, before the editor splits the line).
    bool caretWasAtLineStart() const { return caretWasAtLineStart_; }

    // A key went down, before the editor handles it: Enter records caretWasAtLineStart.
    void keyPressed(int key);
    // A key came up, after the editor handled it. Return and the keypad's Enter rewrite the
    // line above the caret (unless Enter split the line at its start), the "=" key (and
    // "+" not from the keypad, which shares it) the caret's line. Each rewrite is one undo
    // step; nothing changes when the line is not an expression or the calculator is off.
    void keyReleased(int key, bool keypad);

private:
    NoteEditor& editor_;
    const Calculator& calculator_;
    bool enabled_ = false;
    bool caretWasAtLineStart_ = false;
};

}  // namespace qm
