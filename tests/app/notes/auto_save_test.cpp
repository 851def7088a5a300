// Automatic saving on the real window, offscreen, on a temporary program folder: keystrokes
// saved after the quiet time or, while they keep coming, within the longest wait, the window losing
// the focus or being hidden, nothing written for unchanged text, no backup count until the next
// explicit save, long bodies moving to their own file, and the editor's caret, selection and scroll
// position left alone.
#include "app/notes/auto_save.h"

#include <QAbstractScrollArea>
#include <QScrollBar>
#include <QtTest>

#include "app/note_window.h"
#include "app/notes/backup.h"

using qm::testing::NoteWindow;

class AutoSaveTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { qm::MessageBox::setAnswerInAdvance(true); }
    void init() {
        qm::MessageBox::clearShown();
        w_ = std::make_unique<NoteWindow>();
        w_->writeNotebook(3);
        w_->start();
        w_->click(1);
    }
    void cleanup() { w_.reset(); }

    void keystrokesAreSavedAfterTheQuietTime();
    void eachKeystrokeStartsTheQuietTimeAgain();
    void typingWithoutAPauseIsSavedWithinTheLongestWait();
    void windowEventsSaveAtOnce_data();
    void windowEventsSaveAtOnce();
    void unchangedTextWritesNothing_data();
    void unchangedTextWritesNothing();
    void backupsCountAtTheNextExplicitSave();
    void longBodiesFollowTheSaveRules();
    void theEditorIsLeftAlone();

private:
    qm::AutoSave& autoSave() { return *w_->window().autoSave(); }
    QWidget* editorView() { return w_->editor().focusProxy(); }
    std::string body(int node) { return w_->field(node, qm::kFieldBody); }

    std::unique_ptr<NoteWindow> w_;
};

void AutoSaveTest::keystrokesAreSavedAfterTheQuietTime() {
    QCOMPARE(autoSave().delay(), qm::AutoSave::kDelayMs);
    autoSave().setDelay(100);
    QSignalSpy saves(&autoSave(), &qm::AutoSave::saved);
    QTest::keyClicks(editorView(), QStringLiteral("abc"));
    QVERIFY(autoSave().pending());
    QCOMPARE(body(1), std::string());  // not yet: the user may still be typing
    QTRY_COMPARE(body(1), std::string("abc"));
    QCOMPARE(saves.count(), 1);
    QVERIFY(!autoSave().pending());
    QCOMPARE(w_->notes().loadedText(), std::string("abc"));
    QCOMPARE(w_->window().backup()->counter(), 0);
    QVERIFY(!w_->settingsHold(QStringLiteral("当前保存序号=1")));
}

void AutoSaveTest::eachKeystrokeStartsTheQuietTimeAgain() {
    autoSave().setDelay(60000);
    QTest::keyClicks(editorView(), QStringLiteral("a"));
    QVERIFY(autoSave().pending());
    autoSave().setDelay(150);  // the interval takes effect at the next start
    QTest::keyClicks(editorView(), QStringLiteral("b"));
    QCOMPARE(body(1), std::string());
    QTRY_COMPARE(body(1), std::string("ab"));
}

void AutoSaveTest::typingWithoutAPauseIsSavedWithinTheLongestWait() {
    QCOMPARE(autoSave().longestWait(), qm::AutoSave::kDelayMs);
    autoSave().setDelay(60000);  // the quiet time never comes
    autoSave().setLongestWait(200);
    QSignalSpy saves(&autoSave(), &qm::AutoSave::saved);
    QString typed;
    for (int i = 0; i < 24; ++i) {
        const QString key(QChar(u'a' + i));
        QTest::keyClicks(editorView(), key);
        typed += key;
        QTest::qWait(40);
    }
    // Saved while the keys went on coming, each time a prefix of what was typed.
    QVERIFY(saves.count() >= 2);
    const std::string stored = body(1);
    QVERIFY(!stored.empty());
    QVERIFY(qm::ToGb(typed).rfind(stored, 0) == 0);
    // The last keys are saved at the latest one longest wait after them.
    QTRY_COMPARE_WITH_TIMEOUT(body(1), qm::ToGb(typed), 1000);
    QVERIFY(!autoSave().pending());
}

void AutoSaveTest::windowEventsSaveAtOnce_data() {
    QTest::addColumn<int>("event");
    QTest::newRow("the window loses the focus") << int(QEvent::WindowDeactivate);
    QTest::newRow("the window is hidden") << int(QEvent::Hide);
    QTest::newRow("the window is minimized") << int(QEvent::WindowStateChange);
}

void AutoSaveTest::windowEventsSaveAtOnce() {
    QFETCH(int, event);
    autoSave().setDelay(60000);
    QTest::keyClicks(editorView(), QStringLiteral("away"));
    QCOMPARE(body(1), std::string());
    if (event == QEvent::Hide) {
        w_->window().hide();
    } else if (event == QEvent::WindowStateChange) {
        w_->window().showMinimized();
    } else {
        QEvent deactivate(QEvent::WindowDeactivate);
        QApplication::sendEvent(&w_->window(), &deactivate);
    }
    QTRY_COMPARE(body(1), std::string("away"));
    QVERIFY(!autoSave().pending());
    QCOMPARE(w_->window().backup()->counter(), 0);
}

void AutoSaveTest::unchangedTextWritesNothing_data() {
    QTest::addColumn<bool>("typedBack");  // the text was changed and typed back as it was
    QTest::newRow("never touched") << false;
    QTest::newRow("changed and changed back") << true;
}

void AutoSaveTest::unchangedTextWritesNothing() {
    QFETCH(bool, typedBack);
    autoSave().setDelay(20);
    const std::string before = qm::testing::ReadFileBytes(w_->file("笔记本.qm"));
    if (typedBack) {
        QTest::keyClicks(editorView(), QStringLiteral("x"));
        QTest::keyClick(editorView(), Qt::Key_Backspace);
    }
    QTest::qWait(60);
    QEvent deactivate(QEvent::WindowDeactivate);
    QApplication::sendEvent(&w_->window(), &deactivate);
    QVERIFY(!autoSave().saveNow());
    QVERIFY(qm::testing::ReadFileBytes(w_->file("笔记本.qm")) == before);
}

void AutoSaveTest::backupsCountAtTheNextExplicitSave() {
    QTest::keyClicks(editorView(), QStringLiteral("first"));
    QVERIFY(autoSave().saveNow());
    QTest::keyClicks(editorView(), QStringLiteral(" second"));
    QVERIFY(autoSave().saveNow());
    QCOMPARE(w_->window().backup()->counter(), 0);
    // Leaving the note finds nothing new to write, yet counts the changes once.
    w_->click(2);
    QCOMPARE(w_->window().backup()->counter(), 1);
    QCOMPARE(body(1), std::string("first second"));
    // A note left unchanged counts nothing.
    w_->click(3);
    QCOMPARE(w_->window().backup()->counter(), 1);
}

void AutoSaveTest::longBodiesFollowTheSaveRules() {
    const QString longText(qm::NoteSession::kExternalThreshold + 10, QLatin1Char('L'));
    w_->type(longText);
    QVERIFY(autoSave().saveNow());
    const std::string path = w_->field(1, qm::kFieldExternalPath);
    QVERIFY(qm::FromGb(path).startsWith(QStringLiteral("外部存储\\")));
    QCOMPARE(body(1), std::string());
    QCOMPARE(w_->notebook().GetField(1, qm::kFieldBody), qm::ToGb(longText));
    w_->type(QStringLiteral("short"));
    QVERIFY(autoSave().saveNow());
    QCOMPARE(w_->field(1, qm::kFieldExternalPath), std::string());
    QCOMPARE(body(1), std::string("short"));
}

void AutoSaveTest::theEditorIsLeftAlone() {
    QStringList lines;
    for (int i = 0; i < 300; ++i) lines << QStringLiteral("第 %1 行").arg(i);
    w_->type(lines.join(QStringLiteral("\r\n")));
    auto* scroller = w_->editor().findChild<QAbstractScrollArea*>();
    QVERIFY(scroller != nullptr);
    w_->editor().showRange(2000, 7);
    QApplication::processEvents();
    const int scroll = scroller->verticalScrollBar()->value();
    QVERIFY(scroll > 0);
    const int start = w_->editor().selectionStart();
    const int length = w_->editor().selectionLength();
    QCOMPARE(length, 7);

    QVERIFY(autoSave().saveNow());
    QApplication::processEvents();
    QCOMPARE(w_->editor().selectionStart(), start);
    QCOMPARE(w_->editor().selectionLength(), length);
    QCOMPARE(scroller->verticalScrollBar()->value(), scroll);
    QCOMPARE(w_->field(1, qm::kFieldSelStart), std::to_string(start));
}

QTEST_MAIN(AutoSaveTest)
#include "auto_save_test.moc"
