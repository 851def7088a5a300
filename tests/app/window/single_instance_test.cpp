// One running copy per executable: the socket name, the hand-over to a running copy, and a
// socket left behind by a copy that crashed.
#include "app/window/single_instance.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QLocalServer>
#include <QtTest>

#include "support/temp_dir.h"

namespace {

// Leaves a bound socket file with nobody listening, as a killed process does.
bool MakeStaleSocket(const QString& path) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    if (fd < 0) return false;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray bytes = QFile::encodeName(path);
    if (bytes.size() >= static_cast<int>(sizeof address.sun_path)) return false;
    std::memcpy(address.sun_path, bytes.constData(), static_cast<size_t>(bytes.size()));
    const bool bound = ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return bound;
}

}  // namespace

class SingleInstanceTest : public QObject {
    Q_OBJECT
private slots:
    void nameDependsOnTheExecutable();
    void secondLaunchShowsTheRunningCopy();
    void nothingRunningMeansStartNormally();
    void otherExecutableIsNotAskedToShow();
    void staleSocketIsReplaced();
};

void SingleInstanceTest::nameDependsOnTheExecutable() {
    const QString a = qm::SingleInstance::ServerName(QStringLiteral("/opt/a/corvanel"));
    QCOMPARE(qm::SingleInstance::ServerName(QStringLiteral("/opt/a/corvanel")), a);
    QVERIFY(a != qm::SingleInstance::ServerName(QStringLiteral("/opt/b/corvanel")));
    QVERIFY(a.size() < 60);  // short enough for a socket path whatever the folder's length

    // A symbolic link to the program is the same program.
    qm::testing::TempDir dir;
    qm::testing::WriteFileBytes(dir.File("corvanel"), "binary");
    QVERIFY(QFile::link(QString::fromStdString(dir.File("corvanel")),
                        QString::fromStdString(dir.File("link"))));
    const qm::SingleInstance real(QString::fromStdString(dir.File("corvanel")));
    const qm::SingleInstance viaLink(QString::fromStdString(dir.File("link")));
    QCOMPARE(viaLink.serverName(), real.serverName());
}

void SingleInstanceTest::secondLaunchShowsTheRunningCopy() {
    qm::testing::TempDir dir;
    const QString exe = QString::fromStdString(dir.File("corvanel"));
    qm::SingleInstance first(exe);
    QVERIFY(!first.ActivateRunningCopy(200));
    QVERIFY(first.Listen());
    QSignalSpy shown(&first, &qm::SingleInstance::showRequested);

    qm::SingleInstance second(exe);
    // Both ends share this thread here, so the reply cannot come: the connection is enough.
    QVERIFY(second.ActivateRunningCopy(200));
    QTRY_COMPARE(shown.count(), 1);
}

void SingleInstanceTest::nothingRunningMeansStartNormally() {
    qm::testing::TempDir dir;
    qm::SingleInstance lonely(QString::fromStdString(dir.File("corvanel")));
    QElapsedTimer timer;
    timer.start();
    QVERIFY(!lonely.ActivateRunningCopy());
    QVERIFY(timer.elapsed() < 1000);  // refused at once, no waiting for a timeout
}

void SingleInstanceTest::otherExecutableIsNotAskedToShow() {
    qm::testing::TempDir dir;
    qm::SingleInstance first(QString::fromStdString(dir.File("a/corvanel")));
    QVERIFY(first.Listen());
    QSignalSpy shown(&first, &qm::SingleInstance::showRequested);
    qm::SingleInstance copy(QString::fromStdString(dir.File("b/corvanel")));
    QVERIFY(!copy.ActivateRunningCopy(200));
    QVERIFY(copy.Listen());
    QTest::qWait(50);
    QCOMPARE(shown.count(), 0);
}

void SingleInstanceTest::staleSocketIsReplaced() {
    qm::testing::TempDir dir;
    const QString exe = QString::fromStdString(dir.File("corvanel"));
    qm::SingleInstance next(exe);
    const QString socketPath = QDir(QDir::tempPath()).filePath(next.serverName());
    QFile::remove(socketPath);
    QVERIFY(MakeStaleSocket(socketPath));
    QVERIFY(QFileInfo::exists(socketPath));

    QVERIFY(!next.ActivateRunningCopy(200));  // nobody answers on the old socket
    QVERIFY(next.Listen());                   // so it is taken over
    QSignalSpy shown(&next, &qm::SingleInstance::showRequested);
    qm::SingleInstance later(exe);
    QVERIFY(later.ActivateRunningCopy(200));
    QTRY_COMPARE(shown.count(), 1);
}

QTEST_MAIN(SingleInstanceTest)
#include "single_instance_test.moc"
