// The path bar and its commands, driven offscreen over a real notebook file and settings
// file: segment captions, tags and geometry, segment clicks, manual editing (Enter, Esc,
// focus lost, tree clicks while editing), copy and jump through the clipboard, the menu and
// the "显示路径栏" mark kept in the settings file.
#include "app/notes/path_commands.h"

#include <QAbstractButton>
#include <QClipboard>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMenu>
#include <QSignalSpy>
#include <QtTest>
#include <memory>

#include "app/notes/path_bar.h"
#include "app/trees/note_tree_view.h"
#include "app/trees/outline_model.h"
#include "app/widgets/sectioned_menu.h"
#include "common/qt_text.h"
#include "settings/settings_keys.h"
#include "settings/settings_store.h"
#include "store/tree_store.h"
#include "support/temp_dir.h"

namespace {

qm::NodeFields Titled(const char* utf8) {
    qm::NodeFields fields;
    fields.title = qm::ToGb(QString::fromUtf8(utf8));
    fields.image = 1;
    return fields;
}

// A window with the notebook view and the path bar above it; counts the keys that reach it.
class Host : public QWidget {
public:
    int escapes = 0;

protected:
    void keyPressEvent(QKeyEvent* event) override {
        if (event->key() == Qt::Key_Escape) ++escapes;
        QWidget::keyPressEvent(event);
    }
};

QAction* Entry(QMenu* menu, const QString& caption) {
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

}  // namespace

class PathCommandsTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void segmentsFollowThePath_data();
    void segmentsFollowThePath();
    void shorterPathDropsSurplusSegments();
    void barFillsItsWidth();
    void segmentClickSelectsItsNote_data();
    void segmentClickSelectsItsNote();
    void emptyRestOfTheBarOpensTheEditor();
    void enterInTheEditor_data();
    void enterInTheEditor();
    void escClosesTheEditorWithoutJumping();
    void focusLostAppliesTheEdit();
    void treeClickWhileEditingMeetsAnOpenEditor();
    void copyAndJumpThroughTheClipboard_data();
    void copyAndJumpThroughTheClipboard();
    void copyWithoutSelectionEmptiesTheClipboard();
    void pathMenu();
    void markIsStoredAndRestored();
    void notebookMenuEntries();
    void renameShowsTheNewTitle();

private:
    void makeCommands();
    int selected() const { return view_->selectedNode(); }
    bool storedMark(bool fallback) {
        settings_->setSection(qm::settings::Gb(qm::settings::kMainSection));
        return settings_->readBool(qm::settings::Gb(qm::settings::kShowPathBar.key), fallback);
    }

    std::unique_ptr<qm::testing::TempDir> dir_;
    std::unique_ptr<qm::SettingsStore> settings_;
    std::unique_ptr<qm::TreeStore> store_;
    std::unique_ptr<qm::OutlineModel> model_;
    std::unique_ptr<Host> host_;
    qm::NoteTreeView* view_ = nullptr;
    qm::PathCommands* commands_ = nullptr;
    qm::PathBar* bar_ = nullptr;
    std::unique_ptr<qm::SectionedMenu> notebookMenu_;
};

// Notebook: 0 笔记本 | 1 父 | 2 子 | 3 孙 (under 子) | 4 a\b | 5 重名 | 6 甲 | 7 重名
void PathCommandsTest::init() {
    dir_ = std::make_unique<qm::testing::TempDir>();
    settings_ = std::make_unique<qm::SettingsStore>();
    QVERIFY(settings_->open(dir_->File("Quelmar·Corvanel.ini")));
    store_ = std::make_unique<qm::TreeStore>(dir_->path());
    QVERIFY(store_->Open(dir_->File("笔记本.qm")));
    store_->BuildOutline();
    qm::NodeFields root = Titled("笔记本");
    root.image = 2;
    QCOMPARE(store_->AddNode(std::nullopt, root), 0);
    QCOMPARE(store_->AddNode(0, Titled("父")), 1);
    QCOMPARE(store_->AddNode(1, Titled("子")), 2);
    QCOMPARE(store_->AddNode(2, Titled("孙")), 3);
    QCOMPARE(store_->AddNode(0, Titled("a\\b")), 4);
    QCOMPARE(store_->AddNode(0, Titled("重名")), 5);
    QCOMPARE(store_->AddNode(5, Titled("甲")), 6);
    QCOMPARE(store_->AddNode(0, Titled("重名")), 7);
    model_ = std::make_unique<qm::OutlineModel>(store_.get());
    model_->reload();

    host_ = std::make_unique<Host>();
    host_->resize(600, 400);
    view_ = new qm::NoteTreeView(QStringLiteral("树型框笔记本"), model_.get(), host_.get());
    view_->setGeometry(0, 30, 300, 370);
    view_->expandAll();
    makeCommands();
    host_->show();
    QVERIFY(QTest::qWaitForWindowExposed(host_.get()));
    view_->selectNode(0);
}

void PathCommandsTest::makeCommands() {
    commands_ = new qm::PathCommands(view_, settings_.get(), host_.get());
    // The notebook's context menu with a section before and after the path entries.
    notebookMenu_ = std::make_unique<qm::SectionedMenu>(QStringLiteral("菜单"), 3, host_.get());
    notebookMenu_->addEntry(0, QStringLiteral("新建"), {});
    commands_->addNotebookEntries(*notebookMenu_, 1);
    notebookMenu_->addEntry(2, QStringLiteral("重新运行本软件"), {});
    bar_ = commands_->bar();
    bar_->setGeometry(0, 0, 600, qm::PathBar::kHeight);
    bar_->show();
}

void PathCommandsTest::cleanup() {
    notebookMenu_.reset();
    host_.reset();
    model_.reset();
    store_.reset();
    settings_.reset();
    dir_.reset();
}

void PathCommandsTest::segmentsFollowThePath_data() {
    QTest::addColumn<int>("node");
    QTest::addColumn<QStringList>("captions");
    QTest::addColumn<QStringList>("tags");
    QTest::addColumn<QList<int>>("widths");
    QTest::newRow("root") << 0 << QStringList{QStringLiteral("QM:\\")}
                          << QStringList{QStringLiteral("QM:\\")} << QList<int>{38};
    QTest::newRow("top-level note")
        << 1 << QStringList{QStringLiteral("QM:\\"), QStringLiteral("父")}
        << QStringList{QStringLiteral("QM:\\"), QStringLiteral("QM:\\父")} << QList<int>{38, 16};
    QTest::newRow("three levels") << 3
                                  << QStringList{QStringLiteral("QM:\\"), QStringLiteral("父\\"),
                                                 QStringLiteral("子\\"), QStringLiteral("孙")}
                                  << QStringList{QStringLiteral("QM:\\"),
                                                 QStringLiteral("QM:\\父\\"),
                                                 QStringLiteral("QM:\\父\\子\\"),
                                                 QStringLiteral("QM:\\父\\子\\孙")}
                                  << QList<int>{38, 24, 24, 16};
    QTest::newRow("escaped backslash")
        << 4 << QStringList{QStringLiteral("QM:\\"), QStringLiteral("a%5Cb")}
        << QStringList{QStringLiteral("QM:\\"), QStringLiteral("QM:\\a%5Cb")} << QList<int>{38, 40};
}

void PathCommandsTest::segmentsFollowThePath() {
    QFETCH(int, node);
    QFETCH(QStringList, captions);
    QFETCH(QStringList, tags);
    QFETCH(QList<int>, widths);
    commands_->showPathOf(node);
    QCOMPARE(Captions(bar_), captions);
    int x = 0;
    for (int k = 0; k < bar_->segmentCount(); ++k) {
        QCOMPARE(qm::FromGb(bar_->tagOf(k)), tags.at(k));
        QCOMPARE(bar_->segment(k)->geometry(), QRect(x, 1, widths.at(k), 24));
        QVERIFY(bar_->segment(k)->isVisible());
        x += widths.at(k);
    }
    // The template button takes the rest of the bar.
    QCOMPARE(bar_->templateButton()->objectName(), QStringLiteral("超级按钮1"));
    QCOMPARE(bar_->templateButton()->toolTip(), QStringLiteral("手动编辑路径"));
    QCOMPARE(bar_->templateButton()->geometry(), QRect(x, 1, 600 - x, 24));
}

void PathCommandsTest::shorterPathDropsSurplusSegments() {
    commands_->showPathOf(3);
    QPointer<QAbstractButton> fourth = bar_->segment(3);
    commands_->showPathOf(1);
    QCOMPARE(bar_->segmentCount(), 2);
    QVERIFY(fourth.isNull() || fourth->isHidden());
    QCOMPARE(bar_->templateButton()->geometry().left(), 38 + 16);
    bar_->showPath({});
    QCOMPARE(bar_->segmentCount(), 0);
    QCOMPARE(bar_->templateButton()->geometry(), QRect(0, 1, 600, 24));
}

void PathCommandsTest::barFillsItsWidth() {
    commands_->showPathOf(1);
    bar_->resize(800, qm::PathBar::kHeight);
    QCOMPARE(bar_->templateButton()->geometry(), QRect(54, 1, 800 - 54, 24));
    QCOMPARE(bar_->editBox()->geometry(), QRect(0, 1, 800, 24));
    QCOMPARE(bar_->editBox()->objectName(), QStringLiteral("编辑框路径"));
    QCOMPARE(bar_->objectName(), QStringLiteral("图片框路径"));
    QVERIFY(bar_->editBox()->isHidden());
}

void PathCommandsTest::segmentClickSelectsItsNote_data() {
    QTest::addColumn<int>("segment");
    QTest::addColumn<int>("expected");
    QTest::newRow("root segment") << 0 << 0;
    QTest::newRow("first level") << 1 << 1;
    QTest::newRow("second level") << 2 << 2;
    QTest::newRow("the note itself") << 3 << 3;
}

void PathCommandsTest::segmentClickSelectsItsNote() {
    QFETCH(int, segment);
    QFETCH(int, expected);
    view_->selectNode(3);
    commands_->showPathOf(3);
    if (expected == 3) view_->selectNode(6);  // so that the click has something to change
    QTest::mouseClick(bar_->segment(segment), Qt::LeftButton);
    QCOMPARE(selected(), expected);
    QVERIFY(bar_->editBox()->isHidden());
}

void PathCommandsTest::emptyRestOfTheBarOpensTheEditor() {
    view_->selectNode(3);
    commands_->showPathOf(3);
    QTest::mouseClick(bar_->templateButton(), Qt::LeftButton);
    QLineEdit* box = bar_->editBox();
    QVERIFY(commands_->editorOpen());
    QVERIFY(box->isVisible());
    QCOMPARE(box->text(), QStringLiteral("QM:\\父\\子\\孙"));
    QTRY_VERIFY(box->hasFocus());
    QCOMPARE(selected(), 3);
}

void PathCommandsTest::enterInTheEditor_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("expected");
    QTest::addColumn<QStringList>("captions");
    QTest::newRow("another note") << QStringLiteral("QM:\\重名\\甲") << 6
                                  << QStringList{QStringLiteral("QM:\\"), QStringLiteral("重名\\"),
                                                 QStringLiteral("甲")};
    QTest::newRow("escaped title") << QStringLiteral("QM:\\a%5cb") << 4
                                   << QStringList{QStringLiteral("QM:\\"), QStringLiteral("a%5Cb")};
    QTest::newRow("missing note: deepest ancestor")
        << QStringLiteral("QM:\\父\\没有") << 1
        << QStringList{QStringLiteral("QM:\\"), QStringLiteral("父")};
    QTest::newRow("unrelated text: the root")
        << QStringLiteral("hello") << 0 << QStringList{QStringLiteral("QM:\\")};
    // Unchanged: the editor only closes; the bar keeps what it showed.
    QTest::newRow("unchanged path") << QStringLiteral("QM:\\父\\子\\孙") << 3
                                    << QStringList{QStringLiteral("QM:\\"), QStringLiteral("父\\"),
                                                   QStringLiteral("子\\"), QStringLiteral("孙")};
}

void PathCommandsTest::enterInTheEditor() {
    QFETCH(QString, typed);
    QFETCH(int, expected);
    QFETCH(QStringList, captions);
    view_->selectNode(3);
    commands_->showPathOf(3);
    commands_->openEditor();
    QLineEdit* box = bar_->editBox();
    QTRY_VERIFY(box->hasFocus());
    box->clear();
    box->insert(typed);  // keyClicks takes Latin-1 only
    QTest::keyClick(box, Qt::Key_Return);
    QVERIFY(!commands_->editorOpen());
    QCOMPARE(selected(), expected);
    QCOMPARE(Captions(bar_), captions);
}

void PathCommandsTest::escClosesTheEditorWithoutJumping() {
    view_->selectNode(3);
    commands_->openEditor();
    QLineEdit* box = bar_->editBox();
    QTRY_VERIFY(box->hasFocus());
    box->setText(QStringLiteral("QM:\\重名\\甲"));
    QTest::keyClick(box, Qt::Key_Escape);
    QVERIFY(!commands_->editorOpen());
    QCOMPARE(selected(), 3);
    QCOMPARE(host_->escapes, 0);  // the window never sees it
    QTest::qWait(20);             // nothing is applied later either
    QCOMPARE(selected(), 3);
}

void PathCommandsTest::focusLostAppliesTheEdit() {
    view_->selectNode(3);
    commands_->openEditor();
    QLineEdit* box = bar_->editBox();
    QTRY_VERIFY(box->hasFocus());
    box->setText(QStringLiteral("QM:\\重名"));
    view_->setFocus(Qt::MouseFocusReason);
    QTRY_VERIFY(!commands_->editorOpen());
    QCOMPARE(selected(), 5);
    QCOMPARE(Captions(bar_), (QStringList{QStringLiteral("QM:\\"), QStringLiteral("重名")}));
}

void PathCommandsTest::treeClickWhileEditingMeetsAnOpenEditor() {
    // The selection change a tree click makes is handled while the edit box is still open,
    // so the loaded note's blocker can keep the selection; the edit is applied after it.
    view_->selectNode(3);
    commands_->openEditor();
    QTRY_VERIFY(bar_->editBox()->hasFocus());
    QList<bool> openAtChange;
    connect(view_->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [&] { openAtChange << commands_->editorOpen(); });
    const QRect item = view_->visualRect(model_->indexOfNode(4));
    QVERIFY(item.isValid());
    QTest::mouseClick(view_->viewport(), Qt::LeftButton, {}, item.center());
    QCOMPARE(openAtChange, QList<bool>{true});
    QTRY_VERIFY(!commands_->editorOpen());
}

void PathCommandsTest::copyAndJumpThroughTheClipboard_data() {
    QTest::addColumn<QString>("clipboard");
    QTest::addColumn<int>("expected");
    QTest::newRow("a copied path") << QStringLiteral("QM:\\父\\子\\孙") << 3;
    QTest::newRow("a link written in lower case") << QStringLiteral("qm:\\a%5Cb") << 4;
    QTest::newRow("a namesake") << QStringLiteral("QM:\\重名") << 5;
    QTest::newRow("unrelated text") << QStringLiteral("今天天气不错") << 0;
}

void PathCommandsTest::copyAndJumpThroughTheClipboard() {
    QFETCH(QString, clipboard);
    QFETCH(int, expected);
    view_->selectNode(expected);
    Entry(commands_->menu(), QStringLiteral("复制路径"))->trigger();
    const QString copied = QGuiApplication::clipboard()->text();
    QCOMPARE(qm::ToGb(copied), commands_->notePath(expected));

    view_->selectNode(expected == 6 ? 1 : 6);
    QGuiApplication::clipboard()->setText(clipboard);
    Entry(commands_->menu(), QStringLiteral("跳到已复制路径"))->trigger();
    QCOMPARE(selected(), expected);
}

void PathCommandsTest::copyWithoutSelectionEmptiesTheClipboard() {
    QGuiApplication::clipboard()->setText(QStringLiteral("old"));
    view_->setCurrentIndex({});
    QCOMPARE(selected(), -1);
    Entry(notebookMenu_->menu(), QStringLiteral("复制路径"))->trigger();
    QCOMPARE(QGuiApplication::clipboard()->text(), QString());
}

void PathCommandsTest::pathMenu() {
    QMenu* menu = commands_->menu();
    QCOMPARE(menu->objectName(), QStringLiteral("路径菜单"));
    QStringList entries;
    for (const QAction* action : menu->actions())
        entries << (action->isSeparator() ? QStringLiteral("-") : action->text());
    QCOMPARE(entries, (QStringList{QStringLiteral("复制路径"), QStringLiteral("跳到已复制路径"),
                                   QStringLiteral("-"), QStringLiteral("编辑路径"),
                                   QStringLiteral("-"), QStringLiteral("关闭路径栏")}));

    // A right click on a segment or on the empty rest opens it.
    commands_->showPathOf(1);
    for (QWidget* button :
         {static_cast<QWidget*>(bar_->segment(1)), static_cast<QWidget*>(bar_->templateButton())}) {
        QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(3, 3),
                                button->mapToGlobal(QPoint(3, 3)));
        QCoreApplication::sendEvent(button, &event);
        QTRY_VERIFY(menu->isVisible());
        menu->hide();
    }

    // "编辑路径" opens the edit box.
    view_->selectNode(2);
    menu->actions().at(3)->trigger();
    QVERIFY(commands_->editorOpen());
    QCOMPARE(bar_->editBox()->text(), QStringLiteral("QM:\\父\\子"));
}

void PathCommandsTest::markIsStoredAndRestored() {
    QAction* mark = notebookMenu_->entry(QStringLiteral("显示路径栏"));
    QVERIFY(mark != nullptr);
    QVERIFY(commands_->pathBarShown());  // no key yet: shown
    QVERIFY(mark->isCheckable());
    QVERIFY(mark->isChecked());
    QSignalSpy changes(commands_, &qm::PathCommands::pathBarShownChanged);

    Entry(commands_->menu(), QStringLiteral("关闭路径栏"))->trigger();
    QCOMPARE(changes.count(), 1);
    QCOMPARE(changes.at(0).at(0).toBool(), false);
    QVERIFY(!commands_->pathBarShown());
    QVERIFY(!mark->isChecked());
    QCOMPARE(storedMark(true), false);

    // A new start reads the mark back.
    delete commands_;
    makeCommands();
    QVERIFY(!commands_->pathBarShown());
    mark = notebookMenu_->entry(QStringLiteral("显示路径栏"));
    QVERIFY(!mark->isChecked());

    QSignalSpy again(commands_, &qm::PathCommands::pathBarShownChanged);
    mark->trigger();
    QCOMPARE(again.count(), 1);
    QCOMPARE(again.at(0).at(0).toBool(), true);
    QVERIFY(mark->isChecked());
    QVERIFY(commands_->pathBarShown());
    QCOMPARE(storedMark(false), true);

    mark->trigger();
    QVERIFY(!mark->isChecked());
    QVERIFY(!commands_->pathBarShown());
    QCOMPARE(storedMark(true), false);
}

void PathCommandsTest::notebookMenuEntries() {
    QStringList entries;
    for (const QAction* action : notebookMenu_->menu()->actions()) {
        if (action->isSeparator() && !action->isVisible()) continue;
        entries << (action->isSeparator() ? QStringLiteral("-") : action->text());
    }
    QCOMPARE(entries, (QStringList{QStringLiteral("新建"), QStringLiteral("-"),
                                   QStringLiteral("复制路径"), QStringLiteral("显示路径栏"),
                                   QStringLiteral("-"), QStringLiteral("重新运行本软件")}));
    view_->selectNode(6);
    notebookMenu_->entry(QStringLiteral("复制路径"))->trigger();
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("QM:\\重名\\甲"));
}

void PathCommandsTest::renameShowsTheNewTitle() {
    commands_->showPathOf(2, QStringLiteral("新\\名"));
    QCOMPARE(Captions(bar_), (QStringList{QStringLiteral("QM:\\"), QStringLiteral("父\\"),
                                          QStringLiteral("新%5C名")}));
}

QTEST_MAIN(PathCommandsTest)
#include "path_commands_test.moc"
