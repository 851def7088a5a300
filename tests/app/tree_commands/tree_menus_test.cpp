// The context menus of the note trees on the real window, offscreen: their entries and
// separators, the enable rules and the "已剪切" captions, right clicks on and beside the items,
// and entries added later in their sections.
#include "app/tree_commands/tree_menus.h"

#include <QMenu>
#include <QtTest>

#include "app/notes/note_session.h"
#include "app/tree_commands/tree_commands.h"
#include "app/tree_fixture.h"
#include "app/trees/note_tree_view.h"
#include "app/trees/note_trees.h"
#include "app/trees/outline_model.h"
#include "app/widgets/message_box.h"
#include "app/widgets/sectioned_menu.h"
#include "app/window/main_window.h"
#include "app/window/program.h"
#include "support/temp_dir.h"

using qm::TreeKind;
using qm::TreeMenus;
using qm::testing::OutlineText;
using qm::testing::WriteTree;

namespace {

// Captions of the visible entries, "-" for a separator.
QStringList Layout(const QMenu* menu) {
    QStringList items;
    for (const QAction* action : menu->actions()) {
        if (!action->isVisible()) continue;
        items << (action->isSeparator() ? QStringLiteral("-") : action->text());
    }
    return items;
}

}  // namespace

class TreeMenusTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void entriesStandInTheirOrder();
    void notebookRules_data();
    void notebookRules();
    void recycleBinRules_data();
    void recycleBinRules();
    void rightClickSelectsAndOpens_data();
    void rightClickSelectsAndOpens();
    void entriesRunTheirCommands();
    void purgeClearsARecycleBinCut();
    void laterEntriesGoIntoTheirSections();

private:
    void start();
    std::string file(const char* name) const { return dir_->File(name); }
    qm::MainWindow& window() { return session_->window(); }
    qm::NoteTrees& trees() { return *window().trees(); }
    qm::TreeCommands& commands() { return *window().treeCommands(); }
    TreeMenus& menus() { return *window().treeMenus(); }
    QAction* notebookEntry(const char* key) {
        return menus().notebookMenu().entry(QString::fromUtf8(key));
    }
    QAction* recycleEntry(const char* key) {
        return menus().recycleBinMenu().entry(QString::fromUtf8(key));
    }
    // Right-clicks the middle of `node`'s row in `tree`.
    bool rightClick(TreeKind tree, int node);

    std::unique_ptr<qm::testing::TempDir> dir_;
    std::unique_ptr<qm::testing::TempDir> config_;
    std::unique_ptr<qm::Session> session_;
};

void TreeMenusTest::initTestCase() { qm::MessageBox::setAnswerInAdvance(true); }

void TreeMenusTest::init() {
    qm::MessageBox::clearShown();
    dir_ = std::make_unique<qm::testing::TempDir>();
    config_ = std::make_unique<qm::testing::TempDir>();
    // 0 笔记本 / 1 A / 2 A1 / 3 B and 0 回收站 / 1 X / 2 Y
    QVERIFY(WriteTree(file("笔记本.qm"),
                      {{1, "笔记本", 2, 2}, {2, "A", 0, 2}, {3, "A1", 1}, {2, "B", 1}}));
    QVERIFY(WriteTree(file("回收站.qm"), {{1, "回收站", 2, 2}, {2, "X", 1}, {2, "Y", 1}}));
}

void TreeMenusTest::cleanup() {
    if (session_) {
        menus().notebookMenu().menu()->hide();
        menus().recycleBinMenu().menu()->hide();
    }
    session_.reset();
    config_.reset();
    dir_.reset();
}

void TreeMenusTest::start() {
    qm::StartOptions options;
    options.programFolder = QString::fromStdString(dir_->path());
    options.executablePath = QStringLiteral("/opt/qm/corvanel");
    options.autostartFolder = QString::fromStdString(config_->File("autostart"));
    session_ = std::make_unique<qm::Session>(options);
    window().startUp();
    window().toggleRecycleBin();  // shown, so that its items have places to click
}

bool TreeMenusTest::rightClick(TreeKind tree, int node) {
    qm::NoteTreeView* view =
        tree == TreeKind::kNotebook ? trees().notebookView() : trees().recycleBinView();
    menus().notebookMenu().menu()->hide();
    menus().recycleBinMenu().menu()->hide();
    const QRect rect = view->visualRect(view->outlineModel()->indexOfNode(node));
    return menus().openAt(tree, rect.center());
}

void TreeMenusTest::entriesStandInTheirOrder() {
    start();
    QCOMPARE(menus().notebookMenu().menu()->objectName(), QStringLiteral("菜单"));
    QCOMPARE(menus().recycleBinMenu().menu()->objectName(), QStringLiteral("菜单回收站"));
    QCOMPARE(Layout(menus().notebookMenu().menu()),
             QStringList({"新建", "同级新建", "删除", "-", "剪切", "粘贴", "同级粘贴", "-", "导入",
                          "导出", "-", "属性", "-", "复制路径", "显示路径栏", "-",
                          "重新运行本软件"}));
    QVERIFY(menus().notebookMenu().entry(QStringLiteral("显示路径栏"))->isChecked());
    QCOMPARE(Layout(menus().recycleBinMenu().menu()), QStringList({"剪切", "彻底删除"}));
}

void TreeMenusTest::notebookRules_data() {
    QTest::addColumn<int>("cutTree");  // -1 nothing cut, 0 notebook, 1 recycle bin
    QTest::addColumn<int>("cut");
    QTest::addColumn<int>("clicked");
    QTest::addColumn<bool>("cutEnabled");
    QTest::addColumn<bool>("pasteEnabled");
    QTest::addColumn<bool>("siblingEnabled");
    QTest::addColumn<QString>("cutCaption");

    QTest::newRow("nothing cut, a note") << -1 << -1 << 1 << true << false << false << "剪切";
    QTest::newRow("nothing cut, the root") << -1 << -1 << 0 << false << false << false << "剪切";
    QTest::newRow("notebook cut, another note")
        << 0 << 2 << 3 << true << true << true << "已剪切 A1[2]";
    QTest::newRow("notebook cut, that note itself")
        << 0 << 2 << 2 << true << false << false << "已剪切 A1[2]";
    QTest::newRow("notebook cut, the root")
        << 0 << 3 << 0 << false << true << false << "已剪切 B[3]";
    QTest::newRow("recycle bin cut, same index as the click")
        << 1 << 1 << 1 << true << true << true << "剪切";
    QTest::newRow("recycle bin cut, the root") << 1 << 2 << 0 << false << true << false << "剪切";
}

void TreeMenusTest::notebookRules() {
    QFETCH(int, cutTree);
    QFETCH(int, cut);
    QFETCH(int, clicked);
    QFETCH(bool, cutEnabled);
    QFETCH(bool, pasteEnabled);
    QFETCH(bool, siblingEnabled);
    QFETCH(QString, cutCaption);
    start();
    if (cutTree == 0) {
        QVERIFY(trees().notebookView()->selectNode(cut));
        commands().cutNote();
    } else if (cutTree == 1) {
        QVERIFY(trees().recycleBinView()->selectNode(cut));
        commands().cutRecycledNote();
    }
    QVERIFY(rightClick(TreeKind::kNotebook, clicked));
    QCOMPARE(notebookEntry("剪切")->isEnabled(), cutEnabled);
    QCOMPARE(notebookEntry("粘贴")->isEnabled(), pasteEnabled);
    QCOMPARE(notebookEntry("同级粘贴")->isEnabled(), siblingEnabled);
    QCOMPARE(notebookEntry("剪切")->text(), cutCaption);
    for (const char* always : {"新建", "同级新建", "删除"}) {
        QVERIFY2(notebookEntry(always)->isEnabled(), always);
    }
}

void TreeMenusTest::recycleBinRules_data() {
    QTest::addColumn<int>("cutTree");
    QTest::addColumn<int>("cut");
    QTest::addColumn<int>("clicked");
    QTest::addColumn<bool>("cutEnabled");
    QTest::addColumn<QString>("cutCaption");

    QTest::newRow("nothing cut, an item") << -1 << -1 << 2 << true << "剪切";
    QTest::newRow("nothing cut, the root") << -1 << -1 << 0 << false << "剪切";
    QTest::newRow("recycle bin cut") << 1 << 2 << 1 << true << "已剪切 Y[2]";
    QTest::newRow("notebook cut") << 0 << 1 << 1 << true << "剪切";
}

void TreeMenusTest::recycleBinRules() {
    QFETCH(int, cutTree);
    QFETCH(int, cut);
    QFETCH(int, clicked);
    QFETCH(bool, cutEnabled);
    QFETCH(QString, cutCaption);
    start();
    if (cutTree == 0) {
        QVERIFY(trees().notebookView()->selectNode(cut));
        commands().cutNote();
    } else if (cutTree == 1) {
        QVERIFY(trees().recycleBinView()->selectNode(cut));
        commands().cutRecycledNote();
    }
    QVERIFY(rightClick(TreeKind::kRecycleBin, clicked));
    QCOMPARE(recycleEntry("剪切")->isEnabled(), cutEnabled);
    QCOMPARE(recycleEntry("剪切")->text(), cutCaption);
    QVERIFY(recycleEntry("彻底删除")->isEnabled());
}

void TreeMenusTest::rightClickSelectsAndOpens_data() {
    QTest::addColumn<int>("tree");
    QTest::newRow("notebook") << 0;
    QTest::newRow("recycle bin") << 1;
}

void TreeMenusTest::rightClickSelectsAndOpens() {
    QFETCH(int, tree);
    start();
    const TreeKind kind = tree == 0 ? TreeKind::kNotebook : TreeKind::kRecycleBin;
    qm::NoteTreeView* view = tree == 0 ? trees().notebookView() : trees().recycleBinView();
    QMenu* menu = tree == 0 ? menus().notebookMenu().menu() : menus().recycleBinMenu().menu();
    QMenu* other = tree == 0 ? menus().recycleBinMenu().menu() : menus().notebookMenu().menu();
    const int loadedBefore = window().noteSession()->loadedNote();

    // Beside the items: nothing is selected and no menu opens.
    const QPoint below(5, view->viewport()->height() - 3);
    QVERIFY(!view->indexAt(below).isValid());
    QVERIFY(!menus().openAt(kind, below));
    QVERIFY(!menu->isVisible());

    // Through the view's own context-menu request, as a right click sends it.
    const QRect rect = view->visualRect(view->outlineModel()->indexOfNode(2));
    QContextMenuEvent event(QContextMenuEvent::Mouse, rect.center(),
                            view->viewport()->mapToGlobal(rect.center()));
    QApplication::sendEvent(view->viewport(), &event);
    QVERIFY(menu->isVisible());
    QVERIFY(!other->isVisible());
    QCOMPARE(view->selectedNode(), 2);
    // Only the notebook loads what was clicked.
    QCOMPARE(window().noteSession()->loadedNote(), tree == 0 ? 2 : loadedBefore);
    menu->hide();
}

void TreeMenusTest::entriesRunTheirCommands() {
    start();
    QVERIFY(rightClick(TreeKind::kNotebook, 3));  // B
    notebookEntry("新建")->trigger();
    QCOMPARE(OutlineText(trees().notebook()),
             QStringLiteral("笔记本#2|.A#0|..A1#1|.B#0|..新笔记5#1"));
    QVERIFY(rightClick(TreeKind::kNotebook, 2));  // A1
    notebookEntry("同级新建")->trigger();
    QCOMPARE(OutlineText(trees().notebook()),
             QStringLiteral("笔记本#2|.A#0|..A1#1|..新笔记6#1|.B#0|..新笔记5#1"));
    QVERIFY(rightClick(TreeKind::kNotebook, 1));  // A
    notebookEntry("剪切")->trigger();
    QVERIFY(rightClick(TreeKind::kNotebook, 5));  // 新笔记5
    notebookEntry("同级粘贴")->trigger();
    QCOMPARE(OutlineText(trees().notebook()),
             QStringLiteral("笔记本#2|.B#0|..新笔记5#1|..A#0|...A1#1|...新笔记6#1"));
    QVERIFY(rightClick(TreeKind::kNotebook, 3));  // A
    notebookEntry("删除")->trigger();
    QCOMPARE(OutlineText(trees().notebook()), QStringLiteral("笔记本#2|.B#0|..新笔记5#1"));
    QCOMPARE(OutlineText(trees().recycleBin()),
             QStringLiteral("回收站#2|.X#1|.Y#1|.A#0|..A1#1|..新笔记6#1"));
    QVERIFY(rightClick(TreeKind::kRecycleBin, 1));  // X
    recycleEntry("剪切")->trigger();
    QVERIFY(rightClick(TreeKind::kNotebook, 2));  // 新笔记5
    notebookEntry("粘贴")->trigger();
    QCOMPARE(OutlineText(trees().notebook()), QStringLiteral("笔记本#2|.B#0|..新笔记5#0|...X#1"));
    QVERIFY(rightClick(TreeKind::kRecycleBin, 2));  // A
    recycleEntry("彻底删除")->trigger();
    QCOMPARE(OutlineText(trees().recycleBin()), QStringLiteral("回收站#2|.Y#1"));
    QVERIFY(qm::MessageBox::shown().isEmpty());
}

void TreeMenusTest::purgeClearsARecycleBinCut() {
    start();
    QVERIFY(rightClick(TreeKind::kRecycleBin, 1));  // X
    recycleEntry("剪切")->trigger();
    QVERIFY(rightClick(TreeKind::kRecycleBin, 2));  // Y, another item
    recycleEntry("彻底删除")->trigger();
    QVERIFY(commands().cutMark().empty());
    QVERIFY(rightClick(TreeKind::kNotebook, 3));
    QVERIFY(!notebookEntry("粘贴")->isEnabled());
    QVERIFY(!notebookEntry("同级粘贴")->isEnabled());

    // A notebook cut survives a purge.
    QVERIFY(rightClick(TreeKind::kNotebook, 3));
    notebookEntry("剪切")->trigger();
    QVERIFY(rightClick(TreeKind::kRecycleBin, 1));
    recycleEntry("彻底删除")->trigger();
    QCOMPARE(commands().cutMark().index, 3);
    QVERIFY(rightClick(TreeKind::kNotebook, 1));
    QVERIFY(notebookEntry("粘贴")->isEnabled());
}

void TreeMenusTest::laterEntriesGoIntoTheirSections() {
    start();
    qm::SectionedMenu& menu = menus().notebookMenu();
    int restarts = 0;
    // The window's own entries are taken; a further one joins the last section.
    QVERIFY(menu.addEntry(TreeMenus::kRestart, QStringLiteral("重新运行本软件"), {}) == nullptr);
    QVERIFY(menu.addEntry(TreeMenus::kRestart, QStringLiteral("重启测试"),
                          [&restarts] { ++restarts; }) != nullptr);
    // "导入" and "导出" are the window's own entries of that section.
    QVERIFY(menu.addEntry(TreeMenus::kImportExport, QStringLiteral("导入"), {}) == nullptr);
    bool exportIdle = true;
    QVERIFY(menu.addEntry(TreeMenus::kImportExport, QStringLiteral("稍后"), {}, {}, [&exportIdle] {
        return exportIdle ? QStringLiteral("稍后") : QStringLiteral("停止稍后");
    }) != nullptr);
    // A key already taken is refused, whatever its section.
    QVERIFY(menu.addEntry(TreeMenus::kRestart, QStringLiteral("复制路径"), {}) == nullptr);
    QVERIFY(menu.addEntry(TreeMenus::kNotebookSectionCount, QStringLiteral("x"), {}) == nullptr);
    QCOMPARE(Layout(menu.menu()),
             QStringList({"新建", "同级新建", "删除", "-", "剪切", "粘贴", "同级粘贴", "-", "导入",
                          "导出", "稍后", "-", "属性", "-", "复制路径", "显示路径栏", "-",
                          "重新运行本软件", "重启测试"}));
    exportIdle = false;
    menu.refresh();
    QCOMPARE(menu.entry(QStringLiteral("稍后"))->text(), QStringLiteral("停止稍后"));
    menu.entry(QStringLiteral("重启测试"))->trigger();
    QCOMPARE(restarts, 1);
    exportIdle = true;
    menu.refresh();
    QVERIFY(menu.addEntry(TreeMenus::kProperties, QStringLiteral("属性"), {}) == nullptr);
    QCOMPARE(Layout(menu.menu()).mid(7, 7),
             QStringList({"-", "导入", "导出", "稍后", "-", "属性", "-"}));
}

QTEST_MAIN(TreeMenusTest)
#include "tree_menus_test.moc"
