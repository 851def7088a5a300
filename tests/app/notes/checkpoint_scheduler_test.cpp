#include "app/notes/checkpoint_scheduler.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QtTest>
#include <filesystem>

#include "app/note_window.h"
#include "support/durable_bytes.h"
#include "support/record_bytes.h"

namespace qm {
namespace {

using testing::DurableBytes;
using testing::ReadFileBytes;
using testing::Rec;

// A notebook of about 30 MB, written directly.
void WriteLargeNotebook(testing::NoteWindow& w) {
    std::string bytes = Rec(ToGb(QStringLiteral("笔记本")), 1, "", "", 2);
    const std::string body(500, 'b');
    for (int i = 0; i < 60000; ++i) bytes += Rec("note " + std::to_string(i), 2, body);
    testing::WriteFileBytes(w.file("笔记本.qm"), bytes);
}

}  // namespace

class CheckpointSchedulerTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { MessageBox::setAnswerInAdvance(true); }

    // The window's thread only takes a snapshot: it answers posted events while the file is
    // written, and edits made meanwhile are kept (in the log, then in the file).
    void windowKeepsAnsweringDuringACheckpoint() {
        testing::NoteWindow w;
        WriteLargeNotebook(w);
        w.start();
        TreeStore& store = w.notebook();
        QVERIFY(store.SetField(5, kFieldTitle, "changed before"));
        QVERIFY(store.HasLoggedEdits());

        CheckpointScheduler scheduler({&store});
        QSignalSpy finished(&scheduler, &CheckpointScheduler::checkpointFinished);
        QElapsedTimer clock;
        clock.start();
        QVERIFY(scheduler.startNow());
        const qint64 startMs = clock.elapsed();
        QVERIFY2(startMs < 50, qPrintable(QString::number(startMs)));
        QVERIFY(scheduler.running());

        int answeredWhileRunning = 0;
        qint64 slowest = 0;
        bool edited = false;
        while (finished.isEmpty() && clock.elapsed() < 60000) {
            QElapsedTimer posted;
            posted.start();
            bool answered = false;
            QTimer::singleShot(0, &scheduler, [&] { answered = true; });
            while (!answered) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            slowest = std::max(slowest, posted.elapsed());
            if (scheduler.running()) ++answeredWhileRunning;
            if (!edited) {
                QVERIFY(store.SetField(7, kFieldTitle, "changed during"));
                edited = true;
            }
        }
        QCOMPARE(finished.size(), 1);
        QCOMPARE(finished.first().first().toBool(), true);
        QVERIFY(answeredWhileRunning >= 1);
        // Generous against a loaded test machine: a blocked thread would wait for the whole
        // write of 30 MB and its sync.
        QVERIFY2(slowest < 200, qPrintable(QString::number(slowest)));

        const std::string file = ReadFileBytes(w.file("笔记本.qm"));
        QVERIFY(file.find("changed before") != std::string::npos);
        QCOMPARE(DurableBytes(w.file("笔记本.qm")), store.image());
        QVERIFY(scheduler.checkpointNow());
        QVERIFY(ReadFileBytes(w.file("笔记本.qm")) == store.image());
        QVERIFY(!store.HasLoggedEdits());
    }

    // A log left quiet for the idle delay is checkpointed without being asked.
    void quietLogIsCheckpointedAfterTheIdleDelay() {
        testing::NoteWindow w;
        w.writeNotebook(3);
        w.start();
        TreeStore& store = w.notebook();
        CheckpointScheduler scheduler({&store});
        scheduler.setIdleDelay(300);
        QVERIFY(store.SetField(2, kFieldTitle, "idle edit"));
        QVERIFY(store.HasLoggedEdits());
        QTRY_VERIFY_WITH_TIMEOUT(!store.HasLoggedEdits(), 5000);
        QVERIFY(ReadFileBytes(w.file("笔记本.qm")).find("idle edit") != std::string::npos);
    }

    // The end of the program writes on a worker: posted events are answered while it runs, a
    // checkpoint already running is waited for, and the file then holds every edit.
    void endOfProgramWritesOnAWorkerAndAnswers() {
        testing::NoteWindow w;
        WriteLargeNotebook(w);
        w.start();
        TreeStore& store = w.notebook();
        CheckpointScheduler scheduler({&store});
        QVERIFY(store.SetField(5, kFieldTitle, "first edit"));
        QVERIFY(scheduler.startNow());
        QVERIFY(store.SetField(9, kFieldTitle, "edit during"));

        int answered = 0;
        QTimer probe;
        probe.setInterval(0);
        connect(&probe, &QTimer::timeout, &scheduler, [&answered] { ++answered; });
        probe.start();
        QVERIFY(scheduler.checkpointBeforeEnd());
        probe.stop();
        QVERIFY(answered > 0);
        QVERIFY(!scheduler.running());
        QVERIFY(!store.HasLoggedEdits());
        const std::string file = DurableBytes(w.file("笔记本.qm"));
        QVERIFY(file == store.image());
        QVERIFY(file.find("edit during") != std::string::npos);
    }

    // A backup copies a file that holds every edit, even one made a moment before.
    void backupCopiesTheCheckpointedFile() {
        testing::NoteWindow w;
        w.writeNotebook(3);
        w.start();
        QVERIFY(w.notebook().SetField(1, kFieldTitle, "just saved"));
        emit w.window().backupNowRequested();
        std::string copy;
        for (const auto& entry : std::filesystem::directory_iterator(w.file("备份文件"))) {
            copy = ReadFileBytes(entry.path().string());
        }
        QVERIFY(copy.find("just saved") != std::string::npos);
        QVERIFY(copy == w.notebook().image());
    }
};

}  // namespace qm

QTEST_MAIN(qm::CheckpointSchedulerTest)
#include "checkpoint_scheduler_test.moc"
