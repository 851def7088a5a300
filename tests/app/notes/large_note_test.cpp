// Notes of megabytes in the real window: their text is converted and written off the window's
// thread, and must reach the file byte for byte (GB18030 both ways, characters GBK lacks
// included); an unchanged note is not written again; undo stays within the note shown.
#include <sys/stat.h>

#include <QSignalSpy>
#include <QtTest>
#include <filesystem>
#include <string>

#include "app/note_window.h"
#include "app/notes/auto_save.h"
#include "common/charset.h"
#include "editor/off_thread.h"
#include "store/tree_store.h"

using qm::testing::NoteWindow;
using qm::testing::ReadFileBytes;

namespace {

// About `bytes` bytes of GB18030 text of ideographs, four-byte characters, ASCII and, when
// `breaks`, CR LF line breaks, ending in `tail`.
std::string LargeText(size_t bytes, bool breaks, const std::string& tail) {
    const std::string piece = qm::Utf8ToGb18030("会议记录 notes 😀 𠀀 ，") + (breaks ? "\r\n" : "");
    std::string text;
    text.reserve(bytes + piece.size() + tail.size());
    while (text.size() < bytes) text += piece;
    return text + tail;
}

// The file-system path of note `node`'s external body as stored on disk.
std::string BodyFile(NoteWindow& w, int node) { return w.notebook().ResolvePath(w.field(node, 8)); }

ino_t Inode(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

}  // namespace

class LargeNoteTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { qm::MessageBox::setAnswerInAdvance(true); }
    void init() {
        qm::MessageBox::clearShown();
        w_ = std::make_unique<NoteWindow>();
    }
    void cleanup() { w_.reset(); }

    void savedTextReachesTheFileByteForByte_data();
    void savedTextReachesTheFileByteForByte();
    void unchangedLargeNoteIsNotWrittenAgain();
    void undoStaysWithinTheNoteShown();
    void automaticSaveDuringALoadWritesNothing();
    void typingGoesOnWhileABackgroundSaveRuns();
    void longBodyInItsRecordAtStartUp_data();
    void longBodyInItsRecordAtStartUp();

private:
    std::unique_ptr<NoteWindow> w_;
};

void LargeNoteTest::savedTextReachesTheFileByteForByte_data() {
    QTest::addColumn<bool>("breaks");
    QTest::addColumn<int>("megabytes");
    QTest::addColumn<bool>("automatic");
    QTest::newRow("lines, F12") << true << 3 << false;
    QTest::newRow("lines, automatic save") << true << 3 << true;
    QTest::newRow("one long line, F12") << false << 2 << false;
}

void LargeNoteTest::savedTextReachesTheFileByteForByte() {
    QFETCH(bool, breaks);
    QFETCH(int, megabytes);
    QFETCH(bool, automatic);
    const std::string text = LargeText(static_cast<size_t>(megabytes) << 20, breaks, "");
    QVERIFY(text.size() >= qm::kOffThreadBytes);
    w_->writeNotebook(2);
    w_->start();
    w_->click(1);
    w_->editor().setText(text);
    w_->editor().showRange(w_->editor().textLength(), 0);
    w_->editor().insertText(qm::Utf8ToGb18030("尾😀"));  // typed at the end
    const std::string expected = text + qm::Utf8ToGb18030("尾😀");
    if (automatic) {
        // In the background: the call returns at once, the signal follows the write.
        QSignalSpy saved(&w_->notes(), &qm::NoteSession::backgroundSaved);
        QVERIFY(!w_->notes().saveUnsavedChanges());
        w_->notes().waitForBackgroundSave();
        QCOMPARE(saved.size(), 1);
    } else {
        QTest::keyClick(w_->editor().focusProxy(), Qt::Key_F12);
        QCoreApplication::processEvents();
    }
    QVERIFY(!w_->notes().busy());
    QVERIFY(w_->notes().loadedText() == expected);
    QCOMPARE(w_->field(1, 7), std::string());  // the body lives in its own file
    QVERIFY(ReadFileBytes(BodyFile(*w_, 1)) == expected);

    // Shown again after a restart: the same bytes come back from the file into the editor.
    w_->restart();
    w_->click(1);
    QVERIFY(w_->editor().getText() == expected);
}

void LargeNoteTest::unchangedLargeNoteIsNotWrittenAgain() {
    const std::string text = LargeText(2u << 20, true, "end");
    w_->writeNotebook(2);
    w_->start();
    w_->click(1);
    w_->editor().setText(text);
    w_->click(2);  // the changed save writes the file
    const std::string file = BodyFile(*w_, 1);
    const ino_t written = Inode(file);
    QVERIFY(written != 0);
    const std::string modified = w_->field(1, 12);

    w_->click(1);
    w_->editor().showRange(5, 3);
    w_->click(2);                    // unchanged: only the selection is stored
    QCOMPARE(Inode(file), written);  // every write replaces the file by a new one
    QCOMPARE(w_->field(1, 9), std::string("5"));
    QCOMPARE(w_->field(1, 10), std::string("3"));
    QCOMPARE(w_->field(1, 12), modified);

    // An edit undone is unchanged text too, found by comparing.
    w_->click(1);
    w_->editor().insertText("x");
    w_->editor().undo();
    QSignalSpy saved(&w_->notes(), &qm::NoteSession::backgroundSaved);
    QVERIFY(!w_->notes().saveUnsavedChanges());
    w_->notes().waitForBackgroundSave();
    QCOMPARE(saved.size(), 0);
    QCOMPARE(Inode(file), written);
}

void LargeNoteTest::undoStaysWithinTheNoteShown() {
    w_->writeNotebook(2);
    w_->start();
    w_->click(1);
    w_->type(QStringLiteral("第一条"));
    w_->editor().showRange(w_->editor().textLength(), 0);
    w_->editor().insertText("typed");
    w_->click(2);
    QVERIFY(!w_->editor().canUndo());
    w_->editor().undo();
    QCOMPARE(w_->shown(), QString());
    w_->click(1);
    QCOMPARE(w_->shown(), QStringLiteral("第一条typed"));
}

// The window answers timers while a large note is laid into the editor: an automatic save due
// then must not write the editor's old text into the note being loaded.
void LargeNoteTest::automaticSaveDuringALoadWritesNothing() {
    const std::string large = LargeText(6u << 20, true, "large end");
    qm::NodeFields fields;
    fields.body = large;
    fields.externalPath = qm::NoteSession::NewExternalName();
    w_->writeNotebook(2, 2, fields);
    w_->start();
    w_->window().autoSave()->setDelay(0);
    w_->window().autoSave()->setLongestWait(0);
    w_->click(1);
    w_->type(QStringLiteral("typed into the first note"));
    w_->click(2);  // saves note 1, then loads note 2 while the timer is due
    QVERIFY(w_->editor().getText() == large);
    QTest::qWait(50);
    QVERIFY(ReadFileBytes(BodyFile(*w_, 2)) == large);
    QCOMPARE(qm::FromGb(w_->field(1, 7)), QStringLiteral("typed into the first note"));
}

// The automatic save of a large note does not hold the user up: text typed while it runs is
// taken by the next one, asked for meanwhile, and a switch waits for both to end.
void LargeNoteTest::typingGoesOnWhileABackgroundSaveRuns() {
    const std::string text = LargeText(4u << 20, true, "");
    w_->writeNotebook(2);
    w_->start();
    w_->click(1);
    w_->editor().setText(text);
    QVERIFY(!w_->notes().saveUnsavedChanges());  // started
    w_->editor().showRange(w_->editor().textLength(), 0);
    w_->editor().insertText("more");             // typed while it runs
    QVERIFY(!w_->notes().saveUnsavedChanges());  // asked for again: runs after the first
    QTRY_VERIFY_WITH_TIMEOUT(w_->notes().loadedText() == text + "more", 60000);
    w_->editor().insertText(" and the end");
    w_->click(2);  // a switch waits for a running save, then saves what is left
    QVERIFY(ReadFileBytes(BodyFile(*w_, 1)) == text + "more and the end");
}

void LargeNoteTest::longBodyInItsRecordAtStartUp_data() {
    QTest::addColumn<bool>("typed");
    QTest::newRow("typed, then F12: the body moves into its file") << true;
    QTest::newRow("unchanged, switched away: only the selection") << false;
}

// A note of megabytes kept inside its record (as an older file or another program may leave it),
// selected at the last exit: the start-up shows it exactly, copied out of its record on a
// worker; the first save moves it into its own file and edits the record.
void LargeNoteTest::longBodyInItsRecordAtStartUp() {
    QFETCH(bool, typed);
    const std::string large = LargeText(3u << 20, true, "in the record");
    {
        qm::TreeStore store(w_->folder());
        QVERIFY(store.Open(w_->file("笔记本.qm")));
        store.BuildOutline();
        qm::NodeFields root;
        root.title = qm::ToGb(QStringLiteral("笔记本"));
        QCOMPARE(store.AddNode(std::nullopt, root), 0);
        qm::NodeFields note;
        note.title = std::string("long");
        note.body = large;  // no external path: the body stays in the record
        QCOMPARE(store.AddNode(0, note), 1);
        QCOMPARE(store.AddNode(0, qm::NodeFields{}), 2);
    }
    QVERIFY(w_->field(1, 7) == large);
    w_->writeSettings(QStringLiteral("[主界面]\r\n树型框选中项=1\r\n"));
    w_->start();
    QCOMPARE(w_->notes().loadedNote(), 1);
    QVERIFY(w_->editor().getText() == large);
    QVERIFY(w_->notes().loadedText() == large);

    std::string expected = large;
    const int end = w_->editor().textLength();
    w_->editor().showRange(end, 0);
    if (typed) {
        w_->editor().insertText(qm::Utf8ToGb18030("尾😀"));
        expected += qm::Utf8ToGb18030("尾😀");
        QTest::keyClick(w_->editor().focusProxy(), Qt::Key_F12);
        QCoreApplication::processEvents();
        QCOMPARE(w_->field(1, 7), std::string());
        QVERIFY(w_->field(1, 8).rfind(qm::ToGb(QStringLiteral("外部存储\\")), 0) == 0);
        QVERIFY(ReadFileBytes(BodyFile(*w_, 1)) == expected);
    } else {
        w_->click(2);
        QVERIFY(w_->field(1, 7) == large);               // still in its record, untouched
        QCOMPARE(w_->field(1, 9), std::to_string(end));  // the selection written into it
        QCOMPARE(w_->field(1, 8), std::string());
    }
    w_->restart();
    w_->click(1);
    QVERIFY(w_->editor().getText() == expected);
}

QTEST_MAIN(LargeNoteTest)
#include "large_note_test.moc"
