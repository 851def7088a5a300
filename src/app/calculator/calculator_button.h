// The toolbar button "计算" (button 13): while it is pressed, Enter and the "=" key in the
// editor work out the arithmetic line they finish. The window stores and restores its state
// like every check button of the toolbar ("工具条显示.13").
#pragma once

#include <QObject>
#include <memory>

class QAction;

namespace qm {

class Calculator;
class CalculatorKeys;
class MainToolBar;
class NoteEditor;

class CalculatorButton : public QObject {
    Q_OBJECT
public:
    static constexpr int kButton = 13;
    static const char* const kCaption;
    static const char* const kToolTip;

    // Adds the check button to `toolBar` and listens to `editor`; both must outlive this.
    CalculatorButton(MainToolBar* toolBar, NoteEditor* editor, QObject* parent = nullptr);
    ~CalculatorButton() override;

    // nullptr when the toolbar already had a button 13.
    QAction* button() const { return button_; }
    CalculatorKeys* keys() const { return keys_; }

private:
    std::unique_ptr<Calculator> calculator_;
    CalculatorKeys* keys_;
    QAction* button_;
};

}  // namespace qm
