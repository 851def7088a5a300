#include "app/typing/typing_progress_bar.h"

#include <QLabel>
#include <QPainter>

namespace qm {

TypingProgressBar::TypingProgressBar(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("画板打字"));
    setAutoFillBackground(false);  // the bar's own background shows through
    label_ = new QLabel(this);
    label_->setObjectName(QStringLiteral("透明标签打字"));
    label_->setAttribute(Qt::WA_TranslucentBackground);
    label_->setFont(QFont(QStringLiteral("宋体"), 11));
    label_->setGeometry(10, 0, 10000, height());
}

void TypingProgressBar::reset() {
    progress_.Reset();
    update();
}

void TypingProgressBar::show(int value, const QString& text) {
    if (progress_.Show(value, text.toStdString())) update();
    label_->setText(text);
}

void TypingProgressBar::setText(const QString& text) { label_->setText(text); }

void TypingProgressBar::paintEvent(QPaintEvent*) {
    const int fill = progress_.FillWidth(width());
    if (fill <= 0) return;
    QPainter painter(this);
    painter.fillRect(0, 0, fill, height(), QColor(0, 255, 0));
}

void TypingProgressBar::resizeEvent(QResizeEvent*) { label_->setGeometry(10, 0, 10000, height()); }

}  // namespace qm
