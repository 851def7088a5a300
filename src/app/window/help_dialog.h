// The help window "疑点说明": the program's features and usage tips, read-only, closed with
// its one button "关闭".
#pragma once

#include <QDialog>

class QPlainTextEdit;
class QPushButton;

namespace qm {

// The help text shown in the window (plain text, lines end with '\n').
QString HelpText();

class HelpDialog : public QDialog {
    Q_OBJECT
public:
    explicit HelpDialog(QWidget* parent = nullptr);

    QPlainTextEdit* textView() const { return text_; }
    QPushButton* closeButton() const { return close_; }

private:
    QPlainTextEdit* text_;
    QPushButton* close_;
};

}  // namespace qm
