// Files that cannot be written, on the real window offscreen: one message per failure episode
// with the file and the system's reason, the caption mark while changes exist only in memory,
// the file caught up once writing works again, the question at the end with its answers, and
// tree files that cannot be read or written at start-up.
#include "app/notes/write_failure_watch.h"

#include <QSignalSpy>
#include <QtTest>
#include <cerrno>
#include <cstring>

#include "app/note_window.h"
#include "app/widgets/file_dialog.h"
#include "common/file_calls.h"

using qm::MessageBox;
using qm::WriteFailureWatch;
using qm::testing::NoteWindow;

class WriteFailureWatchTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { MessageBox::setAnswerInAdvance(true); }
    void init() {
        MessageBox::clearShown();
        qm::FileDialog::reset();
        w_ = std::make_unique<NoteWindow>();
        w_->writeNotebook(3);
        w_->start();
        w_->window().writeWatch()->setRetryInterval(50);
        w_->click(1);
    }
    void cleanup() {
        qm::fileio::ClearInjectedFailures();
        w_.reset();
    }

    void oneMessagePerEpisodeAndTheMarkFollowsTheState_data();
    void oneMessagePerEpisodeAndTheMarkFollowsTheState();
    void endingWithChangesInMemoryAsks_data();
    void endingWithChangesInMemoryAsks();
    void shutdownWithChangesInMemoryAsksNobodyAndKeepsACopy();
    void unreadableNotebookIsReportedAndLeftAlone();
    void notebookHeldByAnotherWriterOpensWithANotice();
    void backupThatCannotBeWrittenIsNotReportedAsDone();

private:
    QString caption() { return w_->window().windowTitle(); }
    bool marked() { return caption().endsWith(QString::fromUtf8(WriteFailureWatch::kUnsavedMark)); }
    int warnings() {
        int count = 0;
        for (const MessageBox::Record& r : MessageBox::shown()) {
            count += r.kind == MessageBox::Kind::kWarning ? 1 : 0;
        }
        return count;
    }
    // Types into the loaded note and switches to `next`, which saves it.
    void typeAndSwitch(const QString& text, int next) {
        w_->type(text);
        w_->click(next);
    }

    std::unique_ptr<NoteWindow> w_;
};

void WriteFailureWatchTest::oneMessagePerEpisodeAndTheMarkFollowsTheState_data() {
    QTest::addColumn<QString>("failingFile");
    QTest::addColumn<unsigned>("calls");
    QTest::addColumn<int>("error");
    QTest::addColumn<QString>("named");  // the file the message names
    QTest::addColumn<bool>("inMemory");  // note changes exist in memory alone meanwhile
    QTest::newRow("notebook full")
        << "笔记本.qm" << unsigned(qm::fileio::kEveryWrite) << ENOSPC << "/笔记本.qm" << true;
    QTest::newRow("notebook read-only")
        << "笔记本.qm" << unsigned(qm::fileio::kEveryWrite) << EROFS << "/笔记本.qm" << true;
    QTest::newRow("settings I/O error")
        << "Corvanel.ini" << unsigned(qm::fileio::kWrite) << EIO << "Quelmar·Corvanel.ini" << false;
}

void WriteFailureWatchTest::oneMessagePerEpisodeAndTheMarkFollowsTheState() {
    QFETCH(QString, failingFile);
    QFETCH(unsigned, calls);
    QFETCH(int, error);
    QFETCH(QString, named);
    QFETCH(bool, inMemory);
    qm::fileio::InjectFailure(calls, error, failingFile.toStdString());
    typeAndSwitch(QStringLiteral("第一段"), 2);
    QTRY_COMPARE(warnings(), 1);
    const QString text = MessageBox::shown().first().text;
    QVERIFY2(text.contains(named), qPrintable(text));
    QVERIFY2(text.contains(QString::fromLocal8Bit(std::strerror(error))), qPrintable(text));
    QCOMPARE(marked(), inMemory);

    // More edits and several retries in the same episode: no second message.
    typeAndSwitch(QStringLiteral("第二段"), 3);
    typeAndSwitch(QStringLiteral("第三段"), 1);
    QTest::qWait(200);
    QCOMPARE(warnings(), 1);
    QCOMPARE(w_->notebook().unsaved(), inMemory);
    QVERIFY(w_->window().writeWatch()->failing());

    // Writing works again: the retry catches the files up and the mark goes.
    qm::fileio::ClearInjectedFailures();
    QTRY_VERIFY(!w_->window().writeWatch()->failing());
    QTRY_VERIFY(!marked());
    QCOMPARE(w_->field(1, qm::kFieldBody), qm::ToGb(QStringLiteral("第一段")));
    QCOMPARE(w_->field(2, qm::kFieldBody), qm::ToGb(QStringLiteral("第二段")));
    QCOMPARE(w_->field(3, qm::kFieldBody), qm::ToGb(QStringLiteral("第三段")));
    QCOMPARE(w_->settingsBytes(), w_->settingsStore().memoryCopy());
    QVERIFY(w_->settingsHold(QStringLiteral("树型框选中项=1")));

    // A new failure is a new episode with its own message.
    qm::fileio::InjectFailure(calls, error, failingFile.toStdString());
    typeAndSwitch(QStringLiteral("又一段"), 2);
    QTRY_COMPARE(warnings(), 2);
}

void WriteFailureWatchTest::endingWithChangesInMemoryAsks_data() {
    QTest::addColumn<QList<int>>("answers");
    QTest::addColumn<int>("questions");
    QTest::addColumn<bool>("ends");
    QTest::addColumn<bool>("copySaved");
    QTest::newRow("retry, then back to the program")
        << QList<int>{QMessageBox::Retry, QMessageBox::Cancel} << 2 << false << false;
    QTest::newRow("save a copy") << QList<int>{QMessageBox::Save} << 1 << true << true;
    QTest::newRow("quit and lose") << QList<int>{QMessageBox::Discard} << 1 << true << false;
}

void WriteFailureWatchTest::endingWithChangesInMemoryAsks() {
    QFETCH(QList<int>, answers);
    QFETCH(int, questions);
    QFETCH(bool, ends);
    QFETCH(bool, copySaved);
    qm::testing::TempDir elsewhere;
    qm::FileDialog::setNextFileName(QString::fromStdString(elsewhere.path()));
    // The notebook in the program folder only: the copy elsewhere can be written.
    qm::fileio::InjectFailure(qm::fileio::kEveryWrite, ENOSPC, w_->file("笔记本.qm"));
    w_->type(QStringLiteral("只在内存里的字"));
    QSignalSpy ended(&w_->window(), &qm::MainWindow::programEnded);
    MessageBox::clearShown();
    for (const int answer : answers) {
        MessageBox::setNextAnswer(static_cast<QMessageBox::StandardButton>(answer));
    }
    // Should the answers above not end the asking, this one would (and the count would tell).
    MessageBox::setNextAnswer(QMessageBox::Cancel);
    w_->window().exitProgram();

    int asked = 0;
    for (const MessageBox::Record& r : MessageBox::shown()) {
        asked += r.kind == MessageBox::Kind::kQuestion ? 1 : 0;
    }
    QCOMPARE(asked, questions);
    QCOMPARE(ended.count(), ends ? 1 : 0);
    const std::string copy = elsewhere.File("笔记本.qm");
    QCOMPARE(QFile::exists(QString::fromStdString(copy)), copySaved);
    if (copySaved) {
        qm::fileio::ClearInjectedFailures();
        qm::TreeStore saved;
        QVERIFY(saved.Load(copy));
        QCOMPARE(saved.image(), w_->notebook().image());
        QVERIFY(saved.image().find(qm::ToGb(QStringLiteral("只在内存里的字"))) !=
                std::string::npos);
    }
    if (!ends) {
        // Back in the program: once the disk works the same exit needs no question.
        qm::fileio::ClearInjectedFailures();
        MessageBox::clearShown();
        w_->window().exitProgram();
        QCOMPARE(ended.count(), 1);
        QVERIFY(MessageBox::shown().isEmpty());
        QCOMPARE(w_->field(1, qm::kFieldBody), qm::ToGb(QStringLiteral("只在内存里的字")));
    }
}

void WriteFailureWatchTest::shutdownWithChangesInMemoryAsksNobodyAndKeepsACopy() {
    qm::testing::TempDir home;
    const QByteArray oldHome = qgetenv("HOME");
    qputenv("HOME", QByteArray::fromStdString(home.path()));
    qm::fileio::InjectFailure(qm::fileio::kEveryWrite, ENOSPC, w_->file("笔记本.qm"));
    w_->type(QStringLiteral("关机前打的字"));
    QSignalSpy ended(&w_->window(), &qm::MainWindow::programEnded);
    MessageBox::clearShown();
    // An answer waits, should anything ask: a shutdown must not.
    MessageBox::setNextAnswer(QMessageBox::Cancel);
    w_->window().shutDown();
    qputenv("HOME", oldHome);

    for (const MessageBox::Record& r : MessageBox::shown()) {
        QVERIFY(r.kind != MessageBox::Kind::kQuestion);
    }
    QCOMPARE(ended.count(), 1);
    qm::fileio::ClearInjectedFailures();
    qm::TreeStore copy;
    QVERIFY(copy.Load(home.File("笔记本.qm")));
    QVERIFY(copy.image().find(qm::ToGb(QStringLiteral("关机前打的字"))) != std::string::npos);
}

void WriteFailureWatchTest::unreadableNotebookIsReportedAndLeftAlone() {
    w_->stop();
    const std::string before = qm::testing::ReadFileBytes(w_->file("笔记本.qm"));
    MessageBox::clearShown();
    qm::fileio::InjectFailure(qm::fileio::kRead, EIO, "笔记本.qm");
    qm::Session session(w_->options());
    QVERIFY(!session.window().startUp());
    qm::fileio::ClearInjectedFailures();
    QCOMPARE(MessageBox::shown().size(), 1);
    const MessageBox::Record shown = MessageBox::shown().first();
    QCOMPARE(shown.kind, MessageBox::Kind::kCritical);
    QVERIFY2(shown.text.contains(QStringLiteral("无法读取")) &&
                 shown.text.contains(QString::fromLocal8Bit(std::strerror(EIO))),
             qPrintable(shown.text));
    QCOMPARE(qm::testing::ReadFileBytes(w_->file("笔记本.qm")), before);
}

void WriteFailureWatchTest::notebookHeldByAnotherWriterOpensWithANotice() {
    w_->stop();
    const std::string before = qm::testing::ReadFileBytes(w_->file("笔记本.qm"));
    qm::TreeStore other;
    QVERIFY(other.Open(w_->file("笔记本.qm")));
    MessageBox::clearShown();
    w_->start();
    QCOMPARE(MessageBox::shown().size(), 1);
    QVERIFY2(MessageBox::shown().first().text.contains(QStringLiteral("无法保存")),
             qPrintable(MessageBox::shown().first().text));
    QVERIFY(caption().endsWith(QString::fromUtf8(WriteFailureWatch::kReadOnlyMark)));
    w_->click(1);
    typeAndSwitch(QStringLiteral("写不进去"), 2);
    QCOMPARE(qm::testing::ReadFileBytes(w_->file("笔记本.qm")), before);
}

void WriteFailureWatchTest::backupThatCannotBeWrittenIsNotReportedAsDone() {
    // A file where the backup folder should be: no backup can be written there.
    qm::testing::WriteFileBytes(w_->file("备份文件"), "not a folder");
    MessageBox::clearShown();
    emit w_->window().backupNowRequested();
    QCOMPARE(MessageBox::shown().size(), 1);
    const MessageBox::Record shown = MessageBox::shown().first();
    QCOMPARE(shown.kind, MessageBox::Kind::kWarning);
    QVERIFY2(shown.text.contains(QStringLiteral("备份文件写入失败")) &&
                 shown.text.contains(QString::fromLocal8Bit(std::strerror(ENOTDIR))),
             qPrintable(shown.text));

    // With the folder possible again, the same command reports the copy it made.
    QVERIFY(QFile::remove(QString::fromStdString(w_->file("备份文件"))));
    MessageBox::clearShown();
    emit w_->window().backupNowRequested();
    QCOMPARE(MessageBox::shown().size(), 1);
    QCOMPARE(MessageBox::shown().first().kind, MessageBox::Kind::kInformation);
}

QTEST_MAIN(WriteFailureWatchTest)
#include "write_failure_watch_test.moc"
