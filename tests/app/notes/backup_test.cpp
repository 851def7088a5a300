// Backups of the notebook file: the list "历史路径组" and the file names, the copies with their
// pruning, and the counting of changed saves through the real window.
#include "app/notes/backup.h"

#include <QAction>
#include <QtTest>
#include <filesystem>

#include "app/note_window.h"
#include "app/notes/backup_history.h"
#include "app/window/settings_menu.h"
#include "settings/settings_store.h"

using qm::testing::NoteWindow;
using qm::testing::ReadFileBytes;
using qm::testing::WriteFileBytes;

namespace {

namespace fs = std::filesystem;

// Seconds since the epoch of a local time.
std::time_t LocalTime(int year, int month, int day, int hour, int minute, int second) {
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    tm.tm_isdst = -1;
    return std::mktime(&tm);
}

const std::time_t kStart = LocalTime(2024, 5, 1, 9, 3, 7);

// The backup file made at kStart + `second`.
std::string BackupAt(const std::string& folder, int second) {
    return folder + "/备份文件/" + qm::BackupFileName(kStart + second);
}

std::vector<std::string> Files(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(fs::u8path(folder + "/备份文件"), error)) {
        names.push_back(entry.path().filename().u8string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace

class BackupTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { qm::MessageBox::setAnswerInAdvance(true); }
    void init() { qm::MessageBox::clearShown(); }

    void historyText_data();
    void historyText();
    void fileNameFromLocalTime();

    void copyIsTheNotebookFile();
    void eleventhBackupDeletesTheOldest();
    void twoBackupsInOneSecondShareOneName();
    void keepZeroDeletesEveryListedFile();
    void handEditedListKeepsWorking();
    void fewerKeptTakesEffectAtTheNextBackup();
    void unreadableNotebookLeavesAPathThatIsDroppedLater();

    void tenthChangedSaveMakesTheFirstBackup();
    void unchangedLeavesDoNotCount();
    void triggerZeroBacksUpEverySave();
    void counterSurvivesRestart();
    void storedTriggerOutsideTheMenuStaysInUse();
    void menuGroupsReachTheBackup();
};

void BackupTest::historyText_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("entries");
    QTest::newRow("empty") << QString() << QStringList();
    QTest::newRow("one") << QStringLiteral("/a/x.qm") << QStringList{QStringLiteral("/a/x.qm")};
    QTest::newRow("two") << QStringLiteral("/a|/b") << QStringList{"/a", "/b"};
    QTest::newRow("empty entry between bars")
        << QStringLiteral("/a||/b") << QStringList{"/a", "", "/b"};
    QTest::newRow("trailing bar") << QStringLiteral("/a|") << QStringList{"/a", ""};
    QTest::newRow("Chinese path") << QStringLiteral("/程序/备份文件/笔记本_1.qm")
                                  << QStringList{QStringLiteral("/程序/备份文件/笔记本_1.qm")};
}

void BackupTest::historyText() {
    QFETCH(QString, text);
    QFETCH(QStringList, entries);
    const std::vector<std::string> split = qm::SplitHistory(text.toStdString());
    QStringList got;
    for (const std::string& entry : split) got << QString::fromStdString(entry);
    QCOMPARE(got, entries);
    QCOMPARE(QString::fromStdString(qm::JoinHistory(split)), text);
}

void BackupTest::fileNameFromLocalTime() {
    QCOMPARE(QString::fromStdString(qm::BackupFileName(kStart)),
             QStringLiteral("笔记本_2024-05-01 09-03-07.qm"));
    QCOMPARE(QString::fromStdString(qm::BackupFileName(LocalTime(2031, 12, 30, 23, 59, 58))),
             QStringLiteral("笔记本_2031-12-30 23-59-58.qm"));
}

// A settings store and a notebook file in a temporary program folder, and a Backup on them
// whose clock reads kStart + *second.
class BackupFixture {
public:
    explicit BackupFixture(const QString& settings = {}) {
        WriteFileBytes(dir.File("笔记本.qm"), "notebook bytes\x1e\x1e" + std::string(1, '\0'));
        if (!settings.isEmpty()) {
            WriteFileBytes(dir.File("Quelmar·Corvanel.ini"), qm::ToGb(settings));
        }
        store.open(dir.File("Quelmar·Corvanel.ini"));
        backup = std::make_unique<qm::Backup>(&store, QString::fromStdString(dir.path()));
        backup->setClock([this] { return kStart + second; });
    }
    std::string made(int at) {
        second = at;
        return backup->run().toStdString();
    }
    std::string stored() const { return ReadFileBytes(dir.File("Quelmar·Corvanel.ini")); }

    qm::testing::TempDir dir;
    qm::SettingsStore store;
    std::unique_ptr<qm::Backup> backup;
    int second = 0;
};

void BackupTest::copyIsTheNotebookFile() {
    BackupFixture f;
    const std::string path = f.made(0);
    QCOMPARE(path, BackupAt(f.dir.path(), 0));
    QCOMPARE(ReadFileBytes(path), ReadFileBytes(f.dir.File("笔记本.qm")));
    QCOMPARE(f.stored(),
             qm::ToGb(QStringLiteral("[主界面]\r\n历史路径组=") + QString::fromStdString(path)));
    QCOMPARE(Files(f.dir.path()), std::vector<std::string>{qm::BackupFileName(kStart)});
}

void BackupTest::eleventhBackupDeletesTheOldest() {
    BackupFixture f;
    for (int i = 0; i < 10; ++i) f.made(i);
    QCOMPARE(Files(f.dir.path()).size(), size_t{10});
    f.made(10);
    const std::vector<std::string> files = Files(f.dir.path());
    QCOMPARE(files.size(), size_t{10});
    QCOMPARE(files.front(), qm::BackupFileName(kStart + 1));  // the oldest, +0, is gone
    QCOMPARE(files.back(), qm::BackupFileName(kStart + 10));
    QCOMPARE(f.backup->history().size(), size_t{10});
    QCOMPARE(f.backup->history().front(), BackupAt(f.dir.path(), 10));  // newest first
    QCOMPARE(f.backup->history().back(), BackupAt(f.dir.path(), 1));
    std::vector<std::string> expected;
    for (int i = 10; i >= 1; --i) expected.push_back(BackupAt(f.dir.path(), i));
    QCOMPARE(f.stored(), qm::ToGb(QStringLiteral("[主界面]\r\n历史路径组=") +
                                  QString::fromStdString(qm::JoinHistory(expected))));
}

void BackupTest::twoBackupsInOneSecondShareOneName() {
    BackupFixture f;
    f.made(5);
    WriteFileBytes(f.dir.File("笔记本.qm"), "changed in the same second");
    f.made(5);
    QCOMPARE(f.backup->history(), std::vector<std::string>{BackupAt(f.dir.path(), 5)});
    QCOMPARE(Files(f.dir.path()), std::vector<std::string>{qm::BackupFileName(kStart + 5)});
    QCOMPARE(ReadFileBytes(BackupAt(f.dir.path(), 5)), std::string("changed in the same second"));
}

void BackupTest::keepZeroDeletesEveryListedFile() {
    BackupFixture f;
    f.made(0);
    f.made(1);
    WriteFileBytes(f.dir.File("备份文件/copied by hand.qm"), "mine");
    f.backup->setKeep(0);
    const std::string path = f.made(2);
    QCOMPARE(f.backup->history(), std::vector<std::string>{});
    // The new copy is written all the same, unlisted; a file the list never named stays.
    const std::vector<std::string> expected{"copied by hand.qm", qm::BackupFileName(kStart + 2)};
    QCOMPARE(Files(f.dir.path()), expected);
    QCOMPARE(ReadFileBytes(path), ReadFileBytes(f.dir.File("笔记本.qm")));
    QCOMPARE(f.stored(), qm::ToGb(QStringLiteral("[主界面]\r\n历史路径组=")));
}

void BackupTest::handEditedListKeepsWorking() {
    qm::testing::TempDir other;
    const std::string kept = other.File("kept.qm");
    const std::string missing = other.File("missing.qm");
    WriteFileBytes(kept, "old backup");
    BackupFixture f(QStringLiteral("[主界面]\r\n历史路径组=") + QString::fromStdString(missing) +
                    QStringLiteral("||") + QString::fromStdString(kept));
    QCOMPARE(f.backup->history().size(), size_t{3});
    const std::string path = f.made(0);
    const std::vector<std::string> expected{path, kept};
    QCOMPARE(f.backup->history(), expected);
    QCOMPARE(ReadFileBytes(kept), std::string("old backup"));
    QVERIFY(f.stored().find(qm::ToGb(QString::fromStdString(path + "|" + kept))) !=
            std::string::npos);
}

void BackupTest::fewerKeptTakesEffectAtTheNextBackup() {
    BackupFixture f(QStringLiteral("[主界面]\r\n保持备份数=100"));
    QCOMPARE(f.backup->keep(), 100);
    for (int i = 0; i < 15; ++i) f.made(i);
    QCOMPARE(Files(f.dir.path()).size(), size_t{15});
    f.backup->setKeep(10);
    QCOMPARE(Files(f.dir.path()).size(), size_t{15});  // nothing deleted yet
    f.made(15);
    const std::vector<std::string> files = Files(f.dir.path());
    QCOMPARE(files.size(), size_t{10});
    QCOMPARE(files.front(), qm::BackupFileName(kStart + 6));
}

void BackupTest::unreadableNotebookLeavesAPathThatIsDroppedLater() {
    BackupFixture f;
    fs::remove(fs::u8path(f.dir.File("笔记本.qm")));
    const std::string failed = f.made(0);
    QCOMPARE(f.backup->history(), std::vector<std::string>{failed});  // listed all the same
    QVERIFY(!fs::exists(fs::u8path(failed)));
    QVERIFY(Files(f.dir.path()).empty());  // no half copy left behind
    WriteFileBytes(f.dir.File("笔记本.qm"), "back again");
    const std::string made = f.made(1);
    QCOMPARE(f.backup->history(), std::vector<std::string>{made});
}

// Window tests: one changed save = choose note 1, change its text, choose note 2.
namespace {

void ChangedSave(NoteWindow& w, int n) {
    w.click(1);
    w.type(QStringLiteral("第 %1 次修改").arg(n));
    w.click(2);
}

void CountBackupsByClock(NoteWindow& w, int* made) {
    w.window().backup()->setClock([made] { return kStart + (*made)++; });
}

}  // namespace

void BackupTest::tenthChangedSaveMakesTheFirstBackup() {
    NoteWindow w;
    w.writeNotebook(2);
    w.start();
    int made = 0;
    CountBackupsByClock(w, &made);
    for (int i = 1; i <= 9; ++i) ChangedSave(w, i);
    QCOMPARE(made, 0);
    QVERIFY(w.settingsHold(QStringLiteral("当前保存序号=9")));
    ChangedSave(w, 10);
    QCOMPARE(made, 1);
    QVERIFY(w.settingsHold(QStringLiteral("当前保存序号=0")));
    const std::string copy = BackupAt(w.folder(), 0);
    // The copy holds the tenth text: the save came before the backup.
    QVERIFY(ReadFileBytes(copy).find(qm::ToGb(QStringLiteral("第 10 次修改"))) !=
            std::string::npos);
    for (int i = 11; i <= 20; ++i) ChangedSave(w, i);
    QCOMPARE(made, 2);
}

void BackupTest::unchangedLeavesDoNotCount() {
    NoteWindow w;
    w.writeNotebook(2);
    w.writeSettings(QStringLiteral("[主界面]\r\n当前保存序号=9"));
    w.start();
    int made = 0;
    CountBackupsByClock(w, &made);
    for (int i = 0; i < 5; ++i) {
        w.click(1);
        w.click(2);
    }
    QCOMPARE(made, 0);
    QCOMPARE(w.window().backup()->counter(), 9);
    ChangedSave(w, 1);
    QCOMPARE(made, 1);
}

void BackupTest::triggerZeroBacksUpEverySave() {
    NoteWindow w;
    w.writeNotebook(2);
    w.start();
    int made = 0;
    CountBackupsByClock(w, &made);
    w.window().settingsMenu()->action(QStringLiteral("每保存10次备份"))->trigger();
    QCOMPARE(w.window().backup()->trigger(), 0);
    QVERIFY(w.settingsHold(QStringLiteral("触发备份的保存数=0")));
    for (int i = 1; i <= 3; ++i) {
        ChangedSave(w, i);
        QCOMPARE(made, i);
    }
    QCOMPARE(Files(w.folder()).size(), size_t{3});
}

void BackupTest::counterSurvivesRestart() {
    NoteWindow w;
    w.writeNotebook(2);
    w.start();
    for (int i = 1; i <= 6; ++i) ChangedSave(w, i);
    w.restart();
    QCOMPARE(w.window().backup()->counter(), 6);
    int made = 0;
    CountBackupsByClock(w, &made);
    for (int i = 7; i <= 9; ++i) ChangedSave(w, i);
    QCOMPARE(made, 0);
    ChangedSave(w, 10);
    QCOMPARE(made, 1);
}

void BackupTest::storedTriggerOutsideTheMenuStaysInUse() {
    NoteWindow w;
    w.writeNotebook(2);
    w.writeSettings(QStringLiteral("[主界面]\r\n触发备份的保存数=3\r\n保持备份数=2"));
    w.start();
    for (const char* caption : {"每保存10次备份", "每保存30次备份", "每保存100次备份"}) {
        QVERIFY(!w.window().settingsMenu()->action(QString::fromUtf8(caption))->isChecked());
    }
    int made = 0;
    CountBackupsByClock(w, &made);
    for (int i = 1; i <= 9; ++i) ChangedSave(w, i);
    QCOMPARE(made, 3);
    QCOMPARE(Files(w.folder()).size(), size_t{2});  // kept 2
}

void BackupTest::menuGroupsReachTheBackup() {
    NoteWindow w;
    w.writeNotebook(1);
    w.start();
    qm::SettingsMenu* menu = w.window().settingsMenu();
    menu->action(QStringLiteral("每保存30次备份"))->trigger();
    QCOMPARE(w.window().backup()->trigger(), 30);
    menu->action(QStringLiteral("保持备份数100个"))->trigger();
    QCOMPARE(w.window().backup()->keep(), 100);
    menu->action(QStringLiteral("保持备份数100个"))->trigger();
    QCOMPARE(w.window().backup()->keep(), 0);
    QVERIFY(w.settingsHold(QStringLiteral("保持备份数=0")));

    int made = 0;
    CountBackupsByClock(w, &made);
    menu->action(QStringLiteral("现在执行一次备份"))->trigger();
    QCOMPARE(made, 1);
    QCOMPARE(qm::MessageBox::shown().size(), 1);
    QCOMPARE(qm::MessageBox::shown().at(0).text,
             QStringLiteral("已备份最新数据状态到\r\n") +
                 QString::fromStdString(BackupAt(w.folder(), 0)));
}

QTEST_MAIN(BackupTest)
#include "backup_test.moc"
