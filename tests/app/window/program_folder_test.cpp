// Where the program keeps its data: beside a portable executable, else in the XDG data folder.
#include "app/window/program_folder.h"

#include <QtTest>

#include "support/temp_dir.h"

class ProgramFolderTest : public QObject {
    Q_OBJECT
private slots:
    void choosesFolder_data();
    void choosesFolder();
    void entersAndCreatesFolder();
    void refusesFolderThatCannotExist();
};

void ProgramFolderTest::choosesFolder_data() {
    QTest::addColumn<QString>("marker");  // file put beside the executable, empty for none
    QTest::addColumn<QString>("xdgDataHome");
    QTest::addColumn<QString>("expected");  // "<exe>" = the executable's folder
    const QString xdgDefault = QStringLiteral("/home/u/.local/share/Quelmar·Corvanel");
    QTest::newRow("portable marker")
        << QStringLiteral("portable") << QString() << QStringLiteral("<exe>");
    QTest::newRow("notebook beside the program")
        << QStringLiteral("笔记本.qm") << QStringLiteral("/data") << QStringLiteral("<exe>");
    QTest::newRow("no marker, no XDG_DATA_HOME") << QString() << QString() << xdgDefault;
    QTest::newRow("no marker, XDG_DATA_HOME set")
        << QString() << QStringLiteral("/data/") << QStringLiteral("/data/Quelmar·Corvanel");
    QTest::newRow("relative XDG_DATA_HOME is ignored")
        << QString() << QStringLiteral("data") << xdgDefault;
    QTest::newRow("other files do not count")
        << QStringLiteral("回收站.qm") << QString() << xdgDefault;
}

void ProgramFolderTest::choosesFolder() {
    QFETCH(QString, marker);
    QFETCH(QString, xdgDataHome);
    QFETCH(QString, expected);
    qm::testing::TempDir exe;
    const QString exeFolder = QString::fromStdString(exe.path());
    if (!marker.isEmpty()) qm::testing::WriteFileBytes(exe.File(marker.toStdString()), "");
    const qm::FolderSources sources{exeFolder, xdgDataHome, QStringLiteral("/home/u")};
    expected.replace(QStringLiteral("<exe>"), exeFolder);
    QCOMPARE(qm::ChooseProgramFolder(sources), expected);
}

void ProgramFolderTest::entersAndCreatesFolder() {
    qm::testing::TempDir dir;
    const QString before = QDir::currentPath();
    const QString folder = QString::fromStdString(dir.File("数据/Quelmar·Corvanel"));
    QVERIFY(qm::EnterProgramFolder(folder));
    QVERIFY(QFileInfo(folder).isDir());
    QCOMPARE(QFileInfo(QDir::currentPath()).canonicalFilePath(),
             QFileInfo(folder).canonicalFilePath());
    QDir::setCurrent(before);
}

void ProgramFolderTest::refusesFolderThatCannotExist() {
    qm::testing::TempDir dir;
    qm::testing::WriteFileBytes(dir.File("a-file"), "x");
    const QString before = QDir::currentPath();
    QVERIFY(!qm::EnterProgramFolder(QString::fromStdString(dir.File("a-file/sub"))));
    QVERIFY(!qm::EnterProgramFolder(QString()));
    QCOMPARE(QDir::currentPath(), before);
}

QTEST_MAIN(ProgramFolderTest)
#include "program_folder_test.moc"
