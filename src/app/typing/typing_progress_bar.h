// The typing bar's progress area ("画板打字"): a green fill from the left edge, as wide as the
// value in hundredths of the area, under a transparent label ("透明标签打字") with the text.
#pragma once

#include <QWidget>

#include "tools/typing/typing_progress.h"

class QLabel;

namespace qm {

class TypingProgressBar : public QWidget {
    Q_OBJECT
public:
    explicit TypingProgressBar(QWidget* parent = nullptr);

    // Clears the fill and the remembered value.
    void reset();
    // Repaints the fill when `value` (0 to 100) differs from the last one, then shows `text`.
    void show(int value, const QString& text);
    // Sets the label's text without touching the fill ("已停止打字").
    void setText(const QString& text);

    int value() const { return progress_.value(); }
    int fillWidth() const { return progress_.FillWidth(width()); }
    QLabel* label() const { return label_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    TypingProgress progress_;
    QLabel* label_;
};

}  // namespace qm
