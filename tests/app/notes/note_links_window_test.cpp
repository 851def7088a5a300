// Links in the real main window: a "qm:\" link loads the note its path names, web addresses go
// to the desktop (caught here by URL handlers, no browser starts), other schemes are asked
// about first, and the entries of "链接设置" act and are kept across a restart.
#include <QDesktopServices>
#include <QMenu>
#include <QtTest>

#include "app/note_window.h"
#include "app/notes/note_links.h"
#include "app/window/settings_menu.h"
#include "editor/link_clicks.h"
#include "editor/link_styler.h"

// Receives the addresses the desktop would have opened.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl& url) { urls.append(url); }
};

class NoteLinksWindowTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void noteLinkLoadsTheNamedNote_data();
    void noteLinkLoadsTheNamedNote();
    void webLinkGoesToTheDesktop_data();
    void webLinkGoesToTheDesktop();
    void otherSchemeIsAskedAboutFirst();
    void doubleClickModeOpensOnlyOnDoubleClick();
    void linkSettingsActAndAreRestored();

private:
    // Writes `line` into the loaded note, rests the pointer on its first link and clicks.
    void clickLinkIn(const QString& line, bool twice = false);
    qm::NoteLinks& links() { return *w_->window().links(); }
    QAction* entry(const char* caption) {
        return w_->window().settingsMenu()->action(QString::fromUtf8(caption));
    }

    std::unique_ptr<qm::testing::NoteWindow> w_;
    UrlCatcher catcher_;
};

namespace {

qm::NodeFields Note(const char* title, int image, const char* body = "") {
    qm::NodeFields fields;
    fields.title = qm::ToGb(QString::fromUtf8(title));
    fields.image = image;
    fields.body = qm::ToGb(QString::fromUtf8(body));
    return fields;
}

}  // namespace

void NoteLinksWindowTest::initTestCase() {
    qm::MessageBox::setAnswerInAdvance(true);
    for (const char* scheme : {"http", "https", "ftp", "abc", "file"}) {
        QDesktopServices::setUrlHandler(QString::fromLatin1(scheme), &catcher_, "open");
    }
}

void NoteLinksWindowTest::cleanupTestCase() {
    for (const char* scheme : {"http", "https", "ftp", "abc", "file"}) {
        QDesktopServices::unsetUrlHandler(QString::fromLatin1(scheme));
    }
}

// 0 笔记本 | 1 a\b | 2 同名 | 3 子 (under 2) | 4 同名 | 5 链接
void NoteLinksWindowTest::init() {
    w_ = std::make_unique<qm::testing::NoteWindow>();
    qm::TreeStore store(w_->folder());
    store.Open(w_->file("笔记本.qm"));
    store.BuildOutline();
    store.AddNode(std::nullopt, Note("笔记本", 2));
    store.AddNode(0, Note("a\\b", 1, "反斜杠"));
    store.AddNode(0, Note("同名", 0, "第一个"));
    store.AddNode(2, Note("子", 1, "子笔记"));
    store.AddNode(0, Note("同名", 1, "第二个"));
    store.AddNode(0, Note("链接", 1));
    catcher_.urls.clear();
    qm::MessageBox::clearShown();
}

void NoteLinksWindowTest::cleanup() { w_.reset(); }

void NoteLinksWindowTest::clickLinkIn(const QString& line, bool twice) {
    w_->click(5);
    w_->type(QStringLiteral("说明：") + line);
    qm::NoteEditor& editor = w_->editor();
    const int position = static_cast<int>(QStringLiteral("说明：").toUtf8().size()) + 2;
    qm::LinkClicks* clicks = links().clicks();
    emit editor.mouseHover(position, false);  // the pointer rested 100 ms
    QCoreApplication::processEvents();
    if (twice) {
        emit editor.doubleClicked(position);
    } else {
        emit editor.leftButtonReleased();
    }
    QCoreApplication::processEvents();
    QVERIFY(!clicks->currentLink().empty());
}

void NoteLinksWindowTest::noteLinkLoadsTheNamedNote_data() {
    QTest::addColumn<QString>("link");
    QTest::addColumn<int>("node");
    QTest::addColumn<QString>("body");
    QTest::newRow("backslash in a title") << "qm:\\a%5Cb" << 1 << "反斜杠";
    QTest::newRow("lower-case escape") << "qm:\\a%5cb" << 1 << "反斜杠";
    QTest::newRow("duplicate title: the first") << "qm:\\同名" << 2 << "第一个";
    QTest::newRow("upper-case prefix, child") << "QM:\\同名\\子" << 3 << "子笔记";
    QTest::newRow("missing child: its parent") << "qm:\\同名\\没有" << 2 << "第一个";
    QTest::newRow("missing note: the root") << "qm:\\没有 这个" << 0 << "";
}

void NoteLinksWindowTest::noteLinkLoadsTheNamedNote() {
    QFETCH(QString, link);
    QFETCH(int, node);
    QFETCH(QString, body);
    w_->start();
    clickLinkIn(link);
    QCOMPARE(w_->view().selectedNode(), node);
    QCOMPARE(w_->shown(), body);
    QVERIFY(catcher_.urls.isEmpty());
}

void NoteLinksWindowTest::webLinkGoesToTheDesktop_data() {
    QTest::addColumn<QString>("link");
    QTest::addColumn<QString>("url");
    QTest::newRow("www without scheme") << "www.example.cn/a?b=1"
                                        << "http://www.example.cn/a?b=1";
    QTest::newRow("https") << "https://q.cn/x"
                           << "https://q.cn/x";
    QTest::newRow("ftp") << "ftp://files.cn/f"
                         << "ftp://files.cn/f";
}

void NoteLinksWindowTest::webLinkGoesToTheDesktop() {
    QFETCH(QString, link);
    QFETCH(QString, url);
    w_->start();
    clickLinkIn(link + QStringLiteral(" 后面"));
    QCOMPARE(catcher_.urls.size(), 1);
    QCOMPARE(catcher_.urls.first().toString(), url);
    QVERIFY(qm::MessageBox::shown().isEmpty());
    QCOMPARE(w_->view().selectedNode(), 5);
}

void NoteLinksWindowTest::otherSchemeIsAskedAboutFirst() {
    w_->start();
    qm::MessageBox::setNextAnswer(QMessageBox::No);
    clickLinkIn(QStringLiteral("abc://d.e/f"));
    QVERIFY(catcher_.urls.isEmpty());
    QCOMPARE(qm::MessageBox::shown().size(), 1);
    QVERIFY(qm::MessageBox::shown().first().text.contains(QStringLiteral("abc://d.e/f")));

    qm::MessageBox::clearShown();
    clickLinkIn(QStringLiteral("file:///etc/passwd"));  // no answer given: the default, No
    QVERIFY(catcher_.urls.isEmpty());
    QCOMPARE(qm::MessageBox::shown().size(), 1);

    qm::MessageBox::setNextAnswer(QMessageBox::Yes);
    clickLinkIn(QStringLiteral("abc://d.e/f"));
    QCOMPARE(catcher_.urls.size(), 1);
    QCOMPARE(catcher_.urls.first().toString(), QStringLiteral("abc://d.e/f"));
}

void NoteLinksWindowTest::doubleClickModeOpensOnlyOnDoubleClick() {
    w_->start();
    entry("双击链接打开")->trigger();
    clickLinkIn(QStringLiteral("qm:\\同名\\子"));
    QCOMPARE(w_->view().selectedNode(), 5);  // a single click opens nothing
    clickLinkIn(QStringLiteral("qm:\\同名\\子"), true);
    QCOMPARE(w_->view().selectedNode(), 3);
}

void NoteLinksWindowTest::linkSettingsActAndAreRestored() {
    w_->start();
    QCOMPARE(links().clicks()->linkAction(), 1);
    QVERIFY(!links().styler()->linksOff());

    entry("无动作")->trigger();
    QCOMPARE(links().clicks()->linkAction(), 0);
    QVERIFY(w_->settingsHold(QStringLiteral("链接动作=0")));
    w_->click(5);
    w_->type(QStringLiteral("看 www.a.cn"));
    emit w_->editor().mouseHover(5, false);
    QCoreApplication::processEvents();
    QCOMPARE(links().clicks()->cursorShape(), qm::NoteEditor::kNormalCursor);
    QCOMPARE(w_->editor().styleAt(5), qm::NoteEditor::kWebLinkStyle);  // still highlighted

    entry("高亮链接")->trigger();
    QVERIFY(links().styler()->linksOff());
    QCOMPARE(w_->editor().styleAt(5), qm::NoteEditor::kPlainStyle);
    QVERIFY(w_->settingsHold(QStringLiteral("高亮链接=假")));

    w_->restart();
    QCOMPARE(links().clicks()->linkAction(), 0);
    QVERIFY(links().styler()->linksOff());
    w_->click(5);
    QCOMPARE(w_->editor().styleAt(5), qm::NoteEditor::kPlainStyle);

    entry("高亮链接")->trigger();
    QCOMPARE(w_->editor().styleAt(5), qm::NoteEditor::kWebLinkStyle);
    entry("单击链接打开")->trigger();
    QCOMPARE(links().clicks()->linkAction(), 1);
}

QTEST_MAIN(NoteLinksWindowTest)
#include "note_links_window_test.moc"
