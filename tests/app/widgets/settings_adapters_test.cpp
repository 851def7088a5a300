// The Qt side of the settings store: menu marks, check boxes and window placement.
#include "app/widgets/settings_adapters.h"

#include <QAction>
#include <QCheckBox>
#include <QtTest>

#include "common/qt_text.h"
#include "support/temp_dir.h"

class SettingsAdaptersTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void menuCheckUsesTheCaption();
    void checkBoxUsesTheControlName();
    void placementOfNormalWindow_data();
    void placementOfNormalWindow();
    void maximizedWindowWritesOnlyItsState();
    void restoreAppliesStateAndFrame();
    void missingPlacementLeavesWindowAlone();

private:
    std::string fileBytes() const { return qm::testing::ReadFileBytes(path_); }

    std::unique_ptr<qm::testing::TempDir> dir_;
    std::string path_;
    std::unique_ptr<qm::SettingsStore> store_;
};

void SettingsAdaptersTest::init() {
    dir_ = std::make_unique<qm::testing::TempDir>();
    path_ = dir_->File("s.ini");
    store_ = std::make_unique<qm::SettingsStore>();
    QVERIFY(store_->open(path_));
    store_->setSection(qm::ToGb(QStringLiteral("主界面")));
}

void SettingsAdaptersTest::cleanup() {
    store_.reset();
    dir_.reset();
}

void SettingsAdaptersTest::menuCheckUsesTheCaption() {
    QAction action(QStringLiteral("钉在最前显示"));
    action.setCheckable(true);
    action.setChecked(true);
    QVERIFY(qm::saveMenuCheck(*store_, &action));
    QCOMPARE(fileBytes(), qm::ToGb(QStringLiteral("[主界面]\r\n钉在最前显示=真")));

    QAction other(QStringLiteral("钉在最前显示"));
    other.setCheckable(true);
    qm::restoreMenuCheck(*store_, &other);
    QVERIFY(other.isChecked());

    QAction missing(QStringLiteral("记住窗口尺寸"));  // no key: the mark stays as it is
    missing.setCheckable(true);
    missing.setChecked(true);
    qm::restoreMenuCheck(*store_, &missing);
    QVERIFY(missing.isChecked());
}

void SettingsAdaptersTest::checkBoxUsesTheControlName() {
    QCheckBox box(QStringLiteral("忽略大小写"));
    box.setObjectName(QStringLiteral("选择框忽略大小写"));
    box.setChecked(false);
    QVERIFY(qm::saveCheckBox(*store_, &box));
    QCOMPARE(fileBytes(), qm::ToGb(QStringLiteral("[主界面]\r\n选择框忽略大小写=假")));
    QCheckBox again;
    again.setObjectName(QStringLiteral("选择框忽略大小写"));
    again.setChecked(true);
    qm::restoreCheckBox(*store_, &again);
    QVERIFY(!again.isChecked());
}

void SettingsAdaptersTest::placementOfNormalWindow_data() {
    QTest::addColumn<QString>("base");
    QTest::addColumn<QString>("section");
    QTest::newRow("main window") << QString() << QStringLiteral("主界面.尺寸");
    QTest::newRow("named base") << QStringLiteral("属性窗") << QStringLiteral("属性窗.尺寸");
}

void SettingsAdaptersTest::placementOfNormalWindow() {
    QFETCH(QString, base);
    QFETCH(QString, section);
    QWidget window;
    window.move(10, 20);
    window.resize(300, 200);
    qm::saveWindowPlacement(*store_, &window, base);
    QCOMPARE(fileBytes(),
             qm::ToGb(u'[' + section +
                      QStringLiteral("]\r\n位置=0\r\n左边=10\r\n顶边=20\r\n宽度=300\r\n高度=200")));
}

void SettingsAdaptersTest::maximizedWindowWritesOnlyItsState() {
    QWidget window;
    window.setWindowState(Qt::WindowMaximized);
    qm::saveWindowPlacement(*store_, &window);
    QCOMPARE(fileBytes(), qm::ToGb(QStringLiteral("[主界面.尺寸]\r\n位置=2")));
}

void SettingsAdaptersTest::restoreAppliesStateAndFrame() {
    QWidget saved;
    saved.move(33, 44);
    saved.resize(640, 480);
    qm::saveWindowPlacement(*store_, &saved);
    QWidget restored;
    restored.resize(100, 100);
    qm::restoreWindowPlacement(*store_, &restored);
    QCOMPARE(restored.pos(), QPoint(33, 44));
    QCOMPARE(restored.size(), QSize(640, 480));
    QCOMPARE(restored.windowState(), Qt::WindowNoState);

    QWidget maximized;
    maximized.setWindowState(Qt::WindowMaximized);
    qm::saveWindowPlacement(*store_, &maximized);  // "位置" becomes 2, the frame stays
    QWidget third;
    third.resize(100, 100);
    qm::restoreWindowPlacement(*store_, &third);
    QVERIFY(third.windowState().testFlag(Qt::WindowMaximized));
}

void SettingsAdaptersTest::missingPlacementLeavesWindowAlone() {
    QWidget window;
    window.move(5, 6);
    window.resize(320, 240);
    qm::restoreWindowPlacement(*store_, &window);
    QCOMPARE(window.pos(), QPoint(5, 6));
    QCOMPARE(window.size(), QSize(320, 240));
    QCOMPARE(window.windowState(), Qt::WindowNoState);
}

QTEST_MAIN(SettingsAdaptersTest)
#include "settings_adapters_test.moc"
