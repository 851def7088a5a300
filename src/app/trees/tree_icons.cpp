#include "app/trees/tree_icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace qm {

namespace {

constexpr int kSize = 16;

QPixmap Canvas() {
    QPixmap pixmap(kSize, kSize);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

QIcon Folder() {
    QPixmap pixmap = Canvas();
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QColor(0x9a, 0x6b, 0x10));
    p.setBrush(QColor(0xf0, 0xc0, 0x50));
    p.drawRect(QRectF(1.5, 2.5, 6, 3));  // the tab
    p.setBrush(QColor(0xf8, 0xd8, 0x70));
    p.drawRect(QRectF(1.5, 4.5, 13, 9));
    return QIcon(pixmap);
}

QIcon Page() {
    QPixmap pixmap = Canvas();
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath sheet;
    sheet.moveTo(3.5, 1.5);
    sheet.lineTo(10.5, 1.5);
    sheet.lineTo(13.5, 4.5);
    sheet.lineTo(13.5, 14.5);
    sheet.lineTo(3.5, 14.5);
    sheet.closeSubpath();
    p.setPen(QColor(0x60, 0x60, 0x60));
    p.setBrush(Qt::white);
    p.drawPath(sheet);
    p.setPen(QColor(0x70, 0x90, 0xc0));
    for (int y = 6; y <= 12; y += 2) p.drawLine(QPointF(5.5, y + 0.5), QPointF(11.5, y + 0.5));
    return QIcon(pixmap);
}

QIcon Book() {
    QPixmap pixmap = Canvas();
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QColor(0x20, 0x40, 0x80));
    p.setBrush(QColor(0x40, 0x70, 0xc0));
    p.drawRoundedRect(QRectF(2.5, 1.5, 11, 13), 1.5, 1.5);
    p.setBrush(QColor(0xf0, 0xf0, 0xe0));
    p.drawRect(QRectF(4.5, 12.5, 9, 2));  // the pages' edge
    p.setPen(QColor(0xe0, 0xe8, 0xff));
    p.drawLine(QPointF(6, 5.5), QPointF(11, 5.5));
    p.drawLine(QPointF(6, 8), QPointF(11, 8));
    return QIcon(pixmap);
}

}  // namespace

QIcon TreeIcon(int image) {
    static const QIcon icons[] = {Folder(), Page(), Book()};
    if (image < 0 || image > 2) return QIcon();
    return icons[image];
}

}  // namespace qm
