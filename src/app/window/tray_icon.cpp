#include "app/window/tray_icon.h"

#include <QMenu>
#include <QPainter>
#include <QPixmap>

namespace qm {

TrayIcon::TrayIcon(QMenu* menu, bool available, QObject* parent)
    : QObject(parent), available_(available) {
    icon_.setIcon(ProgramIcon());
    icon_.setToolTip(QStringLiteral("Quelmar·Corvanel - 使用无限树结构来保存你的笔记"));
    icon_.setContextMenu(menu);
    connect(&icon_, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::Trigger) emit toggleRequested();
            });
}

void TrayIcon::setShown(bool shown) { icon_.setVisible(shown && available_); }

QIcon TrayIcon::ProgramIcon() {
    // A green notebook with a small tree drawn on its cover.
    QPixmap pixmap(64, 64);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0x1d, 0x5c, 0x3a), 3));
    p.setBrush(QColor(0x3c, 0x9a, 0x62));
    p.drawRoundedRect(QRectF(10, 4, 46, 56), 6, 6);
    p.setBrush(QColor(0xf4, 0xf1, 0xe4));
    p.setPen(Qt::NoPen);
    p.drawRect(QRectF(6, 10, 6, 44));  // the binding
    p.setPen(QPen(Qt::white, 3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(24, 16), QPointF(24, 48));
    p.drawLine(QPointF(24, 26), QPointF(40, 26));
    p.drawLine(QPointF(24, 38), QPointF(40, 38));
    p.drawLine(QPointF(40, 26), QPointF(40, 32));
    p.setBrush(Qt::white);
    for (const QPointF& dot :
         {QPointF(24, 16), QPointF(44, 26), QPointF(44, 38), QPointF(44, 32)}) {
        p.drawEllipse(dot, 2.5, 2.5);
    }
    return QIcon(pixmap);
}

}  // namespace qm
