// Revealing a file in the file manager: what is asked of the file manager for existing and
// missing paths, the call over the session bus, and the folder opened when no file manager
// answers. Runs on a private session bus (see CMakeLists.txt).
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QtTest>

#include "app/widgets/reveal_in_file_manager.h"
#include "support/temp_dir.h"

namespace qm {

// Stands in for the desktop's file manager on the bus.
class FakeFileManager : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")
public:
    QStringList calls;

public slots:
    void ShowItems(const QStringList& uris, const QString&) {
        calls << QStringLiteral("ShowItems ") + uris.join(QLatin1Char(' '));
    }
    void ShowFolders(const QStringList& uris, const QString&) {
        calls << QStringLiteral("ShowFolders ") + uris.join(QLatin1Char(' '));
    }
};

class RevealTest : public QObject {
    Q_OBJECT

    std::unique_ptr<testing::TempDir> dir_;
    QString file_;
    QStringList opened_;

    QString folder() const { return QString::fromStdString(dir_->path()); }

private slots:
    void initTestCase() {
        dir_ = std::make_unique<testing::TempDir>();
        file_ = QString::fromStdString(dir_->File("笔记 a.txt"));
        QFile file(file_);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("#!/bin/sh\ntouch ran\n");
        file.close();
        file.setPermissions(file.permissions() | QFile::ExeOwner);
        SetFolderOpenerForTesting([this](const QString& folder) { opened_ << folder; });
    }
    void cleanupTestCase() { SetFolderOpenerForTesting({}); }
    void init() { opened_.clear(); }

    void plansByWhatExists_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("method");
        QTest::addColumn<QString>("folder");
        QTest::newRow("file") << QStringLiteral("笔记 a.txt") << QStringLiteral("ShowItems")
                              << QString();
        QTest::newRow("missing file")
            << QStringLiteral("gone.txt") << QStringLiteral("ShowFolders") << QString();
        QTest::newRow("missing folders")
            << QStringLiteral("x/y/z/gone.txt") << QStringLiteral("ShowFolders") << QString();
        QTest::newRow("dotted") << QStringLiteral("x/../gone.txt") << QStringLiteral("ShowFolders")
                                << QString();
    }
    void plansByWhatExists() {
        QFETCH(QString, path);
        QFETCH(QString, method);
        const RevealPlan plan = PlanReveal(folder() + QLatin1Char('/') + path);
        QCOMPARE(plan.method, method);
        QCOMPARE(plan.folder, folder());
        const QString target = method == QLatin1String("ShowItems") ? file_ : folder();
        QCOMPARE(plan.uri, QUrl::fromLocalFile(target).toString());
    }

    void plansNothingForEmptyOrRelativePaths() {
        QVERIFY(PlanReveal(QString()).method.isEmpty());
        QVERIFY(PlanReveal(QStringLiteral("外部存储\\a.txt")).method.isEmpty());
        QVERIFY(!RevealInFileManager(QStringLiteral("relative.txt")));
    }

    void asksFileManagerOnTheBus() {
        QDBusConnection bus = QDBusConnection::sessionBus();
        QVERIFY2(bus.isConnected(), "the test runs on a private session bus");
        FakeFileManager manager;
        QVERIFY(bus.registerObject(QStringLiteral("/org/freedesktop/FileManager1"), &manager,
                                   QDBusConnection::ExportAllSlots));
        QVERIFY(bus.registerService(QStringLiteral("org.freedesktop.FileManager1")));

        QVERIFY(RevealInFileManager(file_));
        QTRY_COMPARE(manager.calls.size(), 1);
        QCOMPARE(manager.calls.first(),
                 QStringLiteral("ShowItems ") + QUrl::fromLocalFile(file_).toString());
        QVERIFY(RevealInFileManager(folder() + QStringLiteral("/no/such.txt")));
        QTRY_COMPARE(manager.calls.size(), 2);
        QCOMPARE(manager.calls.last(),
                 QStringLiteral("ShowFolders ") + QUrl::fromLocalFile(folder()).toString());
        QTest::qWait(100);
        QVERIFY(opened_.isEmpty());

        bus.unregisterService(QStringLiteral("org.freedesktop.FileManager1"));
        bus.unregisterObject(QStringLiteral("/org/freedesktop/FileManager1"));
    }

    void opensContainingFolderWhenNoFileManagerAnswers() {
        QVERIFY(RevealInFileManager(file_, 1000));
        QTRY_COMPARE_WITH_TIMEOUT(opened_, QStringList{folder()}, 5000);
        // The file itself was neither opened nor run.
        QVERIFY(!QFileInfo::exists(QDir(folder()).filePath(QStringLiteral("ran"))));
        QVERIFY(!QFileInfo::exists(QStringLiteral("ran")));
    }
};

}  // namespace qm

QTEST_MAIN(qm::RevealTest)
#include "reveal_test.moc"
