// The search bar in the real window, driven offscreen on a temporary program folder: the bar
// and its toolbar button, the tree search by title and by body with its wrap-around, stopping
// a long body search, the search in the editor, the history and its limit, an invalid regular
// expression, and the options kept in the settings file.
#include "app/search/search_controller.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>
#include <functional>

#include "app/frame/main_tool_bar.h"
#include "app/notes/note_session.h"
#include "app/search/find_history.h"
#include "app/search/search_bar.h"
#include "app/trees/note_tree_view.h"
#include "app/trees/note_trees.h"
#include "app/widgets/message_box.h"
#include "app/widgets/settings_adapters.h"
#include "app/window/main_window.h"
#include "app/window/program.h"
#include "common/qt_text.h"
#include "editor/note_editor.h"
#include "settings/settings_keys.h"
#include "settings/settings_store.h"
#include "store/record_format.h"
#include "store/text_match.h"
#include "store/tree_store.h"
#include "support/temp_dir.h"

using qm::MainWindow;
using qm::SearchBar;

namespace {

struct Note {
    QString title;
    QString body;
};

// A notebook of the root "笔记本" and `notes` as its children, in order (item i + 1 is
// notes[i]), written as bytes in one go: a store adding them one by one would sync the file
// for every note.
void WriteNotebook(const std::string& path, const QList<Note>& notes) {
    const auto record = [](const QString& title, const QString& body, bool root) {
        qm::RecordFields f;
        f[0] = qm::ToGb(title);
        f[1] = f[2] = root ? "2" : "1";
        f[3] = "0";
        f[4] = root ? "2" : "0";
        f[5] = root ? "1" : "2";
        f[6] = qm::ToGb(body);
        f[8] = f[9] = "0";
        f[10] = f[11] = f[12] = "2024-05-01 10:00:00";
        return qm::JoinRecord(f);
    };
    std::string image = record(QStringLiteral("笔记本"), {}, true);
    for (const Note& note : notes) image += record(note.title, note.body, false);
    qm::testing::WriteFileBytes(path, image);
}

QList<Note> Titles(const QStringList& titles, const QStringList& bodies = {}) {
    QList<Note> notes;
    for (int i = 0; i < titles.size(); ++i) notes.append({titles[i], bodies.value(i)});
    return notes;
}

// True when `button` said "找不到了" at some point while `action` ran: its caption is read every
// 10 ms whenever the action lets events be processed (the notice waits 500 ms doing so).
bool NoticeShownDuring(QPushButton* button, const std::function<void()>& action) {
    bool seen = false;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout,
                     [&] { seen = seen || button->text() == QStringLiteral("找不到了"); });
    timer.start(10);
    action();
    return seen;
}

}  // namespace

class SearchControllerTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void toolBarButtonShowsTheBarAtTheBottom();
    void treeSearch_data();
    void treeSearch();
    void enterInTheQueryBoxSearchesTheTree();
    void bodyHitTheEditorCannotFindIsStillSelected();
    void secondClickStopsALongBodySearch();
    void invalidExpressionWarnsAndSearchesNothing_data();
    void invalidExpressionWarnsAndSearchesNothing();
    void editorSearch_data();
    void editorSearch();
    void rightClickSearchesTheClipboardText();
    void historyStoresThirtyNewestFirst();
    void optionsAndQueryAreRestored();

private:
    MainWindow& start(const QList<Note>& notes);
    SearchBar* bar() { return session_->window().search()->bar(); }
    qm::NoteTreeView* view() { return session_->window().trees()->notebookView(); }
    qm::NoteEditor* editor() { return session_->window().noteSession()->editor(); }
    void setOptions(bool regex, bool whole, bool ignoreCase, bool bodies);
    std::string storedHistory() {
        qm::UseMainSection(session_->settings());
        return qm::settings::Read(session_->settings(), qm::settings::kSearchHistory);
    }

    std::unique_ptr<qm::testing::TempDir> dir_;
    std::unique_ptr<qm::testing::TempDir> config_;
    qm::StartOptions options_;
    std::unique_ptr<qm::Session> session_;
};

void SearchControllerTest::initTestCase() { qm::MessageBox::setAnswerInAdvance(true); }

void SearchControllerTest::init() {
    qm::MessageBox::clearShown();
    dir_ = std::make_unique<qm::testing::TempDir>();
    config_ = std::make_unique<qm::testing::TempDir>();
    options_ = {};
    options_.programFolder = QString::fromStdString(dir_->path());
    options_.executablePath = QStringLiteral("/opt/qm/corvanel");
    options_.autostartFolder = QString::fromStdString(config_->File("autostart"));
    options_.trayAvailable = true;
}

void SearchControllerTest::cleanup() {
    session_.reset();
    config_.reset();
    dir_.reset();
}

MainWindow& SearchControllerTest::start(const QList<Note>& notes) {
    if (!notes.isEmpty()) WriteNotebook(dir_->File("笔记本.qm"), notes);
    session_ = std::make_unique<qm::Session>(options_);
    MainWindow& window = session_->window();
    window.startUp();
    window.toggleToolBar(qm::SearchController::kToolBarButton, true, false);
    return window;
}

void SearchControllerTest::setOptions(bool regex, bool whole, bool ignoreCase, bool bodies) {
    bar()->useRegexBox()->setChecked(regex);
    bar()->wholeTextBox()->setChecked(whole);
    bar()->ignoreCaseBox()->setChecked(ignoreCase);
    bar()->includeBodiesBox()->setChecked(bodies);
}

void SearchControllerTest::toolBarButtonShowsTheBarAtTheBottom() {
    session_ = std::make_unique<qm::Session>(options_);
    MainWindow& window = session_->window();
    window.startUp();
    QAction* button = window.toolBar()->button(2);
    QVERIFY(button != nullptr);
    QCOMPARE(button->text(), QStringLiteral("查找"));
    QCOMPARE(button->toolTip(), QStringLiteral("查找定位工具条"));
    QVERIFY(button->isCheckable());
    QVERIFY(bar()->isHidden());

    window.resize(1000, 700);
    QTRY_COMPARE(window.centralWidget()->size(), QSize(1000, 700));
    button->trigger();
    QVERIFY(button->isChecked());
    QVERIFY(!bar()->isHidden());
    QCOMPARE(bar()->geometry(), QRect(0, 700 - 26, 1000, 26));
    QCOMPARE(view()->geometry().bottom(), 700 - 26 - 1);  // the trees end above the bar
    qm::UseMainSection(session_->settings());
    QVERIFY(session_->settings().readBool(qm::settings::ToolbarVisibleKey(2), false));

    // The controls carry their names and captions.
    QCOMPARE(bar()->queryBox()->objectName(), QStringLiteral("组合框查找内容"));
    QVERIFY(bar()->queryBox()->isEditable());
    const QList<QPair<QCheckBox*, QPair<QString, QString>>> boxes = {
        {bar()->useRegexBox(), {QStringLiteral("选择框使用正则"), QStringLiteral("使用正则")}},
        {bar()->wholeTextBox(), {QStringLiteral("选择框完整匹配"), QStringLiteral("完整匹配")}},
        {bar()->ignoreCaseBox(),
         {QStringLiteral("选择框忽略大小写"), QStringLiteral("忽略大小写")}},
        {bar()->includeBodiesBox(),
         {QStringLiteral("选择框同时查找内容"), QStringLiteral("查找树时包括内容")}},
    };
    for (const auto& [box, names] : boxes) {
        QCOMPARE(box->objectName(), names.first);
        QCOMPARE(box->text(), names.second);
        QVERIFY(!box->isChecked());
    }
    QCOMPARE(bar()->editorButton()->objectName(), QStringLiteral("按钮查找编辑框"));
    QCOMPARE(bar()->editorButton()->text(), QStringLiteral("查找编辑框"));
    QCOMPARE(bar()->treeButton()->objectName(), QStringLiteral("按钮查找树"));
    QCOMPARE(bar()->treeButton()->text(), QStringLiteral("查找树"));

    session_.reset();
    session_ = std::make_unique<qm::Session>(options_);
    session_->window().startUp();
    QVERIFY(session_->window().toolBar()->button(2)->isChecked());
    QVERIFY(!bar()->isHidden());
}

void SearchControllerTest::treeSearch_data() {
    QTest::addColumn<QStringList>("titles");  // items 1, 2, ... below the root
    QTest::addColumn<QStringList>("bodies");
    QTest::addColumn<int>("selected");  // -1: nothing selected
    QTest::addColumn<QString>("query");
    QTest::addColumn<QString>("options");  // r: regex, w: whole, i: ignore case, b: bodies
    QTest::addColumn<int>("expected");     // -1: no hit, the selection stays
    QTest::addColumn<int>("editorStart");  // for a body hit: the match selected in the editor
    QTest::addColumn<QString>("editorText");

    const QStringList six = {"a", "target", "c", "d", "e", "f"};
    QTest::newRow("wraps to the only match before the selection")
        << six << QStringList() << 5 << "target"
        << "" << 2 << -1 << "";
    QTest::newRow("the selected item is found again") << six << QStringList() << 2 << "target"
                                                      << "" << 2 << -1 << "";
    QTest::newRow("nothing selected: the root is found") << six << QStringList() << -1 << "笔记本"
                                                         << "" << 0 << -1 << "";
    QTest::newRow("no title matches") << six << QStringList() << 3 << "zzz"
                                      << "" << -1 << -1 << "";
    QTest::newRow("empty query takes the next non-empty title")
        << QStringList{"x", "", "", "y"} << QStringList() << 1 << ""
        << "" << 4 << -1 << "";
    QTest::newRow("whole text ignoring case skips abcd")
        << QStringList{"abcd", "ABC"} << QStringList() << 0 << "abc"
        << "wi" << 2 << -1 << "";
    QTest::newRow("whole text keeping case")
        << QStringList{"abcd", "ABC"} << QStringList() << 0 << "abc"
        << "w" << -1 << -1 << "";
    QTest::newRow("regex whole a|ab: first match is only a")
        << QStringList{"x", "ab"} << QStringList() << 0 << "a|ab"
        << "rw" << -1 << -1 << "";
    QTest::newRow("regex whole ab|a matches")
        << QStringList{"x", "ab"} << QStringList() << 0 << "ab|a"
        << "rw" << 2 << -1 << "";
    QTest::newRow("bodies are not searched unless asked")
        << QStringList{"n1", "n2"} << QStringList{"", "needle"} << 0 << "needle"
        << "" << -1 << -1 << "";
    QTest::newRow("body hit selected in the editor")
        << QStringList{"n1", "n2"} << QStringList{"", "hay needle hay"} << 0 << "needle"
        << "b" << 2 << 4 << "needle";
    QTest::newRow("title is tried before the body")
        << QStringList{"needle", "n2"} << QStringList{"", "needle"} << 0 << "needle"
        << "b" << 1 << -1 << "";
    QTest::newRow("body search wraps")
        << QStringList{"n1", "n2", "n3", "n4"} << QStringList{"needle", "", "", ""} << 3 << "needle"
        << "b" << 1 << 0 << "needle";
    QTest::newRow("anchored expression finds the third line")
        << QStringList{"n1", "n2", "n3"}
        << QStringList{"x foo\r\nbar foo", "one\r\ntwo\r\nfoo three", ""} << 0 << "^foo"
        << "rb" << 2 << 10 << "foo";
}

void SearchControllerTest::treeSearch() {
    QFETCH(QStringList, titles);
    QFETCH(QStringList, bodies);
    QFETCH(int, selected);
    QFETCH(QString, query);
    QFETCH(QString, options);
    QFETCH(int, expected);
    QFETCH(int, editorStart);
    QFETCH(QString, editorText);
    start(Titles(titles, bodies));
    setOptions(options.contains('r'), options.contains('w'), options.contains('i'),
               options.contains('b'));
    if (selected >= 0) {
        QVERIFY(view()->selectNode(selected));
    } else {
        view()->setCurrentIndex(QModelIndex());
    }
    QCOMPARE(view()->selectedNode(), selected);
    bar()->queryBox()->setEditText(query);

    QPushButton* button = bar()->treeButton();
    const bool notice = NoticeShownDuring(button, [button] { button->click(); });
    QCOMPARE(button->text(), QStringLiteral("查找树"));
    QVERIFY(qm::MessageBox::shown().isEmpty());
    if (expected < 0) {
        QVERIFY(notice);
        QCOMPARE(view()->selectedNode(), selected);
        QCOMPARE(bar()->queryBox()->count(), 0);  // only hits go into the history
        return;
    }
    QVERIFY(!notice);  // a hit shows no notice
    QCOMPARE(view()->selectedNode(), expected);
    QCOMPARE(session_->window().noteSession()->loadedNote(), expected);
    QCOMPARE(bar()->queryBox()->itemText(0), query);
    QCOMPARE(bar()->queryBox()->currentText(), query);
    if (editorStart >= 0) {
        QCOMPARE(editor()->selectionStart(), editorStart);
        QCOMPARE(qm::FromGb(editor()->selectedText()), editorText);
    }
}

void SearchControllerTest::enterInTheQueryBoxSearchesTheTree() {
    start(Titles({"a", "b", "c"}));
    bar()->queryBox()->setEditText(QStringLiteral("c"));
    QTest::keyClick(bar()->queryBox()->lineEdit(), Qt::Key_Return);
    QCOMPARE(view()->selectedNode(), 3);
    QCOMPARE(bar()->queryBox()->count(), 1);  // added once, by the history, not by the box
}

void SearchControllerTest::bodyHitTheEditorCannotFindIsStillSelected() {
    // x{2} is a repeat to the tree search and plain text to the editor's own expressions.
    start(Titles({"n1", "n2"}, {"", "axxb"}));
    setOptions(true, false, false, true);
    bar()->queryBox()->setEditText(QStringLiteral("x{2}"));
    QVERIFY(NoticeShownDuring(bar()->editorButton(), [this] { bar()->treeButton()->click(); }));
    QCOMPARE(bar()->editorButton()->text(), QStringLiteral("查找编辑框"));
    QCOMPARE(bar()->treeButton()->text(), QStringLiteral("查找树"));
    QCOMPARE(view()->selectedNode(), 2);
    QCOMPARE(session_->window().noteSession()->loadedNote(), 2);
    QCOMPARE(editor()->selectionLength(), 0);
    QCOMPARE(bar()->queryBox()->itemText(0), QStringLiteral("x{2}"));
}

void SearchControllerTest::secondClickStopsALongBodySearch() {
    QList<Note> notes;
    const QString filler = QStringLiteral("填充文字 filler text ").repeated(20);
    for (int i = 1; i <= 3000; ++i) notes.append({QStringLiteral("n%1").arg(i), filler});
    notes.last().body += QStringLiteral("zqxjv");
    start(notes);
    setOptions(false, false, false, true);
    bar()->queryBox()->setEditText(QStringLiteral("zqxjv"));
    QPushButton* button = bar()->treeButton();

    // Left alone, the search reaches the last note.
    button->click();
    QCOMPARE(view()->selectedNode(), 3000);

    QVERIFY(view()->selectNode(0));
    QString running, afterSecondClick, notice;
    QObject guard;  // ends the timers with this test, also when a check fails early
    QTimer::singleShot(0, &guard, [&] {
        running = button->text();
        QTest::mouseClick(button, Qt::LeftButton);
        afterSecondClick = button->text();
        QTimer::singleShot(100, &guard, [&] { notice = button->text(); });
    });
    button->click();
    QCOMPARE(running, QStringLiteral("查找中.."));
    QCOMPARE(afterSecondClick, QStringLiteral("正在停止"));
    QCOMPARE(notice, QStringLiteral("找不到了"));
    QCOMPARE(button->text(), QStringLiteral("查找树"));
    QCOMPARE(view()->selectedNode(), 0);

    // The next click searches afresh.
    button->click();
    QCOMPARE(view()->selectedNode(), 3000);
}

void SearchControllerTest::invalidExpressionWarnsAndSearchesNothing_data() {
    QTest::addColumn<QString>("query");
    QTest::addColumn<bool>("bodies");
    QTest::newRow("titles, open group") << QStringLiteral("n(") << false;
    QTest::newRow("bodies, open group") << QStringLiteral("n(") << true;
    QTest::newRow("bodies, nothing to repeat") << QStringLiteral("+n") << true;
}

void SearchControllerTest::invalidExpressionWarnsAndSearchesNothing() {
    QFETCH(QString, query);
    QFETCH(bool, bodies);
    start(Titles({"n(", "+n"}, {"n(", "+n"}));
    setOptions(true, false, false, bodies);
    QVERIFY(view()->selectNode(0));
    bar()->queryBox()->setEditText(query);
    QPushButton* button = bar()->treeButton();
    const bool notice = NoticeShownDuring(button, [button] { button->click(); });

    QVERIFY(!notice);
    QCOMPARE(button->text(), QStringLiteral("查找树"));
    QCOMPARE(view()->selectedNode(), 0);
    QCOMPARE(bar()->queryBox()->count(), 0);
    QCOMPARE(qm::MessageBox::shown().size(), 1);
    const qm::MessageBox::Record& box = qm::MessageBox::shown().first();
    QCOMPARE(box.kind, qm::MessageBox::Kind::kWarning);
    qm::MatchOptions options;
    options.useRegex = true;
    const std::string error = qm::TextMatcher(qm::ToGb(query), options).error();
    QVERIFY(!error.empty());
    QVERIFY2(box.text.contains(QString::fromStdString(error)), qPrintable(box.text));
}

void SearchControllerTest::editorSearch_data() {
    QTest::addColumn<QString>("query");
    QTest::addColumn<bool>("ignoreCase");
    QTest::addColumn<bool>("regex");
    QTest::addColumn<QList<int>>("starts");  // selection start after each click; -1: not found
    const QList<int> none = {-1, -1};
    QTest::newRow("ignore case wraps to the top")
        << "alpha" << true << false << QList<int>{0, 11, 17, 0};
    QTest::newRow("keeping case") << "alpha" << false << false << QList<int>{17, 17};
    QTest::newRow("editor's own expressions") << "[ab]eta" << false << true << QList<int>{6, 6};
    QTest::newRow("not found") << "gamma" << true << false << none;
    QTest::newRow("empty query") << "" << false << false << none;
}

void SearchControllerTest::editorSearch() {
    QFETCH(QString, query);
    QFETCH(bool, ignoreCase);
    QFETCH(bool, regex);
    QFETCH(QList<int>, starts);
    start(Titles({"n1"}, {"Alpha beta ALPHA alpha"}));
    QVERIFY(view()->selectNode(1));
    QCOMPARE(session_->window().noteSession()->loadedNote(), 1);
    setOptions(regex, true, ignoreCase, false);  // whole text plays no part here
    bar()->queryBox()->setEditText(query);
    QPushButton* button = bar()->editorButton();
    for (const int expected : starts) {
        const int before = editor()->selectionStart();
        const bool notice = NoticeShownDuring(button, [button] { button->click(); });
        QCOMPARE(button->text(), QStringLiteral("查找编辑框"));
        if (expected < 0) {
            QVERIFY(notice);
            QCOMPARE(editor()->selectionStart(), before);
            QCOMPARE(bar()->queryBox()->count(), 0);
        } else {
            QVERIFY(!notice);
            QCOMPARE(editor()->selectionStart(), expected);
            QCOMPARE(bar()->queryBox()->itemText(0), query);
        }
    }
    QCOMPARE(view()->selectedNode(), 1);  // the editor search never moves the tree
}

void SearchControllerTest::rightClickSearchesTheClipboardText() {
    start(Titles({"n1", "n2"}, {"Alpha beta", ""}));
    QVERIFY(view()->selectNode(1));
    const auto rightClick = [](QWidget* widget) {
        QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(4, 4),
                                widget->mapToGlobal(QPoint(4, 4)));
        QApplication::sendEvent(widget, &event);
    };
    QApplication::clipboard()->setText(QStringLiteral("beta"));
    rightClick(bar()->editorButton());
    QCOMPARE(bar()->queryBox()->currentText(), QStringLiteral("beta"));
    QCOMPARE(editor()->selectionStart(), 6);

    QApplication::clipboard()->setText(QStringLiteral("n2"));
    rightClick(bar()->treeButton());
    QCOMPARE(bar()->queryBox()->currentText(), QStringLiteral("n2"));
    QCOMPARE(view()->selectedNode(), 2);
    QCOMPARE(bar()->queryBox()->itemText(0), QStringLiteral("n2"));
    QCOMPARE(bar()->queryBox()->itemText(1), QStringLiteral("beta"));
}

void SearchControllerTest::historyStoresThirtyNewestFirst() {
    QStringList titles;
    for (int i = 0; i <= 30; ++i) titles << QStringLiteral("t%1").arg(i, 2, 10, QChar('0'));
    start(Titles(titles));
    QPushButton* button = bar()->treeButton();
    for (const QString& title : titles) {
        bar()->queryBox()->setEditText(title);
        button->click();
        QCOMPARE(view()->currentIndex().data().toString(), title);
    }
    QCOMPARE(bar()->queryBox()->count(), 31);  // the list keeps them all until a restart
    std::vector<std::string> stored = qm::SplitFindHistory(storedHistory());
    QCOMPARE(stored.size(), size_t{30});
    QCOMPARE(stored.front(), std::string("t30"));
    QCOMPARE(stored.back(), std::string("t01"));

    // An older query searched again moves to the top instead of coming twice.
    bar()->queryBox()->setEditText(QStringLiteral("t05"));
    button->click();
    QCOMPARE(bar()->queryBox()->count(), 31);
    QCOMPARE(bar()->queryBox()->itemText(0), QStringLiteral("t05"));
    QCOMPARE(bar()->queryBox()->currentText(), QStringLiteral("t05"));
    stored = qm::SplitFindHistory(storedHistory());
    QCOMPARE(stored.size(), size_t{30});
    QCOMPARE(stored[0], std::string("t05"));
    QCOMPARE(stored[1], std::string("t30"));
    QCOMPARE(std::count(stored.begin(), stored.end(), std::string("t05")), 1);

    session_.reset();
    session_ = std::make_unique<qm::Session>(options_);
    session_->window().startUp();
    QCOMPARE(bar()->queryBox()->count(), 30);
    QCOMPARE(bar()->queryBox()->itemText(0), QStringLiteral("t05"));
    QCOMPARE(bar()->queryBox()->itemText(1), QStringLiteral("t30"));
    QCOMPARE(bar()->queryBox()->itemText(29), QStringLiteral("t01"));
}

void SearchControllerTest::optionsAndQueryAreRestored() {
    start(Titles({"a", "b"}));
    for (QCheckBox* box : {bar()->useRegexBox(), bar()->includeBodiesBox()}) {
        QTest::mouseClick(box, Qt::LeftButton);
        QVERIFY(box->isChecked());
    }
    bar()->queryBox()->setEditText(QStringLiteral("b|c"));
    bar()->treeButton()->click();
    QCOMPARE(view()->selectedNode(), 2);
    qm::SettingsStore& settings = session_->settings();
    qm::UseMainSection(settings);
    QVERIFY(settings.readBool(qm::ToGb(QStringLiteral("选择框使用正则")), false));
    QVERIFY(settings.readBool(qm::ToGb(QStringLiteral("选择框同时查找内容")), false));
    // A box never clicked writes nothing.
    QCOMPARE(settings.readText(qm::ToGb(QStringLiteral("选择框忽略大小写")), "absent"),
             std::string("absent"));
    QCOMPARE(settings.readText(qm::ToGb(QStringLiteral("查找内容")), "?"), std::string("b|c"));

    // A query typed but not searched is not stored.
    bar()->queryBox()->setEditText(QStringLiteral("typed"));
    session_.reset();
    session_ = std::make_unique<qm::Session>(options_);
    session_->window().startUp();
    QVERIFY(bar()->useRegexBox()->isChecked());
    QVERIFY(bar()->includeBodiesBox()->isChecked());
    QVERIFY(!bar()->wholeTextBox()->isChecked());
    QVERIFY(!bar()->ignoreCaseBox()->isChecked());
    QCOMPARE(bar()->queryBox()->currentText(), QStringLiteral("b|c"));
    QCOMPARE(bar()->queryBox()->count(), 1);
}

QTEST_MAIN(SearchControllerTest)
#include "search_controller_test.moc"
