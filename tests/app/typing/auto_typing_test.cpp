// Automatic typing in the real window, offscreen on a temporary program folder: what is typed
// character by character and the progress text, pause, resume and stop, an interval of 0, and
// the guard while typing runs (saves, edits, note switches, tree commands, exit).
#include "app/typing/auto_typing.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <functional>

#include "app/frame/main_tool_bar.h"
#include "app/notes/auto_save.h"
#include "app/note_window.h"
#include "app/typing/typing_bar.h"
#include "app/typing/typing_progress_bar.h"

using qm::AutoTyping;
using qm::FromGb;
using qm::ToGb;
using qm::testing::NoteWindow;

namespace {

constexpr int kBodyField = 7;

// A window on a notebook of three notes whose first note (node 1) has `body`; node 1 loaded.
struct TypingWindow {
    explicit TypingWindow(const QString& body) {
        qm::NodeFields fields;
        fields.body = ToGb(body);
        window.writeNotebook(3, 1, fields);
        window.start();
        window.click(1);
        window.window().toggleToolBar(AutoTyping::kToolBarButton, true);
    }
    AutoTyping& typing() { return *window.window().typing(); }
    qm::TypingBar& bar() { return *typing().bar(); }
    QString label() { return bar().progress()->label()->text(); }
    void setInterval(int ms) { bar().intervalBox()->setText(QString::number(ms)); }
    // Runs `step` once, on the event loop, when character `index` has been typed.
    void at(qint64 index, std::function<void()> step) {
        auto* context = new QObject(&typing());
        QObject::connect(&typing(), &AutoTyping::typed, context,
                         [index, step, context](qint64 i, qint64) {
                             if (i != index) return;
                             delete context;
                             QTimer::singleShot(0, step);
                         });
    }
    NoteWindow window;
};

}  // namespace

class AutoTypingTest : public QObject {
    Q_OBJECT
private slots:
    void init() {
        qm::MessageBox::setAnswerInAdvance(true);
        qm::MessageBox::clearShown();
    }

    void typesCharacterByCharacter() {
        TypingWindow w(QStringLiteral("ab\r\n中"));
        w.setInterval(0);
        QStringList shown;
        QStringList labels;
        QObject::connect(&w.typing(), &AutoTyping::typed, [&](qint64, qint64) {
            shown << w.window.shown();
            labels << w.label();
        });
        QSignalSpy finished(&w.typing(), &AutoTyping::finished);
        w.bar().typeButton()->click();
        QCOMPARE(finished.count(), 1);
        QCOMPARE(shown, (QStringList{"a", "ab", "ab\r\n", "ab\r\n中"}));
        QCOMPARE(labels.last(), QStringLiteral("剩余 0 毫秒(4/4)"));
        QCOMPARE(labels.first(), QStringLiteral("剩余 30 毫秒(1/4)"));  // 0 estimated as 10
        QCOMPARE(w.label(), QStringLiteral("已停止打字"));
        QCOMPARE(w.window.shown(), QStringLiteral("ab\r\n中"));
        QCOMPARE(w.bar().typeButton()->text(), QStringLiteral("打字"));
        QVERIFY(!w.bar().stopButton()->isEnabled());
        QCOMPARE(w.bar().progress()->value(), 100);
        QVERIFY(!w.window.editor().readOnly());
    }

    void fourByteCharacterIsTypedWhole() {
        TypingWindow w(QStringLiteral("x😀y"));
        w.setInterval(0);
        QStringList shown;
        QObject::connect(&w.typing(), &AutoTyping::typed,
                         [&](qint64, qint64) { shown << w.window.shown(); });
        w.bar().typeButton()->click();
        QCOMPARE(shown, (QStringList{"x", "x😀", "x😀y"}));
    }

    void intervalGivesWaitAndEstimate() {
        TypingWindow w(QStringLiteral("abcd"));
        w.setInterval(200);
        QElapsedTimer clock;
        QStringList labels;
        QObject::connect(&w.typing(), &AutoTyping::typed,
                         [&](qint64, qint64) { labels << w.label(); });
        clock.start();
        w.bar().typeButton()->click();
        QCOMPARE(labels.first(), QStringLiteral("剩余 600 毫秒(1/4)"));
        QVERIFY2(clock.elapsed() >= 780, qPrintable(QString::number(clock.elapsed())));
    }

    void pauseResumeAndStopWhilePaused() {
        TypingWindow w(QStringLiteral("0123456789"));
        w.setInterval(20);
        int typedCount = 0;
        QObject::connect(&w.typing(), &AutoTyping::typed,
                         [&](qint64 i, qint64) { typedCount = i; });
        QString pausedCaption;
        QString pausedText;
        int countAfterPause = -1;
        bool readOnlyWhilePaused = false;
        w.at(2, [&] { w.bar().typeButton()->click(); });
        w.at(2, [&] {
            QTimer::singleShot(200, [&] {
                pausedCaption = w.bar().typeButton()->text();
                countAfterPause = typedCount;
                pausedText = w.window.shown();
                readOnlyWhilePaused = w.window.editor().readOnly();
                w.bar().typeButton()->click();  // resume
                w.at(5, [&] {
                    w.bar().typeButton()->click();  // pause again
                    QTimer::singleShot(50, [&] { w.bar().stopButton()->click(); });
                });
            });
        });
        w.bar().typeButton()->click();
        QCOMPARE(pausedCaption, QStringLiteral("继续"));
        QCOMPARE(countAfterPause, 2);
        QCOMPARE(pausedText, QStringLiteral("01"));
        QVERIFY(readOnlyWhilePaused);
        QCOMPARE(typedCount, 5);
        QCOMPARE(w.window.shown(), QStringLiteral("0123456789"));
        QCOMPARE(w.label(), QStringLiteral("已停止打字"));
        QCOMPARE(w.bar().typeButton()->text(), QStringLiteral("打字"));
    }

    void zeroIntervalCanBeStopped() {
        TypingWindow w(QString(5000, QChar('x')));
        w.setInterval(0);
        qint64 last = 0;
        QObject::connect(&w.typing(), &AutoTyping::typed, [&](qint64 i, qint64) { last = i; });
        w.at(10, [&] { w.bar().stopButton()->click(); });
        w.bar().typeButton()->click();
        QVERIFY2(last >= 10 && last <= 12, qPrintable(QString::number(last)));
        QCOMPARE(w.window.shown().size(), 5000);
    }

    void emptyNoteEndsAtOnce() {
        TypingWindow w(QString{});
        QSignalSpy typed(&w.typing(), &AutoTyping::typed);
        w.bar().typeButton()->click();
        QCOMPARE(typed.count(), 0);
        QCOMPARE(w.label(), QStringLiteral("已停止打字"));
        QCOMPARE(w.bar().typeButton()->text(), QStringLiteral("打字"));
    }

    void unsavedEditsAreSavedAndTyped() {
        TypingWindow w(QStringLiteral("old"));
        w.window.type(QStringLiteral("新的"));
        w.setInterval(0);
        w.bar().typeButton()->click();
        QCOMPARE(w.window.shown(), QStringLiteral("新的"));
        QCOMPARE(FromGb(w.window.field(1, kBodyField)), QStringLiteral("新的"));
    }

    // While typing runs: a save keeps the full note, the user cannot edit, another note cannot
    // be chosen and the tree commands wait.
    void guardWhileTyping() {
        TypingWindow w(QStringLiteral("abcdefgh"));
        w.setInterval(10);
        QString stored;
        QString autoStored;
        bool autoWrote = true;
        QString afterPaste;
        bool newEnabled = true;
        bool deleteEnabled = true;
        int selected = -1;
        w.at(3, [&] {
            emit w.window.window().saveCurrentNoteRequested(true);  // F12, tray, exit
            stored = FromGb(w.window.field(1, kBodyField));
            autoWrote = w.window.window().autoSave()->saveNow();  // the quiet time, focus loss
            autoStored = FromGb(w.window.field(1, kBodyField));
            w.window.window().toolBar()->button(4)->trigger();  // "粘贴"
            w.window.editor().clear();
            afterPaste = w.window.shown();
            newEnabled = w.window.window().toolBar()->button(qm::MainToolBar::kNew)->isEnabled();
            deleteEnabled =
                w.window.window().toolBar()->button(qm::MainToolBar::kDelete)->isEnabled();
            w.window.view().selectNode(2);
            selected = w.window.view().selectedNode();
            w.bar().stopButton()->click();
        });
        w.bar().typeButton()->click();
        QCOMPARE(stored, QStringLiteral("abcdefgh"));
        QVERIFY(!autoWrote);
        QCOMPARE(autoStored, QStringLiteral("abcdefgh"));
        QCOMPARE(afterPaste, QStringLiteral("abc"));
        QVERIFY(!newEnabled);
        QVERIFY(!deleteEnabled);
        QCOMPARE(selected, 1);
        QCOMPARE(qm::MessageBox::shown().size(), 1);
        QCOMPARE(qm::MessageBox::shown().first().text,
                 QStringLiteral("正在打字呢，先停止打字再查看其他笔记吧！"));
        // Afterwards everything is back.
        QVERIFY(w.window.window().toolBar()->button(qm::MainToolBar::kNew)->isEnabled());
        w.window.click(2);
        QCOMPARE(w.window.notes().loadedNote(), 2);
        QCOMPARE(FromGb(w.window.field(1, kBodyField)), QStringLiteral("abcdefgh"));
    }

    void exitWhileTypingKeepsTheNote() {
        TypingWindow w(QStringLiteral("abcdefgh"));
        w.setInterval(10);
        w.at(2, [&] { w.window.window().exitProgram(); });
        w.bar().typeButton()->click();
        QCOMPARE(w.bar().typeButton()->text(), QStringLiteral("打字"));
        QCOMPARE(FromGb(w.window.field(1, kBodyField)), QStringLiteral("abcdefgh"));
    }

    void toolBarButtonShowsTheBarAndIsRemembered() {
        TypingWindow w(QStringLiteral("a"));
        QVERIFY(w.bar().isVisibleTo(w.window.window().centralWidget()));
        QVERIFY(w.window.settingsHold(QStringLiteral("工具条显示.10=真")));
        w.window.window().toggleToolBar(AutoTyping::kToolBarButton, false);
        QVERIFY(!w.bar().isVisibleTo(w.window.window().centralWidget()));
    }
};

QTEST_MAIN(AutoTypingTest)
#include "auto_typing_test.moc"
