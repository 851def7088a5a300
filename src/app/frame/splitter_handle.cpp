#include "app/frame/splitter_handle.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

namespace qm {

SplitterHandle::SplitterHandle(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("分隔条"));
    setCursor(Qt::SplitHCursor);
}

int SplitterHandle::leftFor(QMouseEvent* event) const {
    const int wanted = mapToParent(event->position().toPoint()).x() - grabOffset_;
    const int widest = parentWidget() ? parentWidget()->width() - width() : wanted;
    return std::clamp(wanted, 0, std::max(0, widest));
}

void SplitterHandle::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
    grabOffset_ = event->position().toPoint().x();
    dragging_ = true;
}

void SplitterHandle::mouseMoveEvent(QMouseEvent* event) {
    if (dragging_) emit dragging(leftFor(event));
}

void SplitterHandle::mouseReleaseEvent(QMouseEvent* event) {
    if (!dragging_ || event->button() != Qt::LeftButton) return QWidget::mouseReleaseEvent(event);
    dragging_ = false;
    emit moved(leftFor(event));
}

void SplitterHandle::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), palette().window());
    p.setPen(palette().mid().color());
    p.drawLine(width() / 2, height() / 2 - 10, width() / 2, height() / 2 + 10);
}

}  // namespace qm
