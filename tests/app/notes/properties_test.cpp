// The note properties dialog on the real window: what it shows, that it follows the loaded
// note, ".." and its right click, and "修改" pointing a note at another file without losing
// any file or any typed text.
#include <QLineEdit>
#include <QPushButton>
#include <filesystem>

#include "app/note_window.h"
#include "app/notes/note_properties.h"
#include "app/notes/properties_dialog.h"
#include "app/tree_commands/tree_menus.h"
#include "app/widgets/file_dialog.h"
#include "app/widgets/reveal_in_file_manager.h"

namespace qm {

using testing::NoteWindow;
using testing::ReadFileBytes;
using testing::WriteFileBytes;

class PropertiesTest : public QObject {
    Q_OBJECT

    std::unique_ptr<NoteWindow> w_;
    std::unique_ptr<testing::TempDir> outside_;  // the user's own folder, outside the program's
    QStringList opened_;

    PropertiesDialog* open() {
        w_->window().properties()->open();
        return w_->window().properties()->dialog();
    }
    QString out(const char* name) const { return QString::fromStdString(outside_->File(name)); }
    std::string gb(const char* utf8) const { return ToGb(QString::fromUtf8(utf8)); }
    bool infoShown(const QString& text) const {
        for (const MessageBox::Record& r : MessageBox::shown()) {
            if (r.text == text) return true;
        }
        return false;
    }
    // Types a path into the dialog and clicks "修改".
    void change(PropertiesDialog* dialog, const QString& path) {
        dialog->setPathText(path);
        QPushButton* button = dialog->findChild<QPushButton*>(QStringLiteral("按钮修改"));
        QVERIFY(button->isEnabled());
        button->click();
    }

private slots:
    void initTestCase() {
        // No file manager on the bus: revealing opens a folder, which the test records.
        qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/bus");
        SetFolderOpenerForTesting([this](const QString& folder) { opened_ << folder; });
        MessageBox::setAnswerInAdvance(true);
    }
    void init() {
        MessageBox::clearShown();
        FileDialog::reset();
        opened_.clear();
        outside_ = std::make_unique<testing::TempDir>();
        w_ = std::make_unique<NoteWindow>();
        NodeFields own;
        own.body = "record body";
        w_->writeNotebook(3, 1, own);
        w_->start();
        w_->click(1);
    }
    void cleanup() { w_.reset(); }

    void showsLoadedNoteTitleTimesAndPath() {
        PropertiesDialog* dialog = open();
        QVERIFY(dialog != nullptr);
        QVERIFY(dialog->isVisible());
        QVERIFY(!dialog->isModal());
        QCOMPARE(dialog->windowTitle(), QStringLiteral("笔记0的属性："));
        QCOMPARE(dialog->pathText(), QString());
        for (const auto& [name, field] :
             {std::pair{"编辑框创建时间", 11}, std::pair{"编辑框修改时间", 12},
              std::pair{"编辑框访问时间", 13}}) {
            auto* box = dialog->findChild<QLineEdit*>(QString::fromUtf8(name));
            QVERIFY(box != nullptr);
            QVERIFY(box->isReadOnly());
            QCOMPARE(box->text(), FromGb(w_->field(1, field)));
            QVERIFY(!box->text().isEmpty());
        }
        // "修改" follows the difference from the kept path.
        QVERIFY(!dialog->changeEnabled());
        dialog->setPathText(QStringLiteral("a.txt"));
        QVERIFY(dialog->changeEnabled());
        dialog->setPathText(QString());
        QVERIFY(!dialog->changeEnabled());
    }

    void followsEveryNoteLoadAndDropsUnappliedEdits() {
        PropertiesDialog* dialog = open();
        dialog->setPathText(QStringLiteral("typed.txt"));
        w_->click(3);
        QCOMPARE(dialog->windowTitle(), QStringLiteral("笔记2的属性："));
        QCOMPARE(dialog->pathText(), QString());
        QVERIFY(!dialog->changeEnabled());
        // A second "属性" reuses the same dialog.
        QCOMPARE(open(), dialog);
        dialog->findChild<QPushButton*>(QStringLiteral("按钮关闭"))->click();
        QTRY_VERIFY(w_->window().properties()->dialog() == nullptr);
        w_->click(1);  // a load with the dialog gone opens nothing
        QVERIFY(w_->window().properties()->dialog() == nullptr);
    }

    void chooseButtonPutsChosenPathIntoBox() {
        PropertiesDialog* dialog = open();
        auto* choose = dialog->findChild<QPushButton*>(QStringLiteral("按钮选择路径"));
        QCOMPARE(choose->text(), QStringLiteral(".."));
        FileDialog::setNextFileName(out("chosen.txt"));
        choose->click();
        QCOMPARE(dialog->pathText(), out("chosen.txt"));
        QVERIFY(dialog->changeEnabled());
        FileDialog::setNextFileName(QString());  // cancelled: the box stays
        choose->click();
        QCOMPARE(dialog->pathText(), out("chosen.txt"));
        QCOMPARE(FileDialog::answeredCount(), 2);
    }

    void startFolderIsTextBeforeLastSeparator_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("folder");
        QTest::newRow("backslashes")
            << QStringLiteral("外部存储\\sub\\a.txt") << QStringLiteral("外部存储\\sub");
        QTest::newRow("slashes") << QStringLiteral("/home/u/a.txt") << QStringLiteral("/home/u");
        QTest::newRow("none") << QStringLiteral("a.txt") << QString();
        QTest::newRow("empty") << QString() << QString();
    }
    void startFolderIsTextBeforeLastSeparator() {
        QFETCH(QString, text);
        QFETCH(QString, folder);
        QCOMPARE(PropertiesDialog::StartFolder(text), folder);
    }

    void rightClickOnChooseRevealsTheFile() {
        WriteFileBytes(outside_->File("mine.txt"), "mine");
        PropertiesDialog* dialog = open();
        dialog->setPathText(out("mine.txt"));
        auto* choose = dialog->findChild<QPushButton*>(QStringLiteral("按钮选择路径"));
        QTest::mouseClick(choose, Qt::RightButton);
        QTRY_COMPARE(opened_, QStringList{QString::fromStdString(outside_->path())});
        QCOMPARE(FileDialog::answeredCount(), 0);  // no file dialog on a right click
    }

    // The record body goes out to a new file of the user's choice.
    void changeWritesBodyToNewFile() {
        PropertiesDialog* dialog = open();
        change(dialog, out("new.txt"));
        QCOMPARE(ReadFileBytes(outside_->File("new.txt")), std::string("record body"));
        QCOMPARE(w_->field(1, 8), ToGb(out("new.txt")));
        QVERIFY(infoShown(QStringLiteral("修改真")));
        QCOMPARE(dialog->keptPath(), out("new.txt"));
        QVERIFY(!dialog->changeEnabled());
        QCOMPARE(w_->shown(), QStringLiteral("record body"));
    }

    // Text typed but not yet saved is saved first and travels to the new file; the editor never
    // writes the old text over it afterwards.
    void typedTextIsSavedBeforeAndFollowsTheChange() {
        w_->type(QStringLiteral("刚输入的文字"));
        change(open(), out("typed.txt"));
        QCOMPARE(ReadFileBytes(outside_->File("typed.txt")), gb("刚输入的文字"));
        w_->click(2);
        w_->click(1);
        QCOMPARE(w_->shown(), QStringLiteral("刚输入的文字"));
        QCOMPARE(ReadFileBytes(outside_->File("typed.txt")), gb("刚输入的文字"));
    }

    // A note tied to a file of the user's: changing the path copies it, clearing it copies its
    // text back into the record; the user's file is never moved or deleted.
    void userFileIsNeverMovedOrDeleted() {
        WriteFileBytes(outside_->File("mine.txt"), gb("用户的文件"));
        PropertiesDialog* dialog = open();
        change(dialog, out("mine.txt"));
        QVERIFY(MessageBox::shown().size() >= 1);
        QCOMPARE(MessageBox::shown().first().kind, MessageBox::Kind::kQuestion);  // it exists
        QCOMPARE(w_->shown(), QStringLiteral("用户的文件"));
        QCOMPARE(ReadFileBytes(outside_->File("mine.txt")), gb("用户的文件"));

        change(dialog, out("copy.txt"));
        QCOMPARE(ReadFileBytes(outside_->File("mine.txt")), gb("用户的文件"));
        QCOMPARE(ReadFileBytes(outside_->File("copy.txt")), gb("用户的文件"));
        QCOMPARE(w_->field(1, 8), ToGb(out("copy.txt")));

        change(dialog, QString());
        QVERIFY(std::filesystem::exists(outside_->File("copy.txt")));
        QCOMPARE(w_->field(1, 8), std::string());
        QCOMPARE(w_->field(1, 7), gb("用户的文件"));
        QCOMPARE(w_->shown(), QStringLiteral("用户的文件"));
    }

    // A file of the program's own storage is moved to the new path, or folded back and deleted
    // when the path is cleared.
    void ownStorageFileIsMovedOrFoldedBack() {
        const std::string own = gb("外部存储\\ABCDEFGH.txt");
        QVERIFY(w_->notebook().SetField(2, 8, own));
        const std::string ownFile = w_->file("外部存储/ABCDEFGH.txt");
        WriteFileBytes(ownFile, gb("长笔记"));
        w_->click(2);
        QCOMPARE(w_->shown(), QStringLiteral("长笔记"));
        change(open(), out("moved.txt"));
        QVERIFY(!std::filesystem::exists(ownFile));
        QCOMPARE(ReadFileBytes(outside_->File("moved.txt")), gb("长笔记"));

        change(open(), QString::fromUtf8("外部存储\\BACK.txt"));
        QCOMPARE(ReadFileBytes(w_->file("外部存储/BACK.txt")), gb("长笔记"));
        change(open(), QString());
        QVERIFY(!std::filesystem::exists(w_->file("外部存储/BACK.txt")));
        QVERIFY(std::filesystem::exists(outside_->File("moved.txt")));  // the user's now
        QCOMPARE(w_->field(2, 7), gb("长笔记"));
        QCOMPARE(w_->shown(), QStringLiteral("长笔记"));
    }

    // An existing file at the new path is asked about: "否" changes nothing, "是" makes it the
    // body with its content untouched.
    void existingFileIsAskedAboutNeverOverwritten() {
        WriteFileBytes(outside_->File("there.txt"), "already there");
        PropertiesDialog* dialog = open();
        MessageBox::setNextAnswer(QMessageBox::No);
        change(dialog, out("there.txt"));
        QCOMPARE(ReadFileBytes(outside_->File("there.txt")), std::string("already there"));
        QCOMPARE(w_->field(1, 8), std::string());
        QCOMPARE(w_->shown(), QStringLiteral("record body"));
        QVERIFY(!infoShown(QStringLiteral("修改真")));

        MessageBox::setNextAnswer(QMessageBox::Yes);
        change(dialog, out("there.txt"));
        QCOMPARE(ReadFileBytes(outside_->File("there.txt")), std::string("already there"));
        QCOMPARE(w_->field(1, 8), ToGb(out("there.txt")));
        QCOMPARE(w_->shown(), QStringLiteral("already there"));
        QVERIFY(infoShown(QStringLiteral("修改真")));
    }

    void failedWriteKeepsOldPathAndSaysSo() {
        WriteFileBytes(outside_->File("plain"), "a file, not a folder");
        PropertiesDialog* dialog = open();
        change(dialog, out("plain") + QStringLiteral("/sub.txt"));
        QVERIFY(infoShown(QStringLiteral("修改假")));
        QCOMPARE(w_->field(1, 8), std::string());
        QCOMPARE(w_->field(1, 7), std::string("record body"));
        QCOMPARE(dialog->pathText(), QString());  // the dialog shows the path the note still has
    }

    // The editor's note is the one changed, even when the tree's selection moved away quietly.
    void actsOnLoadedNoteNotOnSelection() {
        QVERIFY(w_->notes().selectQuietly(3));
        QCOMPARE(w_->notes().loadedNote(), 1);
        change(open(), out("loaded.txt"));
        QCOMPARE(w_->field(1, 8), ToGb(out("loaded.txt")));
        QCOMPARE(w_->field(3, 8), std::string());
        QCOMPARE(ReadFileBytes(outside_->File("loaded.txt")), std::string("record body"));
    }

    void notebookMenuHasTheEntries() {
        QAction* properties =
            w_->window().treeMenus()->notebookMenu().entry(QStringLiteral("属性"));
        QVERIFY(properties != nullptr);
        properties->trigger();
        QVERIFY(w_->window().properties()->dialog() != nullptr);
        QVERIFY(w_->window().treeMenus()->notebookMenu().entry(QStringLiteral("重新运行本软件")));
    }
};

}  // namespace qm

QTEST_MAIN(qm::PropertiesTest)
#include "properties_test.moc"
