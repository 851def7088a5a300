// The real main window, driven offscreen on a temporary program folder: first start, the
// trees, closing to the tray or quitting, Esc, the layout, the tray-less mend, tool bars,
// autostart and damaged or unavailable files.
#include "app/window/main_window.h"

#include <QApplication>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QtTest>
#include <cerrno>
#include <cmath>
#include <cstring>

#include "app/frame/drop_arrow_button.h"
#include "app/frame/main_tool_bar.h"
#include "app/frame/splitter_handle.h"
#include "app/trees/note_tree_view.h"
#include "app/trees/note_trees.h"
#include "app/trees/outline_model.h"
#include "app/widgets/message_box.h"
#include "app/window/program.h"
#include "app/window/settings_menu.h"
#include "app/window/tray_icon.h"
#include "common/qt_text.h"
#include "settings/settings_store.h"
#include "store/tree_store.h"
#include "support/durable_bytes.h"
#include "support/temp_dir.h"

using qm::MainWindow;

namespace {

const std::string kSep("\x1e\x1e");

std::string Gb(const QString& text) { return qm::ToGb(text); }

// True when `record` is the root record written on first start: title, image 2, selected
// image 2, value 0, state 0, depth 1, empty body and path, selection 0 0, three equal times.
bool IsFirstStartRoot(const std::string& record, const QString& title, QString* why) {
    const std::string head = Gb(title) + kSep + "2" + kSep + "2" + kSep + "0" + kSep + "0" + kSep +
                             "1" + kSep + kSep + kSep + "0" + kSep + "0" + kSep;
    if (record.compare(0, head.size(), head) != 0) {
        *why = QStringLiteral("fixed fields differ");
        return false;
    }
    const std::string times = record.substr(head.size());
    // time SEP time SEP time NUL: 19 + 2 + 19 + 2 + 19 + 1 bytes.
    if (times.size() != 62 || times.back() != '\0' || times.substr(19, 2) != kSep ||
        times.substr(40, 2) != kSep) {
        *why = QStringLiteral("time fields have the wrong shape");
        return false;
    }
    static const QRegularExpression format(
        QStringLiteral("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d$"));
    const QString first = QString::fromLatin1(times.substr(0, 19));
    if (!format.match(first).hasMatch()) {
        *why = QStringLiteral("bad time text: ") + first;
        return false;
    }
    if (times.substr(21, 19) != times.substr(0, 19) ||
        times.substr(42, 19) != times.substr(0, 19)) {
        *why = QStringLiteral("the three times differ");
        return false;
    }
    return true;
}

qm::NodeFields Fields(const QString& title, int image) {
    qm::NodeFields fields;
    fields.title = Gb(title);
    fields.image = image;
    return fields;
}

// The records of a tree image, each split into its fields.
std::vector<std::vector<std::string>> Records(const std::string& image) {
    std::vector<std::vector<std::string>> records;
    size_t start = 0;
    for (size_t end = image.find('\0'); end != std::string::npos;
         start = end + 1, end = image.find('\0', start)) {
        std::vector<std::string> fields;
        const std::string record = image.substr(start, end - start);
        size_t from = 0;
        for (size_t sep = record.find(kSep); sep != std::string::npos;
             from = sep + kSep.size(), sep = record.find(kSep, from)) {
            fields.push_back(record.substr(from, sep - from));
        }
        fields.push_back(record.substr(from));
        records.push_back(fields);
    }
    return records;
}

// A notebook file with a root and `children` notes below it.
void WriteNotebook(const std::string& path, int children) {
    qm::TreeStore store;
    store.Open(path);
    store.BuildOutline();
    store.AddNode(std::nullopt, Fields(QStringLiteral("笔记本"), 2));
    for (int i = 0; i < children; ++i) store.AddNode(0, Fields(QStringLiteral("笔记%1").arg(i), 1));
}

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void firstStartCreatesOneRootInEachStore();
    void captionAndToolbar();
    void reselectsTheStoredItem_data();
    void reselectsTheStoredItem();
    void itemToReselectRule_data();
    void itemToReselectRule();
    void closeHidesToTrayAndSaves();
    void closeQuitsWhenNotClosingToTray();
    void exitAlwaysEnds();
    void escHidesOnlyWhileClosingToTray_data();
    void escHidesOnlyWhileClosingToTray();
    void trayClickTogglesTheWindow();
    void startHiddenLoadsNotesWithoutShowing();
    void placementIsRememberedWhenChecked();
    void relayoutPlacesTreesSplitterAndEditor();
    void recycleBinArrowSplitsTheColumn();
    void splitterDragIsStored();
    void storedSplitterIsUsed();
    void toolBarsToggleAndRestore();
    void backupRadioGroupsFromTheTray();
    void backupNowCopiesAndTellsWhere();
    void alwaysOnTopIsApplied();
    void autostartFollowsTheMark();
    void staleAutostartIsRemovedAtStart();
    void helpWindow();
    void traylessWindowNeverHides();
    void traylessHiddenStartIsMinimized();
    void garbageSettingsFileIsTolerated();
    void lockedNotebookWorksFromMemory();
    void unwritableFolderStillStarts();

private:
    // Opens a session on the fixture's folder and runs the start-up.
    MainWindow& start(bool startUp = true);
    QString folder() const { return QString::fromStdString(dir_->path()); }
    std::string file(const char* name) const { return dir_->File(name); }
    std::string settingsBytes() const {
        return qm::testing::ReadFileBytes(file("Quelmar·Corvanel.ini"));
    }
    void writeSettings(const QString& text) {
        qm::testing::WriteFileBytes(file("Quelmar·Corvanel.ini"), Gb(text));
    }
    QAction* menuEntry(const char* caption) {
        return session_->window().settingsMenu()->action(QString::fromUtf8(caption));
    }

    std::unique_ptr<qm::testing::TempDir> dir_;
    std::unique_ptr<qm::testing::TempDir> config_;
    qm::StartOptions options_;
    std::unique_ptr<qm::Session> session_;
    std::unique_ptr<QSignalSpy> saves_;
    std::unique_ptr<QSignalSpy> ended_;
    std::unique_ptr<QSignalSpy> shows_;
};

void MainWindowTest::initTestCase() { qm::MessageBox::setAnswerInAdvance(true); }

void MainWindowTest::init() {
    qm::MessageBox::clearShown();
    dir_ = std::make_unique<qm::testing::TempDir>();
    config_ = std::make_unique<qm::testing::TempDir>();
    options_ = {};
    options_.programFolder = folder();
    options_.executablePath = QStringLiteral("/opt/qm/corvanel");
    options_.autostartFolder = QString::fromStdString(config_->File("autostart"));
    options_.trayAvailable = true;
}

void MainWindowTest::cleanup() {
    saves_.reset();
    ended_.reset();
    shows_.reset();
    session_.reset();
    config_.reset();
    dir_.reset();
}

MainWindow& MainWindowTest::start(bool startUp) {
    session_ = std::make_unique<qm::Session>(options_);
    MainWindow& window = session_->window();
    saves_ = std::make_unique<QSignalSpy>(&window, &MainWindow::saveCurrentNoteRequested);
    ended_ = std::make_unique<QSignalSpy>(&window, &MainWindow::programEnded);
    shows_ = std::make_unique<QSignalSpy>(&window, &MainWindow::showSelectedNoteRequested);
    if (startUp) window.startUp();
    return window;
}

void MainWindowTest::firstStartCreatesOneRootInEachStore() {
    MainWindow& window = start();
    QVERIFY(window.isVisible());
    QString why;
    QVERIFY2(IsFirstStartRoot(qm::testing::DurableBytes(file("笔记本.qm")),
                              QStringLiteral("笔记本"), &why),
             qPrintable(why));
    QVERIFY2(IsFirstStartRoot(qm::testing::DurableBytes(file("回收站.qm")),
                              QStringLiteral("回收站"), &why),
             qPrintable(why));

    qm::NoteTrees* trees = window.trees();
    QCOMPARE(trees->notebookModel()->nodeCount(), 1);
    QCOMPARE(trees->recycleBinModel()->nodeCount(), 1);
    QCOMPARE(trees->notebookView()->objectName(), QStringLiteral("树型框笔记本"));
    QCOMPARE(trees->recycleBinView()->objectName(), QStringLiteral("树型框回收站"));
    QCOMPARE(trees->notebookView()->selectedNode(), 0);
    QCOMPARE(trees->notebookModel()->indexOfNode(0).data().toString(), QStringLiteral("笔记本"));
    QVERIFY(trees->recycleBinView()->isHidden());
    QVERIFY(shows_->count() >= 1);  // the root is loaded into the editor
    // The start-up writes the font panel as restored and the note it loaded, nothing else.
    QCOMPARE(settingsBytes(), Gb(QStringLiteral("[主界面]\r\n编辑框.字体名称=宋体\r\n编辑框.加粗=假"
                                                "\r\n编辑框.字体大小=11\r\n树型框选中项=0")));
    QVERIFY(qm::MessageBox::shown().isEmpty());
    QCOMPARE(ended_->count(), 0);
}

void MainWindowTest::captionAndToolbar() {
    MainWindow& window = start();
    QCOMPARE(
        window.windowTitle(),
        QStringLiteral("Quelmar·Corvanel(Corvanelia) v1.0.8.1 - 使用无限树结构来保存你的笔记"));
    qm::MainToolBar* bar = window.toolBar();
    QCOMPARE(bar->height(), 48);
    QCOMPARE(bar->button(0)->text(), QStringLiteral("新建"));
    QCOMPARE(bar->button(0)->toolTip(), QStringLiteral("新建一个笔记"));
    QCOMPARE(bar->button(1)->text(), QStringLiteral("删除"));
    QCOMPARE(bar->button(1)->toolTip(),
             QStringLiteral("删除选中笔记（包括子层笔记），点击三角显示回收站"));
    for (const int separator : {3, 7, 12}) QVERIFY(bar->button(separator)->isSeparator());
    // The editor's buttons stand between the separators 3 and 7, and 8 after 7.
    QCOMPARE(bar->button(4)->text(), QStringLiteral("粘贴"));
    QCOMPARE(bar->button(5)->text(), QStringLiteral("复制"));
    QCOMPARE(bar->button(6)->text(), QStringLiteral("清空"));
    QCOMPARE(bar->button(8)->text(), QStringLiteral("字体"));
    QVERIFY(bar->addButton(4, QStringLiteral("again"), QString()) == nullptr);
    QVERIFY(bar->button(3)->isVisible());
    QVERIFY(bar->button(7)->isVisible());
    QCOMPARE(bar->button(13)->text(), QStringLiteral("计算"));
    QVERIFY(bar->button(12)->isVisible());  // the calculator stands after it
    // Button 9 "标签" stands between its neighbours, and its index cannot be taken again.
    QAction* tags = bar->button(9);
    QVERIFY(tags != nullptr);
    QCOMPARE(tags->text(), QStringLiteral("标签"));
    QVERIFY(bar->addButton(9, QStringLiteral("标签"), QString(), true) == nullptr);
    const QList<QAction*> actions = bar->actions();
    QCOMPARE(actions.indexOf(tags), actions.indexOf(bar->button(8)) + 1);
    // Typing (10) and reading (11) stand between it and the separator 12; the calculator (13)
    // after it, so the separator shows.
    QCOMPARE(bar->button(10)->text(), QStringLiteral("打字"));
    QCOMPARE(bar->button(11)->text(), QStringLiteral("朗读"));
    QCOMPARE(actions.indexOf(bar->button(10)), actions.indexOf(tags) + 1);
    QCOMPARE(actions.indexOf(bar->button(11)), actions.indexOf(bar->button(10)) + 1);
    QCOMPARE(actions.indexOf(bar->button(12)), actions.indexOf(bar->button(11)) + 1);
    QCOMPARE(actions.indexOf(bar->button(13)), actions.indexOf(bar->button(12)) + 1);
    QVERIFY(bar->button(12)->isVisible());
}

void MainWindowTest::reselectsTheStoredItem_data() {
    QTest::addColumn<QString>("stored");
    QTest::addColumn<int>("selected");
    QTest::newRow("57 with 10 items") << QStringLiteral("57") << 0;
    QTest::newRow("last item") << QStringLiteral("9") << 9;
    QTest::newRow("one past the end") << QStringLiteral("10") << 0;
    QTest::newRow("truncated") << QStringLiteral("3.9") << 3;
    QTest::newRow("negative") << QStringLiteral("-2") << 0;
    QTest::newRow("no number") << QStringLiteral("abc") << 0;
}

void MainWindowTest::reselectsTheStoredItem() {
    QFETCH(QString, stored);
    QFETCH(int, selected);
    WriteNotebook(file("笔记本.qm"), 9);  // 10 items
    writeSettings(QStringLiteral("[主界面]\r\n树型框选中项=") + stored);
    const std::string before = qm::testing::ReadFileBytes(file("笔记本.qm"));
    MainWindow& window = start();
    QCOMPARE(window.trees()->notebookModel()->nodeCount(), 10);
    QCOMPARE(window.trees()->notebookView()->selectedNode(), selected);
    QVERIFY(window.trees()->notebookView()->isExpanded(
        window.trees()->notebookModel()->indexOfNode(0)));
    QVERIFY(shows_->count() >= 1);
    // Selecting and expanding by the program writes nothing into the notebook file but the
    // access time of the note it loads.
    const auto old = Records(before);
    const auto now = Records(qm::testing::DurableBytes(file("笔记本.qm")));
    QCOMPARE(now.size(), old.size());
    for (size_t i = 0; i < now.size(); ++i) {
        for (size_t field = 0; field < now[i].size(); ++field) {
            if (static_cast<int>(i) == selected && field == 12) continue;
            QCOMPARE(now[i][field], old[i][field]);
        }
    }
}

void MainWindowTest::itemToReselectRule_data() {
    QTest::addColumn<double>("stored");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("item");
    QTest::newRow("57 of 10") << 57.0 << 10 << 0;
    QTest::newRow("9 of 10") << 9.0 << 10 << 9;
    QTest::newRow("9.99 of 10") << 9.99 << 10 << 9;
    QTest::newRow("-0.5 truncates to 0") << -0.5 << 10 << 0;
    QTest::newRow("-1") << -1.0 << 10 << 0;
    QTest::newRow("not a number") << std::nan("") << 10 << 0;
    QTest::newRow("huge") << 1e300 << 10 << 0;
}

void MainWindowTest::itemToReselectRule() {
    QFETCH(double, stored);
    QFETCH(int, count);
    QTEST(qm::ItemToReselect(stored, count), "item");
}

void MainWindowTest::closeHidesToTrayAndSaves() {
    MainWindow& window = start();
    QVERIFY(window.settingsMenu()->closeToTray());
    QVERIFY(!window.close());  // refused: the program goes on in the tray
    QVERIFY(window.isHidden());
    QCOMPARE(saves_->count(), 1);
    QCOMPARE(saves_->at(0).at(0).toBool(), true);
    QCOMPARE(ended_->count(), 0);
}

void MainWindowTest::closeQuitsWhenNotClosingToTray() {
    writeSettings(QStringLiteral("[主界面]\r\n关闭窗口到托盘=假"));
    MainWindow& window = start();
    QVERIFY(!window.settingsMenu()->closeToTray());
    QVERIFY(window.close());
    QCOMPARE(saves_->count(), 1);
    QCOMPARE(ended_->count(), 1);
    QCOMPARE(ended_->at(0).at(0).toInt(), 0);
}

void MainWindowTest::exitAlwaysEnds() {
    MainWindow& window = start();
    QVERIFY(window.settingsMenu()->closeToTray());
    menuEntry("退出软件")->trigger();
    QCOMPARE(saves_->count(), 1);
    QCOMPARE(ended_->count(), 1);
    QVERIFY(!window.isVisible());
}

void MainWindowTest::escHidesOnlyWhileClosingToTray_data() {
    QTest::addColumn<bool>("closeToTray");
    QTest::newRow("closing to tray") << true;
    QTest::newRow("closing ends the program") << false;
}

void MainWindowTest::escHidesOnlyWhileClosingToTray() {
    QFETCH(bool, closeToTray);
    if (!closeToTray) writeSettings(QStringLiteral("[主界面]\r\n关闭窗口到托盘=假"));
    MainWindow& window = start();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTest::keyClick(window.trees()->notebookView(), Qt::Key_Escape);
    QCOMPARE(window.isHidden(), closeToTray);
    QCOMPARE(saves_->count(), closeToTray ? 1 : 0);
    QCOMPARE(ended_->count(), 0);
    if (closeToTray) {
        // Turning the mark off from the menu turns Esc off at once.
        window.showFromTray();
        menuEntry("关闭窗口到托盘")->trigger();
        QTest::keyClick(window.trees()->notebookView(), Qt::Key_Escape);
        QVERIFY(window.isVisible());
    }
}

void MainWindowTest::trayClickTogglesTheWindow() {
    MainWindow& window = start();
    QVERIFY(window.isVisible());
    emit window.trayIcon()->toggleRequested();
    QVERIFY(window.isHidden());
    emit window.trayIcon()->toggleRequested();
    QVERIFY(window.isVisible());
    QVERIFY(!window.isMinimized());
    QVERIFY(!window.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    window.showMinimized();
    window.hide();
    window.showFromTray();  // from the tray back to a normal window
    QVERIFY(window.isVisible());
    QVERIFY(!window.isMinimized());
}

void MainWindowTest::startHiddenLoadsNotesWithoutShowing() {
    options_.startHidden = true;
    MainWindow& window = start();
    QVERIFY(window.isHidden());
    QCOMPARE(window.trees()->notebookModel()->nodeCount(), 1);
    QCOMPARE(window.trees()->notebookView()->selectedNode(), 0);
    QVERIFY(QFileInfo::exists(QString::fromStdString(file("笔记本.qm"))));
}

void MainWindowTest::placementIsRememberedWhenChecked() {
    MainWindow& window = start();
    menuEntry("记住窗口尺寸")->trigger();
    window.move(40, 50);
    window.resize(800, 500);
    window.close();  // to the tray, placement saved
    QVERIFY(settingsBytes().find(Gb(QStringLiteral("[主界面.尺寸]\r\n位置=0\r\n左边=40\r\n顶边=50"
                                                   "\r\n宽度=800\r\n高度=500"))) !=
            std::string::npos);
    session_.reset();

    MainWindow& again = start();
    QCOMPARE(again.size(), QSize(800, 500));
    QCOMPARE(again.pos(), QPoint(40, 50));
}

void MainWindowTest::relayoutPlacesTreesSplitterAndEditor() {
    MainWindow& window = start();
    window.resize(1000, 700);
    QTRY_COMPARE(window.centralWidget()->size(), QSize(1000, 700));
    QCOMPARE(window.toolBar()->geometry(), QRect(0, 0, 1000, 48));
    // The path bar (shown by default) takes the 26 pixels below the toolbar.
    QCOMPARE(window.trees()->notebookView()->geometry(), QRect(0, 74, 262, 626));
    QCOMPARE(window.splitter()->geometry(), QRect(262, 74, 5, 626));
    QCOMPARE(window.editorArea()->geometry(), QRect(267, 74, 733, 626));
    QVERIFY(window.trees()->recycleBinView()->isHidden());
    window.resize(900, 600);  // every resize lays out again
    QTRY_COMPARE(window.editorArea()->geometry(), QRect(267, 74, 633, 526));
}

void MainWindowTest::recycleBinArrowSplitsTheColumn() {
    MainWindow& window = start();
    const std::string settingsBefore = settingsBytes();
    window.resize(1000, 700);
    QTRY_COMPARE(window.centralWidget()->size(), QSize(1000, 700));
    qm::DropArrowButton* button = window.toolBar()->deleteButton();
    QVERIFY(!button->arrowRect().isEmpty());
    QSignalSpy deleted(window.toolBar()->button(1), &QAction::triggered);
    QTest::mouseClick(button, Qt::LeftButton, {}, button->arrowRect().center());
    QCOMPARE(deleted.count(), 0);  // the arrow is not the delete command
    QCOMPARE(window.trees()->notebookView()->geometry(), QRect(0, 74, 262, 313));
    QCOMPARE(window.trees()->recycleBinView()->geometry(), QRect(0, 387, 262, 313));
    QVERIFY(!window.trees()->recycleBinView()->isHidden());
    QTest::mouseClick(button, Qt::LeftButton, {}, button->arrowRect().center());
    QVERIFY(window.trees()->recycleBinView()->isHidden());
    QCOMPARE(window.trees()->notebookView()->geometry(), QRect(0, 74, 262, 626));
    QCOMPARE(settingsBytes(), settingsBefore);  // its visibility is not remembered
}

void MainWindowTest::splitterDragIsStored() {
    MainWindow& window = start();
    window.resize(1000, 700);
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTRY_COMPARE(window.centralWidget()->size(), QSize(1000, 700));
    qm::SplitterHandle* handle = window.splitter();
    const std::string before = settingsBytes();
    QTest::mousePress(handle, Qt::LeftButton, {}, QPoint(2, 100));
    QMouseEvent move(QEvent::MouseMove, QPointF(-58, 100), handle->mapToGlobal(QPointF(-58, 100)),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(handle, &move);
    QCOMPARE(window.trees()->notebookView()->width(), 202);  // follows the mouse
    QCOMPARE(settingsBytes(), before);                       // written when let go
    // The handle moved under the mouse: the same spot is now 2 pixels into it.
    QTest::mouseRelease(handle, Qt::LeftButton, {}, QPoint(2, 100));
    QCOMPARE(settingsBytes(), before + Gb(QStringLiteral("\r\n分隔条左边=202")));
    QCOMPARE(handle->geometry(), QRect(202, 74, 5, 626));
    QCOMPARE(window.editorArea()->geometry(), QRect(207, 74, 793, 626));
}

void MainWindowTest::storedSplitterIsUsed() {
    writeSettings(QStringLiteral("[主界面]\r\n分隔条左边=300"));
    MainWindow& window = start();
    window.resize(1000, 700);
    QTRY_COMPARE(window.centralWidget()->size(), QSize(1000, 700));
    QCOMPARE(window.trees()->notebookView()->geometry(), QRect(0, 74, 300, 626));
    QCOMPARE(window.splitter()->geometry(), QRect(300, 74, 5, 626));
}

void MainWindowTest::toolBarsToggleAndRestore() {
    writeSettings(QStringLiteral("[主界面]\r\n工具条显示.8=真\r\n工具条显示.2=真"));
    MainWindow& window = start();
    // The font bar is the editor's own, the search bar the search feature's; the calculator's
    // button has no bar.
    QAction* font = window.toolBar()->button(8);
    QWidget& fontBar = *window.findChild<QWidget*>(QStringLiteral("字体属性工具条"));
    QAction* search = window.toolBar()->button(2);
    QWidget& searchBar = *window.findChild<QWidget*>(QStringLiteral("查找工具条"));
    QAction* calculator = window.toolBar()->button(13);
    QVERIFY(calculator != nullptr);
    QCOMPARE(calculator->text(), QStringLiteral("计算"));
    const std::string before = settingsBytes();
    window.restoreToolBars();
    QCOMPARE(settingsBytes(), before);  // restored without writing back
    QVERIFY(font->isChecked());
    QVERIFY(search->isChecked());
    QVERIFY(!calculator->isChecked());

    window.resize(1000, 700);
    QTRY_COMPARE(window.centralWidget()->size(), QSize(1000, 700));
    QCOMPARE(fontBar.geometry(), QRect(267, 74, 733, 26));  // below the path bar
    QCOMPARE(searchBar.geometry(), QRect(0, 674, 1000, 26));
    QCOMPARE(window.editorArea()->geometry(), QRect(267, 100, 733, 574));
    QCOMPARE(window.trees()->notebookView()->geometry(), QRect(0, 74, 262, 600));

    search->trigger();  // the user hides the search bar: its 26 pixels go back
    QVERIFY(searchBar.isHidden());
    QCOMPARE(window.editorArea()->geometry(), QRect(267, 100, 733, 600));
    QCOMPARE(window.trees()->notebookView()->geometry(), QRect(0, 74, 262, 626));
    QVERIFY(settingsBytes().find(Gb(QStringLiteral("工具条显示.2=假"))) != std::string::npos);

    QVERIFY(window.toggleToolBar(13));  // no bar, but the mark and its key
    QVERIFY(calculator->isChecked());
    QVERIFY(settingsBytes().find(Gb(QStringLiteral("工具条显示.13=真"))) != std::string::npos);
    const std::string now = settingsBytes();
    QVERIFY(window.toggleToolBar(8, false, false));
    QVERIFY(fontBar.isHidden());
    QCOMPARE(settingsBytes(), now);
    QVERIFY(!window.toggleToolBar(6));  // no check button there
}

void MainWindowTest::backupRadioGroupsFromTheTray() {
    MainWindow& window = start();
    const std::string before = settingsBytes();
    menuEntry("每保存30次备份")->trigger();
    QCOMPARE(window.settingsMenu()->savesPerBackup(), 30);
    QVERIFY(!menuEntry("每保存10次备份")->isChecked());
    QVERIFY(!menuEntry("每保存100次备份")->isChecked());
    QCOMPARE(settingsBytes(), before + Gb(QStringLiteral("\r\n触发备份的保存数=30")));
    menuEntry("每保存30次备份")->trigger();
    QCOMPARE(window.settingsMenu()->savesPerBackup(), 0);
    QCOMPARE(settingsBytes(), before + Gb(QStringLiteral("\r\n触发备份的保存数=0")));
}

void MainWindowTest::backupNowCopiesAndTellsWhere() {
    MainWindow& window = start();
    QSignalSpy backup(&window, &MainWindow::backupNowRequested);
    menuEntry("现在执行一次备份")->trigger();
    QCOMPARE(backup.count(), 1);
    QCOMPARE(qm::MessageBox::shown().size(), 1);
    const QString text = qm::MessageBox::shown().at(0).text;
    const QString prefix = QStringLiteral("已备份最新数据状态到\r\n");
    QVERIFY2(text.startsWith(prefix), qPrintable(text));
    const QString path = text.mid(prefix.size());
    QCOMPARE(QFileInfo(path).absolutePath(), folder() + QStringLiteral("/备份文件"));
    QCOMPARE(qm::testing::ReadFileBytes(path.toStdString()),
             qm::testing::ReadFileBytes(file("笔记本.qm")));
}

void MainWindowTest::alwaysOnTopIsApplied() {
    writeSettings(QStringLiteral("[主界面]\r\n钉在最前显示=真"));
    MainWindow& window = start();
    QVERIFY(window.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    QVERIFY(window.isVisible());
    window.showFromTray();  // keeps the pin it had
    QVERIFY(window.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    menuEntry("钉在最前显示")->trigger();
    QVERIFY(!window.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    QVERIFY(window.isVisible());  // changing the pin does not hide the window
    QVERIFY(window.windowHandle() != nullptr);
    QVERIFY(!window.windowHandle()->flags().testFlag(Qt::WindowStaysOnTopHint));
}

void MainWindowTest::autostartFollowsTheMark() {
    const QString entry = options_.autostartFolder + QStringLiteral("/Quelmar·Corvanel.desktop");
    MainWindow& window = start();
    QVERIFY(!QFileInfo::exists(entry));
    menuEntry("开机启动本软件")->trigger();
    QVERIFY(QFileInfo::exists(entry));
    QVERIFY(qm::testing::ReadFileBytes(entry.toStdString())
                .find("Exec=\"/opt/qm/corvanel\" \"yes\"\n") != std::string::npos);
    QVERIFY(window.settingsMenu()->startWithSystem());
    session_.reset();

    // The program moved: the next start rewrites the entry.
    options_.executablePath = QStringLiteral("/new/place/corvanel");
    start(false);
    QVERIFY(qm::testing::ReadFileBytes(entry.toStdString())
                .find("Exec=\"/new/place/corvanel\" \"yes\"\n") != std::string::npos);
    menuEntry("开机启动本软件")->trigger();
    QVERIFY(!QFileInfo::exists(entry));
}

void MainWindowTest::staleAutostartIsRemovedAtStart() {
    const QString entry = options_.autostartFolder + QStringLiteral("/Quelmar·Corvanel.desktop");
    QDir().mkpath(options_.autostartFolder);
    qm::testing::WriteFileBytes(entry.toStdString(), "[Desktop Entry]\nExec=old\n");
    start();
    QVERIFY(!QFileInfo::exists(entry));
}

void MainWindowTest::helpWindow() {
    start();
    bool seen = false;
    QTimer::singleShot(0, this, [&seen] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (dialog == nullptr) return;
        seen = dialog->windowTitle() == QStringLiteral("疑点说明");
        auto* text = dialog->findChild<QPlainTextEdit*>();
        const QList<QPushButton*> buttons = dialog->findChildren<QPushButton*>();
        seen = seen && text != nullptr && text->isReadOnly() &&
               text->horizontalScrollBarPolicy() == Qt::ScrollBarAlwaysOn &&
               text->verticalScrollBarPolicy() == Qt::ScrollBarAlwaysOn &&
               text->toPlainText().contains(QStringLiteral("关闭窗口到托盘")) &&
               buttons.size() == 1 && buttons[0]->text() == QStringLiteral("关闭");
        if (!buttons.isEmpty())
            buttons[0]->click();
        else
            dialog->reject();
    });
    menuEntry("帮助")->trigger();  // returns once the dialog is closed
    QVERIFY(seen);
}

void MainWindowTest::traylessWindowNeverHides() {
    options_.trayAvailable = false;
    MainWindow& window = start();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    // The menu's commands are on the toolbar instead.
    auto* menuButton = window.toolBar()->findChild<QToolButton*>(QStringLiteral("设置"));
    QVERIFY(menuButton != nullptr);
    QCOMPARE(menuButton->menu(), window.settingsMenu()->menu());

    QVERIFY(!window.close());
    QVERIFY(!window.isHidden());
    QVERIFY(window.isMinimized());
    QCOMPARE(saves_->count(), 1);
    window.showFromTray();
    QVERIFY(!window.isMinimized());
    QTest::keyClick(window.trees()->notebookView(), Qt::Key_Escape);
    QVERIFY(!window.isHidden());
    QVERIFY(window.isMinimized());
    emit window.trayIcon()->toggleRequested();  // cannot happen without a tray, but is harmless
    window.showFromTray();
    QVERIFY(!window.trayIcon()->shown());
}

void MainWindowTest::traylessHiddenStartIsMinimized() {
    options_.trayAvailable = false;
    options_.startHidden = true;
    MainWindow& window = start();
    QVERIFY(!window.isHidden());
    QVERIFY(window.isMinimized());
}

void MainWindowTest::garbageSettingsFileIsTolerated() {
    std::string garbage;
    for (int i = 0; i < 512; ++i) garbage += static_cast<char>((i * 73 + 11) % 256);
    garbage +=
        Gb(QStringLiteral("\r\n[主界面]\r\n关闭窗口到托盘=maybe\r\n树型框选中项=x\r\n"
                          "保持备份数=3O\r\n[主界面"));
    qm::testing::WriteFileBytes(file("Quelmar·Corvanel.ini"), garbage);
    MainWindow& window = start();
    QVERIFY(!window.settingsMenu()->closeToTray());     // anything but "真" reads false
    QCOMPARE(window.settingsMenu()->backupsKept(), 0);  // "3O" reads 3: no entry for it
    QCOMPARE(window.trees()->notebookView()->selectedNode(), 0);
    QCOMPARE(window.trees()->notebookModel()->nodeCount(), 1);
    // The start-up writes only its own keys (the font panel, the loaded note); the rest stays.
    const std::string now = settingsBytes();
    QVERIFY(now.compare(0, 512, garbage, 0, 512) == 0);
    for (const char* kept :
         {"关闭窗口到托盘=maybe\r\n", "保持备份数=3O\r\n", "树型框选中项=0\r\n"}) {
        QVERIFY2(now.find(Gb(QString::fromUtf8(kept))) != std::string::npos, kept);
    }
    menuEntry("钉在最前显示")->trigger();
    QVERIFY(settingsBytes().compare(0, now.size(), now) == 0);
}

void MainWindowTest::lockedNotebookWorksFromMemory() {
    qm::TreeStore holder;  // another process's hold on the file, as far as the lock goes
    QVERIFY(holder.Open(file("笔记本.qm")));
    holder.BuildOutline();
    QCOMPARE(holder.AddNode(std::nullopt, Fields(QStringLiteral("笔记本"), 2)), 0);
    QCOMPARE(holder.AddNode(0, Fields(QStringLiteral("甲"), 0)), 1);
    QCOMPARE(holder.AddNode(1, Fields(QStringLiteral("乙"), 1)), 2);
    const std::string before = qm::testing::ReadFileBytes(file("笔记本.qm"));

    MainWindow& window = start();
    QCOMPARE(ended_->count(), 0);
    QVERIFY(!window.trees()->notebook().writable());
    QVERIFY(window.trees()->recycleBin().writable());
    QCOMPARE(window.trees()->notebookModel()->nodeCount(), 3);
    QCOMPARE(window.trees()->notebookModel()->indexOfNode(2).data().toString(),
             QStringLiteral("乙"));
    // The user opens 甲: remembered in memory, the held file stays as it was.
    qm::NoteTreeView* view = window.trees()->notebookView();
    QVERIFY(view->selectNode(1));
    QTest::keyClick(view, Qt::Key_Right);
    QCOMPARE(window.trees()->notebook().ReadNode(1, qm::kFieldExpandState), std::string("2"));
    QCOMPARE(qm::testing::ReadFileBytes(file("笔记本.qm")), before);
}

void MainWindowTest::unwritableFolderStillStarts() {
    qm::testing::WriteFileBytes(file("not-a-folder"), "x");
    options_.programFolder = QString::fromStdString(file("not-a-folder/data"));
    MainWindow& window = start();
    QCOMPARE(ended_->count(), 0);
    QVERIFY(window.isVisible());
    QCOMPARE(window.trees()->notebookModel()->nodeCount(), 1);
    QCOMPARE(window.trees()->recycleBinModel()->nodeCount(), 1);
    QVERIFY(!window.trees()->notebook().writable());
    QVERIFY(!session_->settings().writable());
    menuEntry("每保存100次备份")->trigger();  // kept in memory
    QCOMPARE(session_->settings().readNumber(Gb(QStringLiteral("触发备份的保存数")), -1), 100.0);
    // Never a silent copy in memory: one notice names both tree files and the reason.
    QCOMPARE(qm::MessageBox::shown().size(), 1);
    const QString notice = qm::MessageBox::shown().first().text;
    QVERIFY2(notice.contains(QStringLiteral("笔记本文件无法写入")) &&
                 notice.contains(QStringLiteral("回收站文件无法写入")) &&
                 notice.contains(QString::fromLocal8Bit(std::strerror(ENOTDIR))) &&
                 notice.contains(QStringLiteral("修改无法保存")),
             qPrintable(notice));
    QVERIFY(!QFileInfo::exists(options_.programFolder));
}

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
