// The settings menu "托盘菜单": its entries in order, the check marks and radio groups, and
// the bytes they leave in the settings file.
#include "app/window/settings_menu.h"

#include <QDesktopServices>
#include <QMenu>
#include <QtTest>

#include "common/qt_text.h"
#include "settings/settings_store.h"
#include "support/temp_dir.h"

namespace {

// The captions of a menu, "-" for a separator and "name>" for a submenu.
QStringList Captions(const QMenu* menu) {
    QStringList captions;
    for (const QAction* action : menu->actions()) {
        if (action->isSeparator()) {
            captions << QStringLiteral("-");
        } else if (action->menu() != nullptr) {
            captions << action->text() + u'>';
        } else {
            captions << action->text();
        }
    }
    return captions;
}

QMenu* Submenu(const QMenu* menu, const QString& title) {
    for (const QAction* action : menu->actions()) {
        if (action->menu() != nullptr && action->text() == title) return action->menu();
    }
    return nullptr;
}

std::string Gb(const QString& text) { return qm::ToGb(text); }

}  // namespace

// Catches the address "软件主页" hands to the desktop.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl& url) { urls << url; }
};

class SettingsMenuTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void entriesStandInOrder();
    void designedStateNeedsNoWrite();
    void firstWriteIntoEmptyFile();
    void backupGroupsAreRadioLike_data();
    void backupGroupsAreRadioLike();
    void backupGroupsRestoreFromNumber_data();
    void backupGroupsRestoreFromNumber();
    void linkActionIsARadio();
    void checkMarksAreSavedAndRestored();
    void homePageOpensTheProjectAddress();
    void cancelDoesNothing();

private:
    void reopen();
    std::string fileBytes() const { return qm::testing::ReadFileBytes(path_); }

    std::unique_ptr<qm::testing::TempDir> dir_;
    std::string path_;
    std::unique_ptr<qm::SettingsStore> store_;
    std::unique_ptr<QWidget> owner_;
    qm::SettingsMenu* menu_ = nullptr;
};

void SettingsMenuTest::init() {
    dir_ = std::make_unique<qm::testing::TempDir>();
    path_ = dir_->File("Quelmar·Corvanel.ini");
    reopen();
}

void SettingsMenuTest::cleanup() {
    owner_.reset();
    store_.reset();
    dir_.reset();
}

void SettingsMenuTest::reopen() {
    owner_.reset();
    store_ = std::make_unique<qm::SettingsStore>();
    QVERIFY(store_->open(path_));
    owner_ = std::make_unique<QWidget>();
    menu_ = new qm::SettingsMenu(store_.get(), owner_.get());
    menu_->restore();
}

void SettingsMenuTest::entriesStandInOrder() {
    QCOMPARE(menu_->menu()->objectName(), QStringLiteral("托盘菜单"));
    const QStringList top{"帮助",
                          "-",
                          "软件主页",
                          "-",
                          "备份设置>",
                          "链接设置>",
                          "-",
                          "钉在最前显示",
                          "记住窗口尺寸",
                          "开机启动本软件",
                          "关闭窗口到托盘",
                          "-",
                          "退出软件",
                          "取消菜单"};
    QCOMPARE(Captions(menu_->menu()), top);
    const QStringList backup{"每保存10次备份",  "每保存30次备份", "每保存100次备份", "-",
                             "保持备份数10个",  "保持备份数30个", "保持备份数100个", "-",
                             "现在执行一次备份"};
    QCOMPARE(Captions(Submenu(menu_->menu(), QStringLiteral("备份设置"))), backup);
    const QStringList links{"高亮链接", "-", "无动作", "单击链接打开", "双击链接打开"};
    QCOMPARE(Captions(Submenu(menu_->menu(), QStringLiteral("链接设置"))), links);
}

void SettingsMenuTest::designedStateNeedsNoWrite() {
    QVERIFY(menu_->highlightLinks());
    QVERIFY(menu_->closeToTray());
    QVERIFY(!menu_->alwaysOnTop());
    QVERIFY(!menu_->rememberWindowSize());
    QVERIFY(!menu_->startWithSystem());
    QCOMPARE(menu_->savesPerBackup(), 10);
    QCOMPARE(menu_->backupsKept(), 10);
    QCOMPARE(menu_->linkAction(), 1);
    QVERIFY(menu_->action(QStringLiteral("单击链接打开"))->isChecked());
    QCOMPARE(fileBytes(), std::string());  // restoring writes nothing
}

void SettingsMenuTest::firstWriteIntoEmptyFile() {
    QSignalSpy changed(menu_, &qm::SettingsMenu::closeToTrayChanged);
    menu_->action(QStringLiteral("关闭窗口到托盘"))->trigger();
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.at(0).at(0).toBool(), false);
    QCOMPARE(fileBytes(), Gb(QStringLiteral("[主界面]\r\n关闭窗口到托盘=假")));
    menu_->action(QStringLiteral("钉在最前显示"))->trigger();
    QCOMPARE(fileBytes(), Gb(QStringLiteral("[主界面]\r\n关闭窗口到托盘=假\r\n钉在最前显示=真")));
}

void SettingsMenuTest::backupGroupsAreRadioLike_data() {
    QTest::addColumn<QStringList>("clicks");
    QTest::addColumn<int>("saves");
    QTest::addColumn<QString>("stored");
    QTest::newRow("30 unchecks the others")
        << QStringList{"每保存30次备份"} << 30 << QStringLiteral("30");
    QTest::newRow("clicking 30 twice leaves none")
        << QStringList{"每保存30次备份", "每保存30次备份"} << 0 << QStringLiteral("0");
    QTest::newRow("clicking the checked 10 leaves none")
        << QStringList{"每保存10次备份"} << 0 << QStringLiteral("0");
    QTest::newRow("100 after 30") << QStringList{"每保存30次备份", "每保存100次备份"} << 100
                                  << QStringLiteral("100");
}

void SettingsMenuTest::backupGroupsAreRadioLike() {
    QFETCH(QStringList, clicks);
    QFETCH(int, saves);
    QFETCH(QString, stored);
    QSignalSpy changed(menu_, &qm::SettingsMenu::savesPerBackupChanged);
    for (const QString& caption : clicks) menu_->action(caption)->trigger();
    QCOMPARE(menu_->savesPerBackup(), saves);
    QCOMPARE(changed.count(), clicks.size());
    QCOMPARE(changed.last().at(0).toInt(), saves);
    int checked = 0;
    for (const int n : {10, 30, 100}) {
        const bool on = menu_->action(QStringLiteral("每保存%1次备份").arg(n))->isChecked();
        checked += on ? 1 : 0;
        QCOMPARE(on, n == saves);
    }
    QVERIFY(checked <= 1);
    QCOMPARE(fileBytes(), Gb(QStringLiteral("[主界面]\r\n触发备份的保存数=") + stored));
    QCOMPARE(menu_->backupsKept(), 10);  // the other group is untouched
}

void SettingsMenuTest::backupGroupsRestoreFromNumber_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("saves");
    QTest::addColumn<int>("kept");
    QTest::newRow("missing keys") << QString() << 10 << 10;
    QTest::newRow("30 and 100") << QStringLiteral(
                                       "[主界面]\r\n触发备份的保存数=30\r\n保持备份数=100")
                                << 30 << 100;
    QTest::newRow("numbers without an entry check none")
        << QStringLiteral("[主界面]\r\n触发备份的保存数=7\r\n保持备份数=0") << 0 << 0;
    QTest::newRow("garbage reads as 0")
        << QStringLiteral("[主界面]\r\n触发备份的保存数=abc") << 0 << 10;
}

void SettingsMenuTest::backupGroupsRestoreFromNumber() {
    QFETCH(QString, file);
    QFETCH(int, saves);
    QFETCH(int, kept);
    owner_.reset();
    store_.reset();
    qm::testing::WriteFileBytes(path_, Gb(file));
    reopen();
    QCOMPARE(menu_->savesPerBackup(), saves);
    QCOMPARE(menu_->backupsKept(), kept);
    QCOMPARE(fileBytes(), Gb(file));
}

void SettingsMenuTest::linkActionIsARadio() {
    QSignalSpy changed(menu_, &qm::SettingsMenu::linkActionChanged);
    menu_->action(QStringLiteral("双击链接打开"))->trigger();
    QCOMPARE(menu_->linkAction(), 2);
    QVERIFY(!menu_->action(QStringLiteral("单击链接打开"))->isChecked());
    menu_->action(QStringLiteral("双击链接打开"))->trigger();  // stays chosen
    QVERIFY(menu_->action(QStringLiteral("双击链接打开"))->isChecked());
    menu_->action(QStringLiteral("无动作"))->trigger();
    QCOMPARE(menu_->linkAction(), 0);
    QCOMPARE(changed.count(), 3);
    QCOMPARE(fileBytes(), Gb(QStringLiteral("[主界面]\r\n链接动作=0")));
    reopen();
    QCOMPARE(menu_->linkAction(), 0);
    QVERIFY(menu_->action(QStringLiteral("无动作"))->isChecked());
}

void SettingsMenuTest::checkMarksAreSavedAndRestored() {
    for (const char* caption : {"高亮链接", "钉在最前显示", "记住窗口尺寸", "开机启动本软件"}) {
        menu_->action(QString::fromUtf8(caption))->trigger();
    }
    reopen();
    QVERIFY(!menu_->highlightLinks());
    QVERIFY(menu_->alwaysOnTop());
    QVERIFY(menu_->rememberWindowSize());
    QVERIFY(menu_->startWithSystem());
    QVERIFY(menu_->closeToTray());
}

void SettingsMenuTest::homePageOpensTheProjectAddress() {
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler(QStringLiteral("https"), &catcher, "open");
    menu_->action(QStringLiteral("软件主页"))->trigger();
    QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
    QCOMPARE(catcher.urls, QList<QUrl>{QUrl(QStringLiteral("https://corvanel.example.org/"))});
}

void SettingsMenuTest::cancelDoesNothing() {
    QSignalSpy exit(menu_, &qm::SettingsMenu::exitRequested);
    QSignalSpy help(menu_, &qm::SettingsMenu::helpRequested);
    menu_->action(QStringLiteral("取消菜单"))->trigger();
    QCOMPARE(exit.count() + help.count(), 0);
    QCOMPARE(fileBytes(), std::string());
    menu_->action(QStringLiteral("退出软件"))->trigger();
    QCOMPARE(exit.count(), 1);
}

QTEST_MAIN(SettingsMenuTest)
#include "settings_menu_test.moc"
