// The tree commands on the real window, offscreen, on a temporary program folder: new notes,
// renaming in place, delete into the recycle bin, cut and paste (moves and restores), purge,
// parent icons and expansion, each checked in the stores, in the files and in the views, and
// again after a restart on the same folder.
#include "app/tree_commands/tree_commands.h"

#include <QAbstractItemModelTester>
#include <QLineEdit>
#include <QScrollBar>
#include <QtTest>
#include <filesystem>
#include <fstream>

#include "app/frame/main_tool_bar.h"
#include "app/notes/note_session.h"
#include "app/tree_commands/title_editor.h"
#include "app/tree_fixture.h"
#include "app/trees/note_tree_view.h"
#include "app/trees/note_trees.h"
#include "app/trees/outline_model.h"
#include "app/widgets/message_box.h"
#include "app/window/main_window.h"
#include "app/window/program.h"
#include "editor/note_editor.h"
#include "store/tree_store.h"
#include "support/durable_bytes.h"
#include "support/recorded_calls.h"
#include "support/temp_dir.h"

using qm::TreeKind;
using qm::testing::FileOutline;
using qm::testing::ModelMismatch;
using qm::testing::OutlineText;
using qm::testing::TreeRow;
using qm::testing::WriteTree;

namespace {

// The notebook most cases start from (indexes on the left):
// 0 笔记本 / 1 A / 2 A1 / 3 A2 / 4 B / 5 C / 6 C1 / 7 D
const std::initializer_list<TreeRow> kNotebook = {
    {1, "笔记本", 2, 2}, {2, "A", 0, 2, "a"}, {3, "A1", 1, 0, "a1"}, {3, "A2", 1, 0, "a2"},
    {2, "B", 1, 0, "b"}, {2, "C", 0, 2, "c"}, {3, "C1", 1, 0, "c1"}, {2, "D", 1, 0, "d"},
};
const QString kNotebookText = QStringLiteral("笔记本#2|.A#0|..A1#1|..A2#1|.B#1|.C#0|..C1#1|.D#1");

// 0 回收站 / 1 X / 2 X1 / 3 Y
const std::initializer_list<TreeRow> kRecycleBin = {
    {1, "回收站", 2, 2}, {2, "X", 0, 2, "x"}, {3, "X1", 1, 0, "x1"}, {2, "Y", 1, 0, "y"}};
const QString kRecycleText = QStringLiteral("回收站#2|.X#0|..X1#1|.Y#1");

QString Title(qm::TreeStore& store, int node) {
    return qm::FromGb(store.GetField(node, qm::kFieldTitle));
}

}  // namespace

class TreeCommandsTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void newNoteIsAddedAndOpenedForRenaming_data();
    void newNoteIsAddedAndOpenedForRenaming();
    void newNoteSavesALoadedNoteThatMoves();
    void toolbarButtonsRunNewAndDelete();
    void renameInPlace_data();
    void renameInPlace();
    void newNoteStaysOpenForItsTitleInALongTree();
    void renameEndsWhenTheItemsMove();
    void deleteMovesTheSubtreeToTheRecycleBin_data();
    void deleteMovesTheSubtreeToTheRecycleBin();
    void deletingAnEmptyRootLeavesTheRecycleBinAlone();
    void deletingALongBodyMovesItIntoAFileFirst();
    void deleteKeepsTheNoteFieldsAndForgetsTheLoadedNote();
    void pastePlacesTheSubtree_data();
    void pastePlacesTheSubtree();
    void pasteIsRefused_data();
    void pasteIsRefused();
    void pasteSavesTheLoadedNoteFirst();
    void pasteWritesNothingIntoTheNoteThatTookTheLoadedPlace();
    void purgeRemovesForGood_data();
    void purgeRemovesForGood();
    void cutMarkFollowsANewNoteAbove();
    void treesComeBackAfterARestart();
    void expandAndCollapseAreStored_data();
    void expandAndCollapseAreStored();
    void viewKeepsItsOpenedItemsAcrossANewNote();
    void commandsChangeTheViewsInPlace_data();
    void commandsChangeTheViewsInPlace();
    void eachCommandSyncsEachStoreOnce_data();
    void eachCommandSyncsEachStoreOnce();

private:
    qm::MainWindow& start();
    void restart();
    std::string file(const char* name) const { return dir_->File(name); }
    qm::MainWindow& window() { return session_->window(); }
    qm::NoteTrees& trees() { return *window().trees(); }
    qm::TreeCommands& commands() { return *window().treeCommands(); }
    qm::NoteSession& session() { return *window().noteSession(); }
    // Both views show their stores, and both files hold their stores' images.
    void verifyInStep();
    QString notebookText() { return OutlineText(trees().notebook()); }
    QString recycleText() { return OutlineText(trees().recycleBin()); }

    std::unique_ptr<qm::testing::TempDir> dir_;
    std::unique_ptr<qm::testing::TempDir> config_;
    qm::StartOptions options_;
    std::unique_ptr<qm::Session> session_;
};

void TreeCommandsTest::initTestCase() { qm::MessageBox::setAnswerInAdvance(true); }

void TreeCommandsTest::init() {
    qm::MessageBox::clearShown();
    dir_ = std::make_unique<qm::testing::TempDir>();
    config_ = std::make_unique<qm::testing::TempDir>();
    options_ = {};
    options_.programFolder = QString::fromStdString(dir_->path());
    options_.executablePath = QStringLiteral("/opt/qm/corvanel");
    options_.autostartFolder = QString::fromStdString(config_->File("autostart"));
    options_.trayAvailable = true;
    QVERIFY(WriteTree(file("笔记本.qm"), kNotebook));
    QVERIFY(WriteTree(file("回收站.qm"), kRecycleBin));
}

void TreeCommandsTest::cleanup() {
    session_.reset();
    config_.reset();
    dir_.reset();
}

qm::MainWindow& TreeCommandsTest::start() {
    session_ = std::make_unique<qm::Session>(options_);
    session_->window().startUp();
    QApplication::setActiveWindow(&session_->window());
    return session_->window();
}

void TreeCommandsTest::restart() {
    session_.reset();
    start();
}

void TreeCommandsTest::verifyInStep() {
    QCOMPARE(ModelMismatch(*trees().notebookModel(), trees().notebook()), QString());
    QCOMPARE(ModelMismatch(*trees().recycleBinModel(), trees().recycleBin()), QString());
    QVERIFY(qm::testing::DurableBytes(file("笔记本.qm")) == trees().notebook().image());
    QVERIFY(qm::testing::DurableBytes(file("回收站.qm")) == trees().recycleBin().image());
}

void TreeCommandsTest::newNoteIsAddedAndOpenedForRenaming_data() {
    QTest::addColumn<int>("selected");  // -1: nothing selected
    QTest::addColumn<bool>("sibling");  // "同级新建" instead of "新建"
    QTest::addColumn<int>("added");
    QTest::addColumn<QString>("outline");

    QTest::newRow("nothing selected: last child of the root")
        << -1 << false << 8 << kNotebookText + QStringLiteral("|.新笔记9#1");
    QTest::newRow("a leaf becomes a folder")
        << 4 << false << 5
        << QStringLiteral("笔记本#2|.A#0|..A1#1|..A2#1|.B#0|..新笔记9#1|.C#0|..C1#1|.D#1");
    QTest::newRow("a folder gets a last child")
        << 1 << false << 4
        << QStringLiteral("笔记本#2|.A#0|..A1#1|..A2#1|..新笔记9#1|.B#1|.C#0|..C1#1|.D#1");
    QTest::newRow("the root gets a last child")
        << 0 << false << 8 << kNotebookText + QStringLiteral("|.新笔记9#1");
    QTest::newRow("beside a nested note")
        << 2 << true << 4
        << QStringLiteral("笔记本#2|.A#0|..A1#1|..A2#1|..新笔记9#1|.B#1|.C#0|..C1#1|.D#1");
    QTest::newRow("beside the root: a child of the root")
        << 0 << true << 8 << kNotebookText + QStringLiteral("|.新笔记9#1");
}

void TreeCommandsTest::newNoteIsAddedAndOpenedForRenaming() {
    QFETCH(int, selected);
    QFETCH(bool, sibling);
    QFETCH(int, added);
    QFETCH(QString, outline);
    start();
    if (selected >= 0) {
        QVERIFY(trees().notebookView()->selectNode(selected));
    } else {
        trees().notebookView()->setCurrentIndex({});
    }

    const int result = sibling ? commands().newSiblingNote() : commands().newChildNote();
    QCOMPARE(result, added);
    QCOMPARE(notebookText(), outline);
    verifyInStep();
    qm::NodeRecord record;
    trees().notebook().ReadNode(added, 0, &record, true);
    QCOMPARE(record.body, std::string());
    QCOMPARE(record.externalPath, std::string());
    QCOMPARE(record.selectedImage, 1);
    QCOMPARE(record.expandState, 0);
    // Selected and loaded, with its title open for editing.
    QCOMPARE(trees().notebookView()->selectedNode(), added);
    QCOMPARE(session().loadedNote(), added);
    QVERIFY(commands().titleEditor()->isEditing());
    QCOMPARE(commands().titleEditor()->node(), added);
    QCOMPARE(commands().titleEditor()->box()->text(), QStringLiteral("新笔记9"));
    QVERIFY(qm::MessageBox::shown().isEmpty());
}

void TreeCommandsTest::newNoteSavesALoadedNoteThatMoves() {
    start();
    // D (7) is loaded and edited; a new child of A goes in at 4, so D moves to 8.
    QVERIFY(trees().notebookView()->selectNode(7));
    QCOMPARE(session().loadedNote(), 7);
    window().editor()->setText("d edited");
    QCOMPARE(commands().newNote(1, true), 4);
    QCOMPARE(Title(trees().notebook(), 8), QStringLiteral("D"));
    QCOMPARE(trees().notebook().GetField(8, qm::kFieldBody), std::string("d edited"));
    QCOMPARE(trees().notebook().GetField(7, qm::kFieldBody), std::string("c1"));
    QCOMPARE(session().loadedNote(), 4);
    // Leaving the new note does not write into any other.
    commands().titleEditor()->cancel();
    QVERIFY(trees().notebookView()->selectNode(5));
    QCOMPARE(trees().notebook().GetField(5, qm::kFieldBody), std::string("b"));
    QCOMPARE(trees().notebook().GetField(8, qm::kFieldBody), std::string("d edited"));
    verifyInStep();
}

void TreeCommandsTest::toolbarButtonsRunNewAndDelete() {
    qm::MainWindow& w = start();
    QVERIFY(trees().notebookView()->selectNode(4));
    w.toolBar()->button(0)->trigger();  // 新建
    QCOMPARE(notebookText(),
             QStringLiteral("笔记本#2|.A#0|..A1#1|..A2#1|.B#0|..新笔记9#1|.C#0|..C1#1|.D#1"));
    QCOMPARE(trees().notebookView()->selectedNode(), 5);
    commands().titleEditor()->cancel();
    w.toolBar()->button(1)->trigger();  // 删除
    QCOMPARE(notebookText(), kNotebookText);
    QCOMPARE(recycleText(), kRecycleText + QStringLiteral("|.新笔记9#1"));
    verifyInStep();
}

void TreeCommandsTest::renameInPlace_data() {
    QTest::addColumn<int>("node");
    QTest::addColumn<QString>("typed");  // replaces the selected title in the box
    QTest::addColumn<int>("key");        // the key that ends the edit
    QTest::addColumn<bool>("opens");     // F2 opens the box at all
    QTest::addColumn<QString>("title");  // the stored title afterwards
    QTest::addColumn<bool>("renamed");   // noteRenamed was sent

    QTest::newRow("enter stores the title") << 4 << QStringLiteral("乙 note") << int(Qt::Key_Return)
                                            << true << QStringLiteral("乙 note") << true;
    QTest::newRow("esc keeps the old one")
        << 4 << QStringLiteral("乙") << int(Qt::Key_Escape) << true << QStringLiteral("B") << false;
    QTest::newRow("an empty title is refused")
        << 4 << QString() << int(Qt::Key_Return) << true << QStringLiteral("B") << false;
    QTest::newRow("nested note") << 6 << QStringLiteral("丙一") << int(Qt::Key_Enter) << true
                                 << QStringLiteral("丙一") << true;
    QTest::newRow("characters beyond GBK") << 7 << QStringLiteral("笑😀𠀀") << int(Qt::Key_Return)
                                           << true << QStringLiteral("笑😀𠀀") << true;
    QTest::newRow("the root keeps its title") << 0 << QStringLiteral("x") << int(Qt::Key_Return)
                                              << false << QStringLiteral("笔记本") << false;
}

void TreeCommandsTest::renameInPlace() {
    QFETCH(int, node);
    QFETCH(QString, typed);
    QFETCH(int, key);
    QFETCH(bool, opens);
    QFETCH(QString, title);
    QFETCH(bool, renamed);
    start();
    QSignalSpy renames(&commands(), &qm::TreeCommands::noteRenamed);
    qm::NoteTreeView* view = trees().notebookView();
    QVERIFY(view->selectNode(node));
    view->setFocus();
    QTest::keyClick(view, Qt::Key_F2);
    qm::TitleEditor* editor = commands().titleEditor();
    QCOMPARE(editor->isEditing(), opens);
    if (opens) {
        QVERIFY(editor->box()->isVisible());
        QCOMPARE(editor->box()->selectedText(), Title(trees().notebook(), node));
        editor->box()->del();
        editor->box()->insert(typed);
        QTest::keyClick(editor->box(), static_cast<Qt::Key>(key));
        QVERIFY(!editor->isEditing());
        QVERIFY(!editor->box()->isVisible());
    }
    QCOMPARE(Title(trees().notebook(), node), title);
    QCOMPARE(trees().notebookModel()->indexOfNode(node).data().toString(), title);
    QCOMPARE(renames.count(), renamed ? 1 : 0);
    if (renamed) QCOMPARE(renames.first().first().toInt(), node);
    // The selection stays and nothing else moved.
    QCOMPARE(view->selectedNode(), node);
    QCOMPARE(session().loadedNote(), node);
    verifyInStep();
}

void TreeCommandsTest::newNoteStaysOpenForItsTitleInALongTree() {
    {
        qm::TreeStore store;
        std::filesystem::remove(file("笔记本.qm"));
        store.Open(file("笔记本.qm"));
        store.BuildOutline();
        qm::NodeFields root;
        root.title = qm::ToGb(QStringLiteral("笔记本"));
        root.image = 2;
        store.AddNode(std::nullopt, root);
        for (int i = 1; i < 200; ++i) {
            qm::NodeFields note;
            note.title = qm::ToGb(QStringLiteral("笔记%1").arg(i));
            note.image = 1;
            store.AddNode(0, note);
        }
    }
    start();
    qm::NoteTreeView* view = trees().notebookView();
    QVERIFY(view->verticalScrollBar()->maximum() > 0);  // the tree does not fit
    QVERIFY(view->selectNode(150));
    QCOMPARE(commands().newChildNote(), 151);
    QTest::qWait(50);  // whatever the view lays out later must not end the edit
    QVERIFY(commands().titleEditor()->isEditing());
    QVERIFY(
        view->viewport()->rect().contains(commands().titleEditor()->box()->geometry().center()));
    commands().titleEditor()->box()->setText(QStringLiteral("长树"));
    QTest::keyClick(commands().titleEditor()->box(), Qt::Key_Return);
    QCOMPARE(Title(trees().notebook(), 151), QStringLiteral("长树"));
}

void TreeCommandsTest::renameEndsWhenTheItemsMove() {
    start();
    qm::NoteTreeView* view = trees().notebookView();
    QVERIFY(view->selectNode(2));  // A1
    QVERIFY(commands().startRename(2));
    commands().titleEditor()->box()->setText(QStringLiteral("甲一"));
    view->collapse(trees().notebookModel()->indexOfNode(1));  // the user closes A
    QVERIFY(!commands().titleEditor()->isEditing());
    QCOMPARE(Title(trees().notebook(), 2), QStringLiteral("甲一"));
    // The user's collapse is stored; the quiet reselection of A1 after the rebuild may show A
    // open again, but writes nothing.
    QCOMPARE(trees().notebook().GetField(1, qm::kFieldExpandState), std::string("0"));
    verifyInStep();
}

void TreeCommandsTest::deleteMovesTheSubtreeToTheRecycleBin_data() {
    QTest::addColumn<int>("selected");
    QTest::addColumn<int>("removed");
    QTest::addColumn<QString>("notebook");
    QTest::addColumn<QString>("recycleBin");
    QTest::addColumn<int>("selectedAfter");

    QTest::newRow("a middle leaf: the next item is selected")
        << 4 << 1 << QStringLiteral("笔记本#2|.A#0|..A1#1|..A2#1|.C#0|..C1#1|.D#1")
        << kRecycleText + QStringLiteral("|.B#1") << 4;
    QTest::newRow("the last item: the new last item is selected")
        << 7 << 1 << QStringLiteral("笔记本#2|.A#0|..A1#1|..A2#1|.B#1|.C#0|..C1#1")
        << kRecycleText + QStringLiteral("|.D#1") << 6;
    QTest::newRow("a folder goes with its children")
        << 1 << 3 << QStringLiteral("笔记本#2|.B#1|.C#0|..C1#1|.D#1")
        << kRecycleText + QStringLiteral("|.A#0|..A1#1|..A2#1") << 1;
    QTest::newRow("an only child: the parent turns back into a note")
        << 6 << 1 << QStringLiteral("笔记本#2|.A#0|..A1#1|..A2#1|.B#1|.C#1|.D#1")
        << kRecycleText + QStringLiteral("|.C1#1") << 6;
    QTest::newRow("one of two children: the parent stays a folder")
        << 2 << 1 << QStringLiteral("笔记本#2|.A#0|..A2#1|.B#1|.C#0|..C1#1|.D#1")
        << kRecycleText + QStringLiteral("|.A1#1") << 2;
    QTest::newRow("the root: its children go, a new root stays")
        << 0 << 8 << QStringLiteral("笔记本#2")
        << kRecycleText + QStringLiteral("|.A#0|..A1#1|..A2#1|.B#1|.C#0|..C1#1|.D#1") << 0;
}

void TreeCommandsTest::deleteMovesTheSubtreeToTheRecycleBin() {
    QFETCH(int, selected);
    QFETCH(int, removed);
    QFETCH(QString, notebook);
    QFETCH(QString, recycleBin);
    QFETCH(int, selectedAfter);
    start();
    QVERIFY(trees().notebookView()->selectNode(selected));
    commands().cutNote();
    QCOMPARE(commands().deleteNote(), removed);
    QCOMPARE(notebookText(), notebook);
    QCOMPARE(recycleText(), recycleBin);
    verifyInStep();
    QCOMPARE(trees().notebookView()->selectedNode(), selectedAfter);
    QCOMPARE(session().loadedNote(), selectedAfter);
    QVERIFY(commands().cutMark().empty());
    QVERIFY(trees().recycleBinView()->isExpanded(trees().recycleBinModel()->indexOfNode(0)));
    // The files read back the same.
    QCOMPARE(FileOutline(file("笔记本.qm")), notebook);
    QCOMPARE(FileOutline(file("回收站.qm")), recycleBin);
}

void TreeCommandsTest::deletingALongBodyMovesItIntoAFileFirst() {
    // A body of a megabyte and a half kept in its record (ASCII: the same bytes in every
    // encoding), as a file written elsewhere may hold it.
    const std::string body(1536 * 1024, 'x');
    QVERIFY(WriteTree(file("笔记本.qm"),
                      {{1, "笔记本", 2}, {2, "long", 1, 0, body.c_str()}, {2, "next", 1, 0, "n"}}));
    start();
    QVERIFY(trees().notebookView()->selectNode(1));
    QCOMPARE(session().loadedNote(), 1);
    QCOMPARE(commands().deleteNote(), 1);
    QCOMPARE(notebookText(), QStringLiteral("笔记本#2|.next#1"));
    // The recycle bin's record names a file that holds the body; neither the recycle bin nor
    // a log carries it (the notebook file still holds it until its next checkpoint).
    qm::TreeStore& bin = trees().recycleBin();
    const int moved = bin.NodeCount() - 1;
    QCOMPARE(Title(bin, moved), QStringLiteral("long"));
    const std::string path = bin.GetField(moved, qm::kFieldExternalPath);
    QVERIFY(!path.empty());
    std::ifstream in(bin.ResolvePath(path), std::ios::binary);
    const std::string inFile((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    QVERIFY(inFile == body);
    QVERIFY(bin.ReadNode(moved, qm::kFieldBody, nullptr) == body);
    for (const char* name : {"笔记本.qm.log", "回收站.qm", "回收站.qm.log"}) {
        std::error_code missing;
        const auto size = std::filesystem::file_size(file(name), missing);
        QVERIFY2(missing || size < body.size(), name);
    }
}

void TreeCommandsTest::deletingAnEmptyRootLeavesTheRecycleBinAlone() {
    QVERIFY(WriteTree(file("笔记本.qm"), {{1, "笔记本", 2, 0, "root text"}}));
    start();
    const std::string recycleBefore = trees().recycleBin().image();
    QVERIFY(trees().notebookView()->selectNode(0));
    QCOMPARE(commands().deleteNote(), 1);
    QVERIFY(trees().recycleBin().image() == recycleBefore);
    QCOMPARE(notebookText(), QStringLiteral("笔记本#2"));
    // The new root is a new record: the old text went with the old one.
    QCOMPARE(trees().notebook().GetField(0, qm::kFieldBody), std::string());
    QCOMPARE(session().loadedNote(), 0);
    verifyInStep();
}

void TreeCommandsTest::deleteKeepsTheNoteFieldsAndForgetsTheLoadedNote() {
    start();
    QVERIFY(trees().notebookView()->selectNode(6));
    qm::NodeRecord before;
    trees().notebook().ReadNode(6, 0, &before, false);
    // An edit of the deleted note is dropped with it: nothing is saved into another note.
    window().editor()->setText("never saved");
    QCOMPARE(commands().deleteNote(), 1);
    QCOMPARE(session().loadedNote(), 6);  // D, which followed C1, is loaded now
    QCOMPARE(Title(trees().notebook(), 6), QStringLiteral("D"));
    QCOMPARE(window().editor()->getText(), std::string("d"));
    QVERIFY(trees().notebook().image().find("never saved") == std::string::npos);
    QVERIFY(trees().recycleBin().image().find("never saved") == std::string::npos);
    // The record moved whole, times and all; only its depth changed (3 to 2).
    qm::NodeRecord after;
    trees().recycleBin().ReadNode(4, 0, &after, false);
    QCOMPARE(after.title, before.title);
    QCOMPARE(after.created, before.created);
    QCOMPARE(after.modified, before.modified);
    QCOMPARE(after.depth, 2);
    QCOMPARE(trees().recycleBin().GetField(4, qm::kFieldBody), std::string("c1"));
}

void TreeCommandsTest::pastePlacesTheSubtree_data() {
    QTest::addColumn<int>("cutSource");  // 0 notebook, 1 recycle bin
    QTest::addColumn<int>("cut");
    QTest::addColumn<int>("target");
    QTest::addColumn<bool>("sibling");
    QTest::addColumn<QString>("notebook");
    QTest::addColumn<QString>("recycleBin");
    QTest::addColumn<int>("pasted");

    QTest::newRow("B after D: A C D B")
        << 0 << 4 << 7 << true
        << QStringLiteral("笔记本#2|.A#0|..A1#1|..A2#1|.C#0|..C1#1|.D#1|.B#1") << kRecycleText << 7;
    QTest::newRow("D before B: A D B C")
        << 0 << 7 << 4 << true
        << QStringLiteral("笔记本#2|.A#0|..A1#1|..A2#1|.D#1|.B#1|.C#0|..C1#1") << kRecycleText << 4;
    QTest::newRow("A after C: a subtree moves down past a folder")
        << 0 << 1 << 5 << true
        << QStringLiteral("笔记本#2|.B#1|.C#0|..C1#1|.A#0|..A1#1|..A2#1|.D#1") << kRecycleText << 4;
    QTest::newRow("as child: the last child, the target turns into a folder")
        << 0 << 7 << 4 << false
        << QStringLiteral("笔记本#2|.A#0|..A1#1|..A2#1|.B#0|..D#1|.C#0|..C1#1") << kRecycleText
        << 5;
    QTest::newRow("the only child leaves: its parent turns back into a note")
        << 0 << 6 << 7 << false
        << QStringLiteral("笔记本#2|.A#0|..A1#1|..A2#1|.B#1|.C#1|.D#0|..C1#1") << kRecycleText << 7;
    QTest::newRow("a child moves up beside its parent")
        << 0 << 6 << 5 << true << QStringLiteral("笔记本#2|.A#0|..A1#1|..A2#1|.B#1|.C1#1|.C#1|.D#1")
        << kRecycleText << 5;
    QTest::newRow("into the previous sibling, right before the old place")
        << 0 << 4 << 1 << false
        << QStringLiteral("笔记本#2|.A#0|..A1#1|..A2#1|..B#1|.C#0|..C1#1|.D#1") << kRecycleText
        << 4;
    QTest::newRow("as child of the root")
        << 0 << 2 << 0 << false
        << QStringLiteral("笔记本#2|.A#0|..A2#1|.B#1|.C#0|..C1#1|.D#1|.A1#1") << kRecycleText << 7;
    QTest::newRow("restore beside B: right before B")
        << 1 << 1 << 4 << true
        << QStringLiteral("笔记本#2|.A#0|..A1#1|..A2#1|.X#0|..X1#1|.B#1|.C#0|..C1#1|.D#1")
        << QStringLiteral("回收站#2|.Y#1") << 4;
    QTest::newRow("restore beside D, the last one: right before D")
        << 1 << 3 << 7 << true
        << QStringLiteral("笔记本#2|.A#0|..A1#1|..A2#1|.B#1|.C#0|..C1#1|.Y#1|.D#1")
        << QStringLiteral("回收站#2|.X#0|..X1#1") << 7;
    QTest::newRow("restore as child: the target turns into a folder")
        << 1 << 3 << 4 << false
        << QStringLiteral("笔记本#2|.A#0|..A1#1|..A2#1|.B#0|..Y#1|.C#0|..C1#1|.D#1")
        << QStringLiteral("回收站#2|.X#0|..X1#1") << 5;
    QTest::newRow("restore an only child: its recycle-bin parent turns back into a note")
        << 1 << 2 << 7 << false
        << QStringLiteral("笔记本#2|.A#0|..A1#1|..A2#1|.B#1|.C#0|..C1#1|.D#0|..X1#1")
        << QStringLiteral("回收站#2|.X#1|.Y#1") << 8;
}

void TreeCommandsTest::pastePlacesTheSubtree() {
    QFETCH(int, cutSource);
    QFETCH(int, cut);
    QFETCH(int, target);
    QFETCH(bool, sibling);
    QFETCH(QString, notebook);
    QFETCH(QString, recycleBin);
    QFETCH(int, pasted);
    start();
    if (cutSource == 0) {
        QVERIFY(trees().notebookView()->selectNode(cut));
        commands().cutNote();
    } else {
        QVERIFY(trees().recycleBinView()->selectNode(cut));
        commands().cutRecycledNote();
    }
    QCOMPARE(commands().cutMark().index, cut);
    QVERIFY(trees().notebookView()->selectNode(target));

    QVERIFY(commands().pasteNote(sibling));
    QCOMPARE(notebookText(), notebook);
    QCOMPARE(recycleText(), recycleBin);
    verifyInStep();
    QVERIFY(commands().cutMark().empty());
    QCOMPARE(trees().notebookView()->selectedNode(), pasted);
    QCOMPARE(session().loadedNote(), pasted);
    // The pasted note's body came along and is the one in the editor.
    const QString title = Title(trees().notebook(), pasted);
    QCOMPARE(qm::FromGb(window().editor()->getText()), title.toLower());
    QCOMPARE(qm::FromGb(trees().notebook().GetField(pasted, qm::kFieldBody)), title.toLower());
    QVERIFY(qm::MessageBox::shown().isEmpty());
    QCOMPARE(FileOutline(file("笔记本.qm")), notebook);
}

void TreeCommandsTest::pasteIsRefused_data() {
    QTest::addColumn<int>("cutSource");  // -1 nothing cut, 0 notebook, 1 recycle bin
    QTest::addColumn<int>("cut");
    QTest::addColumn<int>("target");
    QTest::addColumn<bool>("sibling");
    QTest::addColumn<int>("purgedAfterCut");  // a recycle-bin item purged after the cut, or -1

    QTest::newRow("nothing cut") << -1 << -1 << 4 << false << -1;
    QTest::newRow("onto the cut note itself") << 0 << 1 << 1 << false << -1;
    QTest::newRow("into the cut subtree") << 0 << 1 << 3 << false << -1;
    QTest::newRow("beside a note inside the cut subtree") << 0 << 5 << 6 << true << -1;
    QTest::newRow("the cut root into its own subtree") << 0 << 0 << 4 << false << -1;
    QTest::newRow("a recycle-bin index gone stale") << 1 << 3 << 4 << false << 1;
    QTest::newRow("the recycle-bin root without children") << 1 << 0 << 4 << false << 1;
}

void TreeCommandsTest::pasteIsRefused() {
    QFETCH(int, cutSource);
    QFETCH(int, cut);
    QFETCH(int, target);
    QFETCH(bool, sibling);
    QFETCH(int, purgedAfterCut);
    start();
    if (cutSource == 0) {
        QVERIFY(trees().notebookView()->selectNode(cut));
        commands().cutNote();
    } else if (cutSource == 1) {
        QVERIFY(trees().recycleBinView()->selectNode(cut));
        commands().cutRecycledNote();
    }
    // A purge that is no menu command leaves the mark as it is, pointing past the end or at
    // a root left without children.
    if (purgedAfterCut >= 0) QVERIFY(commands().purgeRecycledNote(purgedAfterCut));
    if (purgedAfterCut >= 0 && cut == 0) QVERIFY(commands().purgeRecycledNote(1));
    const qm::CutMark mark = commands().cutMark();
    QVERIFY(trees().notebookView()->selectNode(target));
    const std::string notebookBefore = trees().notebook().image();
    const std::string recycleBefore = trees().recycleBin().image();

    QVERIFY(!commands().pasteNote(sibling));
    QCOMPARE(qm::MessageBox::shown().size(), 1);
    QCOMPARE(qm::MessageBox::shown().first().text, QStringLiteral("粘贴失败！"));
    QVERIFY(trees().notebook().image() == notebookBefore);
    QVERIFY(trees().recycleBin().image() == recycleBefore);
    QCOMPARE(commands().cutMark().index, mark.index);
    QVERIFY(commands().cutMark().source == mark.source);
    QCOMPARE(trees().notebookView()->selectedNode(), target);
    verifyInStep();
}

void TreeCommandsTest::pasteSavesTheLoadedNoteFirst() {
    start();
    QVERIFY(trees().notebookView()->selectNode(7));  // D
    commands().cutNote();
    QVERIFY(trees().notebookView()->selectNode(4));  // B, loaded and edited
    window().editor()->setText("b edited");
    QVERIFY(commands().pasteNote(true));  // D before B: A D B C
    QCOMPARE(Title(trees().notebook(), 5), QStringLiteral("B"));
    QCOMPARE(trees().notebook().GetField(5, qm::kFieldBody), std::string("b edited"));
    QCOMPARE(trees().notebook().GetField(4, qm::kFieldBody), std::string("d"));
    QCOMPARE(window().editor()->getText(), std::string("d"));
    // Leaving D writes nothing into B or anywhere else.
    QVERIFY(trees().notebookView()->selectNode(7));
    QCOMPARE(trees().notebook().GetField(5, qm::kFieldBody), std::string("b edited"));
    QCOMPARE(trees().notebook().GetField(4, qm::kFieldBody), std::string("d"));
    verifyInStep();
}

void TreeCommandsTest::pasteWritesNothingIntoTheNoteThatTookTheLoadedPlace() {
    start();
    QVERIFY(trees().notebookView()->selectNode(1));  // A
    commands().cutNote();
    QVERIFY(trees().notebookView()->selectNode(5));  // C, loaded, caret after its first byte
    window().editor()->showRange(1, 0);
    QVERIFY(commands().pasteNote(true));  // A after C: B C C1 A A1 A2 D
    QCOMPARE(Title(trees().notebook(), 2), QStringLiteral("C"));
    QCOMPARE(trees().notebook().GetField(2, qm::kFieldSelStart), std::string("1"));
    // Index 5, where C stood, is A1 now: it keeps its own selection.
    QCOMPARE(Title(trees().notebook(), 5), QStringLiteral("A1"));
    QCOMPARE(trees().notebook().GetField(5, qm::kFieldSelStart), std::string("0"));
    QCOMPARE(session().loadedNote(), 4);
    verifyInStep();
}

void TreeCommandsTest::purgeRemovesForGood_data() {
    QTest::addColumn<int>("purged");
    QTest::addColumn<QString>("recycleBin");
    QTest::addColumn<int>("selectedAfter");

    QTest::newRow("a folder with its child") << 1 << QStringLiteral("回收站#2|.Y#1") << 1;
    QTest::newRow("an only child: its parent turns back into a note")
        << 2 << QStringLiteral("回收站#2|.X#1|.Y#1") << 2;
    QTest::newRow("the last item") << 3 << QStringLiteral("回收站#2|.X#0|..X1#1") << 2;
    QTest::newRow("the root: a new empty recycle bin") << 0 << QStringLiteral("回收站#2") << 0;
}

void TreeCommandsTest::purgeRemovesForGood() {
    QFETCH(int, purged);
    QFETCH(QString, recycleBin);
    QFETCH(int, selectedAfter);
    start();
    const std::string notebookBefore = trees().notebook().image();
    QVERIFY(trees().recycleBinView()->selectNode(purged));
    QVERIFY(commands().purgeSelectedRecycledNote());
    QCOMPARE(recycleText(), recycleBin);
    QCOMPARE(FileOutline(file("回收站.qm")), recycleBin);
    QVERIFY(trees().notebook().image() == notebookBefore);
    QCOMPARE(trees().recycleBinView()->selectedNode(), selectedAfter);
    verifyInStep();
    // Nothing to purge: nothing happens.
    trees().recycleBinView()->setCurrentIndex({});
    const std::string recycleBefore = trees().recycleBin().image();
    QVERIFY(!commands().purgeSelectedRecycledNote());
    QVERIFY(trees().recycleBin().image() == recycleBefore);
}

void TreeCommandsTest::cutMarkFollowsANewNoteAbove() {
    start();
    QVERIFY(trees().notebookView()->selectNode(7));  // D
    commands().cutNote();
    QCOMPARE(commands().newNote(1, true), 4);  // a new child of A, above D
    QCOMPARE(commands().cutMark().index, 8);
    QCOMPARE(commands().cutCaption(TreeKind::kNotebook), QStringLiteral("已剪切 D[8]"));
    commands().titleEditor()->cancel();
    QVERIFY(trees().notebookView()->selectNode(2));
    QVERIFY(commands().pasteNote(false));  // D becomes A1's child
    QCOMPARE(notebookText(),
             QStringLiteral("笔记本#2|.A#0|..A1#0|...D#1|..A2#1|..新笔记9#1|.B#1|.C#0|..C1#1"));
    verifyInStep();
}

void TreeCommandsTest::treesComeBackAfterARestart() {
    start();
    QVERIFY(trees().notebookView()->selectNode(4));
    QCOMPARE(commands().newChildNote(), 5);
    commands().titleEditor()->box()->setText(QStringLiteral("乙下"));
    commands().titleEditor()->finish();
    QVERIFY(trees().notebookView()->selectNode(2));
    QCOMPARE(commands().deleteNote(), 1);            // A1
    QVERIFY(trees().notebookView()->selectNode(5));  // C
    commands().cutNote();
    QVERIFY(trees().notebookView()->selectNode(3));  // B
    QVERIFY(commands().pasteNote(false));
    const QString notebook =
        QStringLiteral("笔记本#2|.A#0|..A2#1|.B#0|..乙下#1|..C#0|...C1#1|.D#1");
    const QString recycleBin = kRecycleText + QStringLiteral("|.A1#1");
    QCOMPARE(notebookText(), notebook);
    QCOMPARE(recycleText(), recycleBin);

    restart();
    QCOMPARE(notebookText(), notebook);
    QCOMPARE(recycleText(), recycleBin);
    verifyInStep();
    // The views show the icons of the records.
    const qm::OutlineModel* model = trees().notebookModel();
    for (int node = 0; node < model->nodeCount(); ++node) {
        QCOMPARE(model->indexOfNode(node).data(qm::OutlineModel::kImageRole).toInt(),
                 model->row(node)->image);
        QVERIFY(!model->indexOfNode(node).data(Qt::DecorationRole).value<QIcon>().isNull());
    }
}

void TreeCommandsTest::expandAndCollapseAreStored_data() {
    QTest::addColumn<int>("tree");  // 0 notebook, 1 recycle bin
    QTest::addColumn<int>("node");
    QTest::newRow("notebook folder") << 0 << 5;
    QTest::newRow("recycle-bin folder") << 1 << 1;
}

void TreeCommandsTest::expandAndCollapseAreStored() {
    QFETCH(int, tree);
    QFETCH(int, node);
    start();
    window().toggleRecycleBin();
    auto views = [this, tree] {
        return tree == 0 ? trees().notebookView() : trees().recycleBinView();
    };
    auto store = [this, tree]() -> qm::TreeStore& {
        return tree == 0 ? trees().notebook() : trees().recycleBin();
    };
    QVERIFY(views()->isExpanded(views()->outlineModel()->indexOfNode(node)));  // stored "2"
    views()->collapse(views()->outlineModel()->indexOfNode(node));
    QCOMPARE(store().GetField(node, qm::kFieldExpandState), std::string("0"));

    restart();
    window().toggleRecycleBin();
    QVERIFY(!views()->isExpanded(views()->outlineModel()->indexOfNode(node)));
    QCOMPARE(store().GetField(node, qm::kFieldExpandState), std::string("0"));
    views()->expand(views()->outlineModel()->indexOfNode(node));
    QCOMPARE(store().GetField(node, qm::kFieldExpandState), std::string("2"));
    verifyInStep();

    restart();
    QVERIFY(views()->isExpanded(views()->outlineModel()->indexOfNode(node)));
}

void TreeCommandsTest::viewKeepsItsOpenedItemsAcrossANewNote() {
    QVERIFY(
        WriteTree(file("笔记本.qm"), {{1, "笔记本", 2}, {2, "A", 0}, {3, "A1", 1}, {2, "B", 1}}));
    start();
    qm::NoteTreeView* view = trees().notebookView();
    // The program opened A (stored collapsed) to show A1; a new note does not close it again.
    QVERIFY(view->selectNode(2));
    QVERIFY(view->isExpanded(trees().notebookModel()->indexOfNode(1)));
    QCOMPARE(trees().notebook().GetField(1, qm::kFieldExpandState), std::string("0"));
    QVERIFY(view->selectNode(3));
    QCOMPARE(commands().newChildNote(), 4);
    QVERIFY(view->isExpanded(trees().notebookModel()->indexOfNode(0)));
    QVERIFY(view->isExpanded(trees().notebookModel()->indexOfNode(1)));
    QVERIFY(view->isExpanded(trees().notebookModel()->indexOfNode(3)));  // B shows its child
    QCOMPARE(trees().notebook().GetField(1, qm::kFieldExpandState), std::string("0"));
}

void TreeCommandsTest::commandsChangeTheViewsInPlace_data() {
    QTest::addColumn<QString>("command");
    QTest::addColumn<int>("selected");     // notebook selection when the command runs
    QTest::addColumn<int>("target");       // paste: where; purge: the recycle-bin item
    QTest::addColumn<QString>("current");  // title of the notebook's current item afterwards

    QTest::newRow("new note near the start") << "new" << 1 << -1 << "新笔记9";
    QTest::newRow("new sibling note") << "sibling" << 6 << -1 << "新笔记9";
    QTest::newRow("rename") << "rename" << 4 << -1 << "改名";
    QTest::newRow("delete a folder") << "delete" << 1 << -1 << "B";
    QTest::newRow("delete the last note") << "delete" << 7 << -1 << "C1";
    QTest::newRow("move a folder down") << "move" << 1 << 7 << "A";
    QTest::newRow("move a note up") << "move" << 7 << 2 << "D";
    QTest::newRow("restore from the recycle bin") << "restore" << 4 << 1 << "X";
    QTest::newRow("purge in the recycle bin") << "purge" << 4 << 2 << "B";
}

void TreeCommandsTest::commandsChangeTheViewsInPlace() {
    QFETCH(QString, command);
    QFETCH(int, selected);
    QFETCH(int, target);
    QFETCH(QString, current);
    start();
    qm::OutlineModel* notebookModel = trees().notebookModel();
    qm::OutlineModel* recycleModel = trees().recycleBinModel();
    QAbstractItemModelTester notebookTester(notebookModel,
                                            QAbstractItemModelTester::FailureReportingMode::QtTest);
    QAbstractItemModelTester recycleTester(recycleModel,
                                           QAbstractItemModelTester::FailureReportingMode::QtTest);
    qm::NoteTreeView* view = trees().notebookView();
    // C (5) is opened by the program only (stored closed), A (1) is stored open.
    QVERIFY(trees().notebook().SetField(5, qm::kFieldExpandState, "0"));
    QVERIFY(view->expandNode(5));
    QVERIFY(trees().recycleBinView()->expandNode(1));
    QVERIFY(view->selectNode(selected));
    QSignalSpy resets(notebookModel, &QAbstractItemModel::modelReset);
    QSignalSpy recycleResets(recycleModel, &QAbstractItemModel::modelReset);
    const QPersistentModelIndex a = notebookModel->indexOfNode(1);
    const QPersistentModelIndex c = notebookModel->indexOfNode(5);
    const QPersistentModelIndex x = recycleModel->indexOfNode(1);

    if (command == QLatin1String("new")) {
        QVERIFY(commands().newChildNote() > 0);
    } else if (command == QLatin1String("sibling")) {
        QVERIFY(commands().newSiblingNote() > 0);
    } else if (command == QLatin1String("rename")) {
        QVERIFY(commands().renameNote(selected, QStringLiteral("改名")));
    } else if (command == QLatin1String("delete")) {
        QVERIFY(commands().deleteNote() > 0);
    } else if (command == QLatin1String("move")) {
        commands().cutNote();
        QVERIFY(view->selectNode(target));
        QVERIFY(commands().pasteNote(false));
    } else if (command == QLatin1String("restore")) {
        QVERIFY(trees().recycleBinView()->selectNode(target));
        commands().cutRecycledNote();
        QVERIFY(commands().pasteNote(true));
    } else if (command == QLatin1String("purge")) {
        QVERIFY(trees().recycleBinView()->selectNode(target));
        QVERIFY(commands().purgeSelectedRecycledNote());
    }
    commands().titleEditor()->cancel();

    QCOMPARE(resets.count(), 0);
    QCOMPARE(recycleResets.count(), 0);
    verifyInStep();
    // The items the view had opened stay open wherever they went; the same for the recycle bin.
    if (a.isValid()) QVERIFY(view->isExpanded(a));
    if (c.isValid()) QVERIFY(view->isExpanded(c));
    QVERIFY(c.isValid() || command == QLatin1String("delete"));
    if (x.isValid()) QVERIFY(trees().recycleBinView()->isExpanded(x));
    // The current item, and the note in the editor, are the ones the command chose.
    QCOMPARE(view->currentIndex().data().toString(), current);
    QVERIFY(view->selectionModel()->isSelected(view->currentIndex()));
    QCOMPARE(session().loadedNote(), view->selectedNode());
}

void TreeCommandsTest::eachCommandSyncsEachStoreOnce_data() {
    QTest::addColumn<QString>("command");
    QTest::addColumn<int>("notebookSyncs");
    QTest::addColumn<int>("recycleSyncs");

    // A new leaf under B also turns B into a folder; moving C1 under A, or deleting it, turns C
    // into a leaf; Y is restored before A2.
    QTest::newRow("new note") << "new" << 1 << 0;
    QTest::newRow("rename") << "rename" << 1 << 0;
    QTest::newRow("move") << "move" << 1 << 0;
    QTest::newRow("delete") << "delete" << 1 << 1;
    QTest::newRow("restore") << "restore" << 1 << 1;
    QTest::newRow("purge") << "purge" << 0 << 1;
}

// The edits of one command go to each store's log in one durable group: one sync per store.
void TreeCommandsTest::eachCommandSyncsEachStoreOnce() {
    QFETCH(QString, command);
    QFETCH(int, notebookSyncs);
    QFETCH(int, recycleSyncs);
    start();
    qm::NoteTreeView* view = trees().notebookView();
    const bool restore = command == QLatin1String("restore");
    const bool purge = command == QLatin1String("purge");
    QVERIFY(view->selectNode(command == QLatin1String("delete") ? 6 : restore ? 2 : 4));
    if (command == QLatin1String("move")) {
        QVERIFY(view->selectNode(6));
        commands().cutNote();
        QVERIFY(view->selectNode(1));
    }
    if (restore || purge) {
        QVERIFY(trees().recycleBinView()->selectNode(3));
        commands().cutRecycledNote();
    }
    // Counted per log: the settings file is no part of it.
    qm::testing::CallRecord record;
    if (command == QLatin1String("new")) {
        QVERIFY(commands().newChildNote() > 0);
    } else if (command == QLatin1String("rename")) {
        QVERIFY(commands().renameNote(4, QStringLiteral("改名")));
    } else if (command == QLatin1String("move")) {
        QVERIFY(commands().pasteNote(false));
    } else if (command == QLatin1String("delete")) {
        QCOMPARE(commands().deleteNote(), 1);
    } else if (restore) {
        QVERIFY(commands().pasteNote(true));
    } else if (purge) {
        QVERIFY(commands().purgeSelectedRecycledNote());
    }
    record.Stop();
    QCOMPARE(record.Count(qm::fileio::kSync, "笔记本.qm.log"), notebookSyncs);
    QCOMPARE(record.Count(qm::fileio::kSync, "回收站.qm.log"), recycleSyncs);
    commands().titleEditor()->cancel();
    verifyInStep();
}

QTEST_MAIN(TreeCommandsTest)
#include "tree_commands_test.moc"
