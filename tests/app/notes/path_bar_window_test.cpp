// The path bar in the real main window, offscreen on a temporary program folder: its place in
// the layout and its mark across restarts, the path of every note loaded, jumps that load the
// note, and the notebook selection held while a path is being edited.
#include <QAbstractButton>
#include <QLineEdit>
#include <QMenu>
#include <QtTest>
#include <memory>

#include "app/notes/note_session.h"
#include "app/notes/path_bar.h"
#include "app/notes/path_commands.h"
#include "app/tree_commands/tree_menus.h"
#include "app/trees/note_tree_view.h"
#include "app/trees/note_trees.h"
#include "app/trees/outline_model.h"
#include "app/widgets/message_box.h"
#include "app/window/main_window.h"
#include "app/window/program.h"
#include "common/qt_text.h"
#include "settings/settings_keys.h"
#include "settings/settings_store.h"
#include "store/tree_store.h"
#include "support/temp_dir.h"

using qm::MainWindow;

namespace {

qm::NodeFields Note(const char* title, int image) {
    qm::NodeFields fields;
    fields.title = qm::ToGb(QString::fromUtf8(title));
    fields.image = image;
    fields.body = qm::ToGb(QStringLiteral("正文：") + QString::fromUtf8(title));
    return fields;
}

// 0 笔记本 | 1 工作 | 2 项目 | 3 周报 (under 项目) | 4 生活
void WriteNotebook(const std::string& path) {
    qm::TreeStore store;
    store.Open(path);
    store.BuildOutline();
    store.AddNode(std::nullopt, Note("笔记本", 2));
    store.AddNode(0, Note("工作", 0));
    store.AddNode(1, Note("项目", 0));
    store.AddNode(2, Note("周报", 1));
    store.AddNode(0, Note("生活", 1));
}

QAction* MenuEntry(QMenu* menu, const QString& caption) {
    for (QAction* action : menu->actions()) {
        if (action->text() == caption) return action;
    }
    return nullptr;
}

QStringList Captions(const qm::PathBar* bar) {
    QStringList captions;
    for (int k = 0; k < bar->segmentCount(); ++k) captions << bar->segment(k)->text();
    return captions;
}

const QStringList kWeeklyReport{QStringLiteral("QM:\\"), QStringLiteral("工作\\"),
                                QStringLiteral("项目\\"), QStringLiteral("周报")};

}  // namespace

class PathBarWindowTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { qm::MessageBox::setAnswerInAdvance(true); }
    void init();
    void cleanup();

    void barSitsBelowTheToolbar();
    void hiddenBarGivesItsRowBackAndStaysHidden();
    void loadedNoteShowsItsPath();
    void segmentClickLoadsTheNote();
    void enterInTheEditBoxLoadsTheNote();
    void treeHoldsTheLoadedNoteWhileEditing();

private:
    MainWindow& start();
    void restart() {
        session_.reset();
        start();
    }
    MainWindow& window() { return session_->window(); }
    qm::PathBar* bar() { return window().paths()->bar(); }
    qm::NoteTreeView* tree() { return window().trees()->notebookView(); }
    int loaded() { return window().noteSession()->loadedNote(); }
    QAction* notebookMark() {
        return window().treeMenus()->notebookMenu().entry(QStringLiteral("显示路径栏"));
    }

    std::unique_ptr<qm::testing::TempDir> dir_;
    std::unique_ptr<qm::testing::TempDir> config_;
    qm::StartOptions options_;
    std::unique_ptr<qm::Session> session_;
};

void PathBarWindowTest::init() {
    qm::MessageBox::clearShown();
    dir_ = std::make_unique<qm::testing::TempDir>();
    config_ = std::make_unique<qm::testing::TempDir>();
    WriteNotebook(dir_->File("笔记本.qm"));
    options_ = {};
    options_.programFolder = QString::fromStdString(dir_->path());
    options_.executablePath = QStringLiteral("/opt/qm/corvanel");
    options_.autostartFolder = QString::fromStdString(config_->File("autostart"));
    options_.trayAvailable = true;
}

void PathBarWindowTest::cleanup() {
    session_.reset();
    config_.reset();
    dir_.reset();
}

MainWindow& PathBarWindowTest::start() {
    session_ = std::make_unique<qm::Session>(options_);
    MainWindow& w = session_->window();
    w.resize(900, 600);
    w.startUp();
    w.trees()->notebookView()->expandAll();
    return w;
}

void PathBarWindowTest::barSitsBelowTheToolbar() {
    start();
    QVERIFY(QTest::qWaitForWindowExposed(&window()));
    const int width = window().centralWidget()->width();
    QCOMPARE(bar()->objectName(), QStringLiteral("图片框路径"));
    QVERIFY(bar()->isVisible());
    QCOMPARE(bar()->geometry(), QRect(0, 48, width, 26));
    QCOMPARE(tree()->geometry().top(), 48 + 26);
    QCOMPARE(bar()->editBox()->geometry(), QRect(0, 1, width, 24));
    // The start-up loads the stored item (the root): its path is shown.
    QCOMPARE(Captions(bar()), QStringList{QStringLiteral("QM:\\")});

    window().resize(700, 500);
    QTRY_COMPARE(bar()->width(), window().centralWidget()->width());
    QCOMPARE(bar()->templateButton()->geometry().right(), bar()->width() - 1);
}

void PathBarWindowTest::hiddenBarGivesItsRowBackAndStaysHidden() {
    start();
    QAction* close = MenuEntry(window().paths()->menu(), QStringLiteral("关闭路径栏"));
    QVERIFY(close != nullptr);
    close->trigger();
    QVERIFY(bar()->isHidden());
    QCOMPARE(tree()->geometry().top(), 48);
    QVERIFY(!notebookMark()->isChecked());

    restart();
    QVERIFY(!window().paths()->pathBarShown());
    QVERIFY(!notebookMark()->isChecked());
    QVERIFY(bar()->isHidden());
    QCOMPARE(tree()->geometry().top(), 48);
    qm::SettingsStore& settings = session_->settings();
    settings.setSection(qm::settings::Gb(qm::settings::kMainSection));
    QCOMPARE(qm::settings::Read(settings, qm::settings::kShowPathBar, true), false);

    notebookMark()->trigger();  // "显示路径栏" in the notebook's context menu
    QVERIFY(notebookMark()->isChecked());
    QVERIFY(bar()->isVisible());
    QCOMPARE(tree()->geometry().top(), 48 + 26);
    QCOMPARE(qm::settings::Read(settings, qm::settings::kShowPathBar, false), true);
}

void PathBarWindowTest::loadedNoteShowsItsPath() {
    start();
    tree()->selectNode(3);
    QCOMPARE(loaded(), 3);
    QCOMPARE(Captions(bar()), kWeeklyReport);
    tree()->selectNode(4);
    QCOMPARE(loaded(), 4);
    QCOMPARE(Captions(bar()), (QStringList{QStringLiteral("QM:\\"), QStringLiteral("生活")}));
}

void PathBarWindowTest::segmentClickLoadsTheNote() {
    start();
    QVERIFY(QTest::qWaitForWindowExposed(&window()));
    tree()->selectNode(3);
    QTest::mouseClick(bar()->segment(1), Qt::LeftButton);
    QCOMPARE(tree()->selectedNode(), 1);
    QCOMPARE(loaded(), 1);
    QCOMPARE(Captions(bar()), (QStringList{QStringLiteral("QM:\\"), QStringLiteral("工作")}));
}

void PathBarWindowTest::enterInTheEditBoxLoadsTheNote() {
    start();
    QVERIFY(QTest::qWaitForWindowExposed(&window()));
    tree()->selectNode(4);
    QTest::mouseClick(bar()->templateButton(), Qt::LeftButton);
    QLineEdit* box = bar()->editBox();
    QVERIFY(box->isVisible());
    QCOMPARE(box->text(), QStringLiteral("QM:\\生活"));
    box->setText(QStringLiteral("QM:\\工作\\项目\\周报"));
    QTest::keyClick(box, Qt::Key_Return);
    QVERIFY(box->isHidden());
    QCOMPARE(loaded(), 3);
    QCOMPARE(Captions(bar()), kWeeklyReport);
}

void PathBarWindowTest::treeHoldsTheLoadedNoteWhileEditing() {
    start();
    QVERIFY(QTest::qWaitForWindowExposed(&window()));
    tree()->selectNode(3);
    window().paths()->openEditor();
    QTRY_VERIFY(bar()->editBox()->hasFocus());

    // A click on another note: the session keeps the loaded note, then the unchanged path
    // just closes the edit box.
    const QRect item = tree()->visualRect(window().trees()->notebookModel()->indexOfNode(4));
    QVERIFY(item.isValid());
    QSignalSpy shown(window().noteSession(), &qm::NoteSession::noteShown);
    QTest::mouseClick(tree()->viewport(), Qt::LeftButton, {}, item.center());
    QTRY_VERIFY(bar()->editBox()->isHidden());
    QCOMPARE(shown.count(), 0);  // no note was loaded on the way
    QCOMPARE(tree()->selectedNode(), 3);
    QCOMPARE(loaded(), 3);
    QCOMPARE(Captions(bar()), kWeeklyReport);
    QVERIFY(qm::MessageBox::shown().isEmpty());

    // Closed again, the same click switches notes.
    QTest::mouseClick(tree()->viewport(), Qt::LeftButton, {}, item.center());
    QCOMPARE(loaded(), 4);
    QCOMPARE(shown.count(), 1);
}

QTEST_MAIN(PathBarWindowTest)
#include "path_bar_window_test.moc"
