// The notification-area icon: a left click asks to show or hide the window, a right click
// opens the settings menu. Where the desktop has no tray the icon is never shown and the
// window must not hide itself (see available()).
#pragma once

#include <QObject>
#include <QSystemTrayIcon>

class QMenu;

namespace qm {

class TrayIcon : public QObject {
    Q_OBJECT
public:
    // `available`: whether the desktop shows tray icons (QSystemTrayIcon::
    // isSystemTrayAvailable() in the program; tests choose).
    TrayIcon(QMenu* menu, bool available, QObject* parent = nullptr);

    bool available() const { return available_; }
    // Shows the icon when a tray is available; removes it otherwise.
    void setShown(bool shown);
    bool shown() const { return icon_.isVisible(); }

    // The icon image of the program (also the window's icon): see program_icon.h.
    static QIcon ProgramIcon();

signals:
    // Left click: toggle the window.
    void toggleRequested();

private:
    QSystemTrayIcon icon_;
    bool available_;
};

}  // namespace qm
