// The real program as separate processes: a second launch of the same executable hands over
// to the running copy and ends with status 0; a copy in another folder runs on its own; a
// socket left by a killed copy does not stop the next start.
#include <QProcess>
#include <QtTest>

#include "app/window/main_window.h"
#include "app/window/program.h"
#include "app/window/single_instance.h"
#include "support/temp_dir.h"

namespace {

// A portable copy of the program in `folder`: the binary and a file named "portable".
QString InstallPortableCopy(const QString& folder) {
    QDir().mkpath(folder);
    const QString binary = QDir(folder).filePath(QStringLiteral("corvanel"));
    QFile::remove(binary);
    if (!QFile::copy(QStringLiteral(CORVANEL_BINARY), binary)) return {};
    QFile marker(QDir(folder).filePath(QStringLiteral("portable")));
    if (!marker.open(QIODevice::WriteOnly)) return {};
    return binary;
}

}  // namespace

class ProgramProcessTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void secondLaunchEndsAndFirstKeepsRunning();
    void secondLaunchShowsTheFirstWindow();
    void copyInAnotherFolderStartsNormally();
    void killedCopyLeavesNoObstacle();

private:
    // Starts the program; waits until it has opened its notebook (it listens by then).
    QProcess* launch(const QString& binary, const QStringList& arguments = {});
    bool waitForFile(const QString& path);

    std::unique_ptr<qm::testing::TempDir> dir_;
    QList<QProcess*> processes_;
};

void ProgramProcessTest::init() { dir_ = std::make_unique<qm::testing::TempDir>(); }

void ProgramProcessTest::cleanup() {
    for (QProcess* process : processes_) {
        if (process->state() != QProcess::NotRunning) {
            process->kill();
            process->waitForFinished(5000);
        }
        delete process;
    }
    processes_.clear();
    dir_.reset();
}

bool ProgramProcessTest::waitForFile(const QString& path) {
    QElapsedTimer timer;
    timer.start();
    while (!QFileInfo::exists(path) && timer.elapsed() < 15000) QTest::qWait(50);
    return QFileInfo::exists(path);
}

QProcess* ProgramProcessTest::launch(const QString& binary, const QStringList& arguments) {
    auto* process = new QProcess;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    // The autostart entry must never land in the real home.
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), QString::fromStdString(dir_->File("config")));
    process->setProcessEnvironment(env);
    process->setProgram(binary);
    process->setArguments(arguments);
    processes_ << process;
    process->start();
    return process;
}

void ProgramProcessTest::secondLaunchEndsAndFirstKeepsRunning() {
    const QString folder = QString::fromStdString(dir_->File("a"));
    const QString binary = InstallPortableCopy(folder);
    QVERIFY(!binary.isEmpty());
    QProcess* first = launch(binary, {QStringLiteral("yes")});
    QVERIFY(first->waitForStarted());
    QVERIFY(waitForFile(folder + QStringLiteral("/笔记本.qm")));
    QVERIFY(QFileInfo::exists(folder + QStringLiteral("/回收站.qm")));

    QProcess* second = launch(binary);
    QVERIFY(second->waitForFinished(15000));
    QCOMPARE(second->exitStatus(), QProcess::NormalExit);
    QCOMPARE(second->exitCode(), 0);
    QCOMPARE(first->state(), QProcess::Running);
}

void ProgramProcessTest::secondLaunchShowsTheFirstWindow() {
    // The running copy is this test's own window, listening on the name of the installed
    // binary; the second launch is the real program.
    const QString folder = QString::fromStdString(dir_->File("b"));
    const QString binary = InstallPortableCopy(folder);
    QVERIFY(!binary.isEmpty());
    qm::StartOptions options;
    options.programFolder = QString::fromStdString(dir_->File("data"));
    QDir().mkpath(options.programFolder);
    options.executablePath = binary;
    options.autostartFolder = QString::fromStdString(dir_->File("config/autostart"));
    options.startHidden = true;
    qm::Session session(options);
    QVERIFY(session.window().startUp());
    QVERIFY(session.window().isHidden());
    qm::SingleInstance instance(binary);
    QVERIFY(instance.Listen());
    connect(&instance, &qm::SingleInstance::showRequested, &session.window(),
            &qm::MainWindow::showFromTray);

    QProcess* second = launch(binary);
    QTRY_VERIFY_WITH_TIMEOUT(session.window().isVisible(), 15000);
    // The event loop above may already have seen it end.
    QVERIFY(second->state() == QProcess::NotRunning || second->waitForFinished(15000));
    QCOMPARE(second->exitStatus(), QProcess::NormalExit);
    QCOMPARE(second->exitCode(), 0);
    // It opened nothing: no files of its own appeared beside it.
    QVERIFY(!QFileInfo::exists(folder + QStringLiteral("/笔记本.qm")));
    QVERIFY(!QFileInfo::exists(folder + QStringLiteral("/Quelmar·Corvanel.ini")));
}

void ProgramProcessTest::copyInAnotherFolderStartsNormally() {
    const QString folderA = QString::fromStdString(dir_->File("a"));
    const QString folderB = QString::fromStdString(dir_->File("b"));
    const QString binaryA = InstallPortableCopy(folderA);
    const QString binaryB = InstallPortableCopy(folderB);
    QVERIFY(!binaryA.isEmpty() && !binaryB.isEmpty());
    QProcess* first = launch(binaryA, {QStringLiteral("yes")});
    QVERIFY(waitForFile(folderA + QStringLiteral("/笔记本.qm")));
    QProcess* copy = launch(binaryB, {QStringLiteral("yes")});
    QVERIFY(waitForFile(folderB + QStringLiteral("/笔记本.qm")));
    QVERIFY(!copy->waitForFinished(500));  // it keeps running
    QCOMPARE(copy->state(), QProcess::Running);
    QCOMPARE(first->state(), QProcess::Running);
}

void ProgramProcessTest::killedCopyLeavesNoObstacle() {
    const QString folder = QString::fromStdString(dir_->File("a"));
    const QString binary = InstallPortableCopy(folder);
    QVERIFY(!binary.isEmpty());
    QProcess* crashed = launch(binary, {QStringLiteral("yes")});
    QVERIFY(waitForFile(folder + QStringLiteral("/笔记本.qm")));
    crashed->kill();  // no chance to remove its socket
    QVERIFY(crashed->waitForFinished(5000));
    const qm::SingleInstance probe(binary);
    QVERIFY(QFileInfo::exists(QDir(QDir::tempPath()).filePath(probe.serverName())));

    QProcess* next = launch(binary, {QStringLiteral("yes")});
    QVERIFY(!next->waitForFinished(1500));  // it did not take itself for a second launch
    QProcess* third = launch(binary);
    QVERIFY(third->waitForFinished(15000));
    QCOMPARE(third->exitCode(), 0);
    QCOMPARE(next->state(), QProcess::Running);
}

QTEST_MAIN(ProgramProcessTest)
#include "program_process_test.moc"
