// The automatic typing bar: "打字" (start, then pause and resume), "停止", the interval box
// with its caption and the progress area.
#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;

namespace qm {

class TypingProgressBar;

class TypingBar : public QWidget {
    Q_OBJECT
public:
    static constexpr int kHeight = 26;

    explicit TypingBar(QWidget* parent = nullptr);

    QPushButton* typeButton() const { return type_; }
    QPushButton* stopButton() const { return stop_; }
    QLineEdit* intervalBox() const { return interval_; }
    TypingProgressBar* progress() const { return progress_; }

signals:
    // "打字" clicked, or Enter in the interval box.
    void typeRequested();
    void stopRequested();

private:
    QPushButton* type_;
    QPushButton* stop_;
    QLineEdit* interval_;
    TypingProgressBar* progress_;
};

}  // namespace qm
