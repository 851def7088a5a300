// A shutdown from outside saves like "退出软件": the signal handlers reach the event loop
// through their pipe, and the real program, with text typed and unsaved, ends with status 0
// after SIGTERM, SIGHUP or SIGINT with the text in the notebook file, the stores closed
// cleanly (no edit log left) and the settings journal removed.
#include "app/window/shutdown_signals.h"

#include <signal.h>

#include <QProcess>
#include <QtTest>

#include "common/qt_text.h"
#include "store/tree_store.h"
#include "support/temp_dir.h"

class ShutdownSignalsTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void signalReachesTheEventLoop_data();
    void signalReachesTheEventLoop();
    void requestIsSentOnce();
    void typedTextSurvivesTheSignal_data();
    void typedTextSurvivesTheSignal();
    void signalDuringStartUpEndsCleanly();
    void typedTextIsOnDiskWhenTheSessionEndReturns();

private:
    // Runs the probe on a fresh program folder; returns that folder, or "" when it did not end
    // by itself with status 0.
    QString runProbe(const qm::testing::TempDir& dir, const QProcessEnvironment& extra);
};

void ShutdownSignalsTest::initTestCase() { QVERIFY(qm::ShutdownSignals::InstallHandlers()); }

void ShutdownSignalsTest::signalReachesTheEventLoop_data() {
    QTest::addColumn<int>("number");
    QTest::newRow("SIGTERM") << SIGTERM;
    QTest::newRow("SIGHUP") << SIGHUP;
    QTest::newRow("SIGINT") << SIGINT;
}

void ShutdownSignalsTest::signalReachesTheEventLoop() {
    QFETCH(int, number);
    qm::ShutdownSignals shutdown;
    QVERIFY(shutdown.watching());
    QSignalSpy requests(&shutdown, &qm::ShutdownSignals::shutdownRequested);
    // The process goes on: the handler only wrote into the pipe.
    QCOMPARE(::raise(number), 0);
    QCOMPARE(requests.count(), 0);  // nothing happens inside the handler
    QTRY_COMPARE(requests.count(), 1);
    QCOMPARE(requests.at(0).at(0).toInt(), number);
}

void ShutdownSignalsTest::requestIsSentOnce() {
    qm::ShutdownSignals shutdown;
    QSignalSpy requests(&shutdown, &qm::ShutdownSignals::shutdownRequested);
    QCOMPARE(::raise(SIGTERM), 0);
    QTRY_COMPARE(requests.count(), 1);
    QCOMPARE(::raise(SIGHUP), 0);
    QTest::qWait(200);
    QCOMPARE(requests.count(), 1);
}

QString ShutdownSignalsTest::runProbe(const qm::testing::TempDir& dir,
                                      const QProcessEnvironment& extra) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("HOME"), QString::fromStdString(dir.File("home")));
    env.insert(QStringLiteral("XDG_DATA_HOME"), QString::fromStdString(dir.File("data")));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), QString::fromStdString(dir.File("config")));
    env.insert(extra);
    QProcess probe;
    probe.setProcessEnvironment(env);
    probe.setProgram(QStringLiteral(SHUTDOWN_PROBE_BINARY));
    probe.start();
    if (!probe.waitForFinished(30000)) {
        probe.kill();
        probe.waitForFinished(5000);
        qWarning("the probe did not end");
        return {};
    }
    if (probe.exitStatus() != QProcess::NormalExit || probe.exitCode() != 0) {
        qWarning("the probe ended with status %d (%s): %s", probe.exitCode(),
                 probe.exitStatus() == QProcess::NormalExit ? "normal" : "killed",
                 probe.readAllStandardError().constData());
        return {};
    }
    return QString::fromStdString(dir.File("data/Quelmar·Corvanel"));
}

void ShutdownSignalsTest::typedTextSurvivesTheSignal_data() {
    QTest::addColumn<int>("number");
    QTest::newRow("SIGTERM") << SIGTERM;
    QTest::newRow("SIGHUP") << SIGHUP;
    QTest::newRow("SIGINT") << SIGINT;
}

void ShutdownSignalsTest::typedTextSurvivesTheSignal() {
    QFETCH(int, number);
    const qm::testing::TempDir dir;
    QProcessEnvironment extra;
    extra.insert(QStringLiteral("QM_PROBE_SIGNAL"), QString::number(number));
    extra.insert(QStringLiteral("QM_PROBE_KEYS"), QStringLiteral("note 1 "));
    extra.insert(QStringLiteral("QM_PROBE_TEXT"), QStringLiteral("关机前写的中文𠀀"));
    const QString folder = runProbe(dir, extra);
    QVERIFY(!folder.isEmpty());
    const std::string typed = qm::ToGb(QStringLiteral("note 1 关机前写的中文𠀀"));

    // Checkpointed into the file itself, the log removed: a clean close.
    const std::string notebook = (folder + QStringLiteral("/笔记本.qm")).toStdString();
    QVERIFY(qm::testing::ReadFileBytes(notebook).find(typed) != std::string::npos);
    QVERIFY(!QFileInfo::exists(folder + QStringLiteral("/笔记本.qm.log")));
    QVERIFY(!QFileInfo::exists(folder + QStringLiteral("/回收站.qm.log")));
    QVERIFY(QFileInfo::exists(folder + QStringLiteral("/Quelmar·Corvanel.ini")));
    QVERIFY(!QFileInfo::exists(folder + QStringLiteral("/Quelmar·Corvanel.ini.journal")));

    // And the store reads it as the loaded note's body.
    qm::TreeStore store(folder.toStdString());
    QVERIFY(store.Load(notebook));
    QVERIFY(store.NodeCount() >= 1);
    QCOMPARE(store.ReadNode(0, qm::kFieldBody), typed);
}

void ShutdownSignalsTest::signalDuringStartUpEndsCleanly() {
    const qm::testing::TempDir dir;
    QProcessEnvironment extra;
    extra.insert(QStringLiteral("QM_PROBE_SIGNAL"), QString::number(SIGTERM));
    extra.insert(QStringLiteral("QM_PROBE_EARLY"), QStringLiteral("1"));
    const QString folder = runProbe(dir, extra);
    QVERIFY(!folder.isEmpty());
    qm::TreeStore store(folder.toStdString());
    QVERIFY(store.Load((folder + QStringLiteral("/笔记本.qm")).toStdString()));
    QCOMPARE(store.NodeCount(), 1);  // the root written on first start
    QVERIFY(!QFileInfo::exists(folder + QStringLiteral("/笔记本.qm.log")));
    QVERIFY(!QFileInfo::exists(folder + QStringLiteral("/Quelmar·Corvanel.ini.journal")));
}

// The session manager asks the program to commit its data and may end it as soon as that call
// returns: the typed text must be durable by then (the probe ends with _exit right after).
void ShutdownSignalsTest::typedTextIsOnDiskWhenTheSessionEndReturns() {
    const qm::testing::TempDir dir;
    QProcessEnvironment extra;
    extra.insert(QStringLiteral("QM_PROBE_SIGNAL"), QStringLiteral("0"));
    extra.insert(QStringLiteral("QM_PROBE_KEYS"), QStringLiteral("session "));
    extra.insert(QStringLiteral("QM_PROBE_TEXT"), QStringLiteral("注销前写的字"));
    const QString folder = runProbe(dir, extra);
    QVERIFY(!folder.isEmpty());
    qm::TreeStore store(folder.toStdString());
    QVERIFY(store.Load((folder + QStringLiteral("/笔记本.qm")).toStdString()));
    QVERIFY(store.NodeCount() >= 1);
    QCOMPARE(store.ReadNode(0, qm::kFieldBody), qm::ToGb(QStringLiteral("session 注销前写的字")));
}

QTEST_MAIN(ShutdownSignalsTest)
#include "shutdown_signals_test.moc"
