#include "app/window/tray_icon.h"

#include <QMenu>

#include "app/window/program_icon.h"

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

QIcon TrayIcon::ProgramIcon() { return qm::ProgramIcon(); }

}  // namespace qm
