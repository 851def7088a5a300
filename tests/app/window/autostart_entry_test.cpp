// The XDG autostart entry that starts the program hidden: its Exec line and keeping it in step.
#include "app/window/autostart_entry.h"

#include <QtTest>

#include "support/temp_dir.h"

namespace {

QString ExecLine(const QByteArray& content) {
    for (const QByteArray& line : content.split('\n')) {
        if (line.startsWith("Exec=")) return QString::fromUtf8(line.mid(5));
    }
    return {};
}

}  // namespace

class AutostartEntryTest : public QObject {
    Q_OBJECT
private slots:
    void execLineQuotesThePath_data();
    void execLineQuotesThePath();
    void fileLivesInTheAutostartFolder();
    void syncWritesRewritesAndDeletes();
    void syncReportsFolderThatCannotBeMade();
};

void AutostartEntryTest::execLineQuotesThePath_data() {
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("exec");
    QTest::newRow("plain") << QStringLiteral("/opt/qm/corvanel")
                           << QStringLiteral("\"/opt/qm/corvanel\" \"yes\"");
    QTest::newRow("spaces and Chinese") << QStringLiteral("/home/u/我的 笔记/corvanel")
                                        << QStringLiteral("\"/home/u/我的 笔记/corvanel\" \"yes\"");
    QTest::newRow("quote, dollar, backquote")
        << QStringLiteral("/a\"b$c`d/corvanel")
        << QStringLiteral("\"/a\\\\\"b\\\\$c\\\\`d/corvanel\" \"yes\"");
    QTest::newRow("backslash and percent") << QStringLiteral("/a\\b%c/corvanel")
                                           << QStringLiteral("\"/a\\\\\\\\b%%c/corvanel\" \"yes\"");
}

void AutostartEntryTest::execLineQuotesThePath() {
    QFETCH(QString, program);
    QFETCH(QString, exec);
    const qm::AutostartEntry entry(QStringLiteral("/tmp/unused"), program);
    QCOMPARE(ExecLine(entry.expectedContent()), exec);
    QVERIFY(entry.expectedContent().startsWith("[Desktop Entry]\n"));
}

void AutostartEntryTest::fileLivesInTheAutostartFolder() {
    const qm::AutostartEntry entry(QStringLiteral("/x/autostart"), QStringLiteral("/p"));
    QCOMPARE(entry.filePath(), QStringLiteral("/x/autostart/Quelmar·Corvanel.desktop"));
}

void AutostartEntryTest::syncWritesRewritesAndDeletes() {
    qm::testing::TempDir dir;
    const QString folder = QString::fromStdString(dir.File("config/autostart"));
    const qm::AutostartEntry entry(folder, QStringLiteral("/opt/qm/corvanel"));
    QVERIFY(entry.sync(false));  // nothing there, nothing to delete
    QVERIFY(!entry.exists());

    QVERIFY(entry.sync(true));  // creates the folder and the file
    QVERIFY(entry.isCurrent());

    // A copy moved elsewhere left an entry for another path: it is rewritten.
    const qm::AutostartEntry moved(folder, QStringLiteral("/new/place/corvanel"));
    QVERIFY(!moved.isCurrent());
    QVERIFY(moved.sync(true));
    QCOMPARE(ExecLine(QByteArray::fromStdString(
                 qm::testing::ReadFileBytes(moved.filePath().toStdString()))),
             QStringLiteral("\"/new/place/corvanel\" \"yes\""));

    QVERIFY(moved.sync(false));
    QVERIFY(!QFileInfo::exists(moved.filePath()));
}

void AutostartEntryTest::syncReportsFolderThatCannotBeMade() {
    qm::testing::TempDir dir;
    qm::testing::WriteFileBytes(dir.File("file"), "x");
    const qm::AutostartEntry entry(QString::fromStdString(dir.File("file/autostart")),
                                   QStringLiteral("/p"));
    QVERIFY(!entry.sync(true));
    QVERIFY(!entry.exists());
}

QTEST_MAIN(AutostartEntryTest)
#include "autostart_entry_test.moc"
