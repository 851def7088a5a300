// The settings menu "托盘菜单" (opened from the tray icon, or from the toolbar where there is
// no tray): help, home page, backup and link settings, the window's check marks, exit. Every
// mark is saved at once; the effects belong to the window, which listens to the signals.
#pragma once

#include <QObject>
#include <QString>

class QAction;
class QMenu;
class QWidget;

namespace qm {

class ChoiceGroup;
class SettingsStore;

class SettingsMenu : public QObject {
    Q_OBJECT
public:
    // The project's home page, opened by "软件主页".
    static const char* const kHomePage;

    // The store must outlive the menu.
    SettingsMenu(SettingsStore* store, QWidget* parentWidget);
    ~SettingsMenu() override;

    QMenu* menu() const { return menu_; }
    // The entry with this caption (UTF-8), searched through the submenus; nullptr when none.
    QAction* action(const QString& caption) const;

    // Sets every mark from the settings file (the designed state where a key is missing)
    // without writing anything back.
    void restore();

    int savesPerBackup() const;  // 10, 30, 100, or 0 when none is checked
    int backupsKept() const;     // likewise
    int linkAction() const;      // 0, 1 or 2
    bool highlightLinks() const;
    bool alwaysOnTop() const;
    bool rememberWindowSize() const;
    bool startWithSystem() const;
    bool closeToTray() const;

signals:
    void helpRequested();
    void backupNowRequested();
    void exitRequested();
    void savesPerBackupChanged(int saves);
    void backupsKeptChanged(int count);
    void linkActionChanged(int action);
    void highlightLinksChanged(bool on);
    void alwaysOnTopChanged(bool on);
    void rememberWindowSizeChanged(bool on);
    void startWithSystemChanged(bool on);
    void closeToTrayChanged(bool on);

private:
    QAction* addEntry(QMenu* menu, const QString& caption);
    // A check-mark entry that saves itself under its caption and then emits `changed`.
    QAction* addCheckEntry(QMenu* menu, const QString& caption, bool designed,
                           void (SettingsMenu::*changed)(bool));

    SettingsStore* store_;
    QMenu* menu_;
    ChoiceGroup* savesGroup_;
    ChoiceGroup* keepGroup_;
    ChoiceGroup* linkGroup_;
    QAction* highlightLinks_;
    QAction* alwaysOnTop_;
    QAction* rememberWindowSize_;
    QAction* startWithSystem_;
    QAction* closeToTray_;
};

}  // namespace qm
