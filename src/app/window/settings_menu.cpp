#include "app/window/settings_menu.h"

#include <QAction>
#include <QDesktopServices>
#include <QMenu>
#include <QUrl>

#include "app/widgets/choice_group.h"
#include "app/widgets/settings_adapters.h"
#include "settings/settings_keys.h"
#include "settings/settings_store.h"

namespace qm {

const char* const SettingsMenu::kHomePage = "https://corvanel.example.org/";

SettingsMenu::SettingsMenu(SettingsStore* store, QWidget* parentWidget)
    : QObject(parentWidget), store_(store), menu_(new QMenu(parentWidget)) {
    menu_->setObjectName(QStringLiteral("托盘菜单"));

    connect(addEntry(menu_, QStringLiteral("帮助")), &QAction::triggered, this,
            &SettingsMenu::helpRequested);
    menu_->addSeparator();
    connect(addEntry(menu_, QStringLiteral("软件主页")), &QAction::triggered, this,
            [] { QDesktopServices::openUrl(QUrl(QString::fromLatin1(kHomePage))); });
    menu_->addSeparator();

    QMenu* backup = menu_->addMenu(QStringLiteral("备份设置"));
    backup->setObjectName(QStringLiteral("备份设置"));
    savesGroup_ = new ChoiceGroup(ChoiceGroup::Mode::kToggle, this);
    for (const int saves : {10, 30, 100}) {
        savesGroup_->add(addEntry(backup, QStringLiteral("每保存%1次备份").arg(saves)), saves);
    }
    backup->addSeparator();
    keepGroup_ = new ChoiceGroup(ChoiceGroup::Mode::kToggle, this);
    for (const int kept : {10, 30, 100}) {
        keepGroup_->add(addEntry(backup, QStringLiteral("保持备份数%1个").arg(kept)), kept);
    }
    backup->addSeparator();
    connect(addEntry(backup, QStringLiteral("现在执行一次备份")), &QAction::triggered, this,
            &SettingsMenu::backupNowRequested);

    QMenu* links = menu_->addMenu(QStringLiteral("链接设置"));
    links->setObjectName(QStringLiteral("链接设置"));
    highlightLinks_ = addCheckEntry(links, QStringLiteral("高亮链接"), true,
                                    &SettingsMenu::highlightLinksChanged);
    links->addSeparator();
    linkGroup_ = new ChoiceGroup(ChoiceGroup::Mode::kRadio, this);
    linkGroup_->add(addEntry(links, QStringLiteral("无动作")), 0);
    linkGroup_->add(addEntry(links, QStringLiteral("单击链接打开")), 1);
    linkGroup_->add(addEntry(links, QStringLiteral("双击链接打开")), 2);
    menu_->addSeparator();

    alwaysOnTop_ = addCheckEntry(menu_, QStringLiteral("钉在最前显示"), false,
                                 &SettingsMenu::alwaysOnTopChanged);
    rememberWindowSize_ = addCheckEntry(menu_, QStringLiteral("记住窗口尺寸"), false,
                                        &SettingsMenu::rememberWindowSizeChanged);
    startWithSystem_ = addCheckEntry(menu_, QStringLiteral("开机启动本软件"), false,
                                     &SettingsMenu::startWithSystemChanged);
    closeToTray_ = addCheckEntry(menu_, QStringLiteral("关闭窗口到托盘"), true,
                                 &SettingsMenu::closeToTrayChanged);
    menu_->addSeparator();
    connect(addEntry(menu_, QStringLiteral("退出软件")), &QAction::triggered, this,
            &SettingsMenu::exitRequested);
    // Choosing it closes the menu, which every entry does; it has nothing else to do.
    addEntry(menu_, QStringLiteral("取消菜单"));

    savesGroup_->setValue(10);
    keepGroup_->setValue(10);
    linkGroup_->setValue(1);

    connect(savesGroup_, &ChoiceGroup::valueChosen, this, [this](int saves) {
        UseMainSection(*store_);
        settings::Write(*store_, settings::kSavesPerBackup, saves);
        emit savesPerBackupChanged(saves);
    });
    connect(keepGroup_, &ChoiceGroup::valueChosen, this, [this](int kept) {
        UseMainSection(*store_);
        settings::Write(*store_, settings::kBackupsKept, kept);
        emit backupsKeptChanged(kept);
    });
    connect(linkGroup_, &ChoiceGroup::valueChosen, this, [this](int action) {
        UseMainSection(*store_);
        settings::Write(*store_, settings::kLinkAction, action);
        emit linkActionChanged(action);
    });
}

SettingsMenu::~SettingsMenu() = default;

QAction* SettingsMenu::addEntry(QMenu* menu, const QString& caption) {
    QAction* action = menu->addAction(caption);
    action->setObjectName(caption);
    return action;
}

QAction* SettingsMenu::addCheckEntry(QMenu* menu, const QString& caption, bool designed,
                                     void (SettingsMenu::*changed)(bool)) {
    QAction* action = addEntry(menu, caption);
    action->setCheckable(true);
    action->setChecked(designed);
    connect(action, &QAction::triggered, this, [this, action, changed](bool checked) {
        UseMainSection(*store_);
        saveMenuCheck(*store_, action);
        emit(this->*changed)(checked);
    });
    return action;
}

QAction* SettingsMenu::action(const QString& caption) const {
    return menu_->findChild<QAction*>(caption);
}

void SettingsMenu::restore() {
    UseMainSection(*store_);
    for (QAction* mark :
         {highlightLinks_, alwaysOnTop_, rememberWindowSize_, startWithSystem_, closeToTray_}) {
        restoreMenuCheck(*store_, mark);
    }
    savesGroup_->setValue(static_cast<int>(settings::Read(*store_, settings::kSavesPerBackup)));
    keepGroup_->setValue(static_cast<int>(settings::Read(*store_, settings::kBackupsKept)));
    linkGroup_->setValue(static_cast<int>(settings::Read(*store_, settings::kLinkAction)));
}

int SettingsMenu::savesPerBackup() const { return savesGroup_->value(); }
int SettingsMenu::backupsKept() const { return keepGroup_->value(); }
int SettingsMenu::linkAction() const { return linkGroup_->value(); }
bool SettingsMenu::highlightLinks() const { return highlightLinks_->isChecked(); }
bool SettingsMenu::alwaysOnTop() const { return alwaysOnTop_->isChecked(); }
bool SettingsMenu::rememberWindowSize() const { return rememberWindowSize_->isChecked(); }
bool SettingsMenu::startWithSystem() const { return startWithSystem_->isChecked(); }
bool SettingsMenu::closeToTray() const { return closeToTray_->isChecked(); }

}  // namespace qm
