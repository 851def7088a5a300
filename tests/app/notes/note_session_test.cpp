// Loading and saving the note in the editor, driven through the real window on a temporary
// program folder: switching notes, restarting, long bodies moving to and from "外部存储",
// files chosen by the user, F12, closing to the tray, characters GBK lacks, quiet selection
// and selection blockers.
#include <QApplication>
#include <QClipboard>
#include <QFileInfo>
#include <QRegularExpression>
#include <QtTest>
#include <filesystem>
#include <set>

#include "app/frame/main_tool_bar.h"
#include "app/note_window.h"

using qm::testing::NoteWindow;
using qm::testing::ReadFileBytes;

namespace {

// `bytes` ASCII bytes that end in a marker, so that two lengths never read the same.
QString Body(int bytes) {
    QString text(bytes - 1, QLatin1Char('a'));
    text.append(QLatin1Char('Z'));
    return text;
}

// The file a stored "外部存储\NAME.txt" path names in `folder`: file names on disk are UTF-8.
std::string OwnExternalFile(const std::string& folder, const std::string& storedPath) {
    const QString path = qm::FromGb(storedPath).replace(QLatin1Char('\\'), QLatin1Char('/'));
    return folder + "/" + path.toStdString();
}

// True when the store's folder for long bodies is missing or empty.
bool NoOwnExternalFiles(const qm::TreeStore& store) {
    std::error_code error;
    const std::string folder = store.ResolvePath(qm::ToGb(QStringLiteral("外部存储")));
    return !std::filesystem::exists(folder, error) || std::filesystem::is_empty(folder, error);
}

const QRegularExpression& ExternalNamePattern() {
    static const QRegularExpression pattern(QStringLiteral("^外部存储\\\\[A-Z0-9]{8}\\.txt$"));
    return pattern;
}

}  // namespace

class NoteSessionTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { qm::MessageBox::setAnswerInAdvance(true); }
    void init() {
        qm::MessageBox::clearShown();
        w_ = std::make_unique<NoteWindow>();
    }
    void cleanup() { w_.reset(); }

    void textsAndSelectionsComeBackAfterSwitchAndRestart();
    void leavingUnchangedWritesOnlyTheSelection();
    void bodyOverThresholdGoesToItsOwnFile_data();
    void bodyOverThresholdGoesToItsOwnFile();
    void longBodyMovesOutAndBackIn();
    void userChosenFileKeepsItsPathAtAnyLength();
    void f12SavesTheSelectionOfUnchangedText();
    void f12SavesChangedTextWithoutLeaving();
    void closingToTheTraySaves();
    void charactersGbkLacksSurvive();
    void blockerKeepsTheLoadedNoteSelected();
    void selectQuietlyLoadsNothingAndLeavesNoTrace();
    void forgottenNoteIsNotSaved();
    void newExternalNames();
    void wholeTextButtons();
    void fontBarIsRestoredAndShown();

private:
    std::unique_ptr<NoteWindow> w_;
};

void NoteSessionTest::textsAndSelectionsComeBackAfterSwitchAndRestart() {
    w_->writeNotebook(3);
    w_->start();
    const QString texts[] = {QStringLiteral("第一条笔记\r\n会议记录"),
                             QStringLiteral("second note, 第二条"), QStringLiteral("三")};
    const int starts[] = {3, 7, 0};
    const int lengths[] = {6, 0, 3};
    for (int i = 0; i < 3; ++i) {
        w_->click(i + 1);
        QCOMPARE(w_->notes().loadedNote(), i + 1);
        w_->type(texts[i]);
        w_->editor().showRange(starts[i], lengths[i]);
    }
    w_->click(1);  // leaves note 3, which saves it
    QCOMPARE(w_->shown(), texts[0]);
    QCOMPARE(w_->editor().selectionStart(), starts[0]);
    QCOMPARE(w_->editor().selectionLength(), lengths[0]);
    w_->click(2);

    w_->restart();
    QCOMPARE(w_->view().selectedNode(), 2);  // the note selected at the end comes back
    QCOMPARE(w_->notes().loadedNote(), 2);
    QCOMPARE(w_->shown(), texts[1]);
    for (int i = 0; i < 3; ++i) {
        w_->click(i + 1);
        QCOMPARE(w_->shown(), texts[i]);
        QCOMPARE(w_->editor().selectionStart(), starts[i]);
        QCOMPARE(w_->editor().selectionLength(), lengths[i]);
        QCOMPARE(qm::FromGb(w_->notes().loadedText()), texts[i]);
    }
    QVERIFY(w_->settingsHold(QStringLiteral("树型框选中项=3")));
}

void NoteSessionTest::leavingUnchangedWritesOnlyTheSelection() {
    w_->writeNotebook(2);
    w_->start();
    w_->click(1);
    w_->type(QStringLiteral("不变的正文 unchanged"));
    w_->click(2);  // a changed save of note 1
    QVERIFY(w_->settingsHold(QStringLiteral("当前保存序号=1")));
    w_->click(1);
    w_->editor().showRange(4, 5);
    const auto before = w_->records();
    // Only the access time of note 2 and fields 9 and 10 of note 1 may change; the clock is
    // moved on so that a rewritten time would show.
    w_->notebook().SetClock([] { return std::time(nullptr) + 3600; });
    w_->click(2);
    const auto after = w_->records();
    QCOMPARE(after.size(), before.size());
    for (size_t node = 0; node < after.size(); ++node) {
        for (size_t f = 0; f < after[node].size(); ++f) {
            const int number = static_cast<int>(f) + 1;
            if (node == 1 && (number == 9 || number == 10)) continue;
            if (node == 2 && number == qm::kFieldAccessed) continue;
            QVERIFY2(after[node][f] == before[node][f],
                     qPrintable(QStringLiteral("node %1 field %2").arg(node).arg(number)));
        }
    }
    QCOMPARE(w_->field(1, 9), std::string("4"));
    QCOMPARE(w_->field(1, 10), std::string("5"));
    QVERIFY(w_->field(2, qm::kFieldAccessed) != before[2][qm::kFieldAccessed - 1]);
    QVERIFY(w_->settingsHold(QStringLiteral("当前保存序号=1")));  // no changed save
}

void NoteSessionTest::bodyOverThresholdGoesToItsOwnFile_data() {
    QTest::addColumn<int>("bytes");
    QTest::addColumn<bool>("outside");
    QTest::newRow("100000") << 100000 << false;
    QTest::newRow("102400, the threshold itself") << 102400 << false;
    QTest::newRow("102401") << 102401 << true;
    QTest::newRow("110000") << 110000 << true;
}

void NoteSessionTest::bodyOverThresholdGoesToItsOwnFile() {
    QFETCH(int, bytes);
    QFETCH(bool, outside);
    w_->writeNotebook(2);
    w_->start();
    w_->click(1);
    w_->type(Body(bytes));
    w_->click(2);
    const std::string path = w_->field(1, qm::kFieldExternalPath);
    if (outside) {
        QVERIFY2(ExternalNamePattern().match(qm::FromGb(path)).hasMatch(),
                 qPrintable(qm::FromGb(path)));
        QCOMPARE(w_->field(1, qm::kFieldBody), std::string());
        QCOMPARE(ReadFileBytes(w_->notebook().ResolvePath(path)), qm::ToGb(Body(bytes)));
        QCOMPARE(ReadFileBytes(OwnExternalFile(w_->folder(), path)), qm::ToGb(Body(bytes)));
    } else {
        QCOMPARE(path, std::string());
        QCOMPARE(w_->field(1, qm::kFieldBody), qm::ToGb(Body(bytes)));
        QVERIFY(NoOwnExternalFiles(w_->notebook()));
    }
    w_->click(1);
    QCOMPARE(w_->shown(), Body(bytes));
}

void NoteSessionTest::longBodyMovesOutAndBackIn() {
    w_->writeNotebook(2);
    w_->start();
    w_->click(1);
    w_->type(Body(100000));
    w_->click(2);
    QCOMPARE(w_->field(1, qm::kFieldExternalPath), std::string());
    QCOMPARE(w_->field(1, qm::kFieldBody).size(), size_t{100000});

    w_->click(1);
    w_->type(Body(110000));
    w_->click(2);
    const std::string path = w_->field(1, qm::kFieldExternalPath);
    QVERIFY2(ExternalNamePattern().match(qm::FromGb(path)).hasMatch(),
             qPrintable(qm::FromGb(path)));
    QCOMPARE(w_->field(1, qm::kFieldBody), std::string());
    const std::string external = w_->notebook().ResolvePath(path);
    QCOMPARE(ReadFileBytes(external).size(), size_t{110000});
    QVERIFY(QFileInfo::exists(QString::fromStdString(OwnExternalFile(w_->folder(), path))));

    w_->restart();
    w_->click(1);
    QCOMPARE(w_->shown(), Body(110000));  // read back from its own file
    w_->type(Body(120000));
    w_->click(2);
    QCOMPARE(w_->field(1, qm::kFieldExternalPath), path);  // a second long save keeps the name
    QCOMPARE(ReadFileBytes(external).size(), size_t{120000});

    w_->click(1);
    w_->type(Body(102400));
    w_->click(2);
    QCOMPARE(w_->field(1, qm::kFieldExternalPath), std::string());
    QCOMPARE(w_->field(1, qm::kFieldBody), qm::ToGb(Body(102400)));
    QVERIFY(!QFileInfo::exists(QString::fromStdString(external)));
    w_->click(1);
    QCOMPARE(w_->shown(), Body(102400));
}

void NoteSessionTest::userChosenFileKeepsItsPathAtAnyLength() {
    qm::testing::TempDir elsewhere;
    const std::string userFile = elsewhere.File("my notes.txt");
    qm::NodeFields fields;
    fields.body = "old text";
    fields.externalPath = userFile;
    w_->writeNotebook(2, 1, fields);
    QCOMPARE(ReadFileBytes(userFile), std::string("old text"));
    w_->start();
    w_->click(1);
    QCOMPARE(w_->shown(), QStringLiteral("old text"));
    w_->type(QStringLiteral("0123456789"));
    w_->click(2);
    QCOMPARE(ReadFileBytes(userFile), std::string("0123456789"));
    QCOMPARE(w_->field(1, qm::kFieldExternalPath), userFile);
    QCOMPARE(w_->field(1, qm::kFieldBody), std::string());

    w_->click(1);
    w_->type(Body(150000));
    w_->click(2);
    QCOMPARE(w_->field(1, qm::kFieldExternalPath), userFile);
    QCOMPARE(ReadFileBytes(userFile), qm::ToGb(Body(150000)));
    QVERIFY(NoOwnExternalFiles(w_->notebook()));

    // Changed by another program: shown as it is now the next time the note is chosen.
    qm::testing::WriteFileBytes(userFile, "edited elsewhere");
    w_->click(1);
    QCOMPARE(w_->shown(), QStringLiteral("edited elsewhere"));
}

void NoteSessionTest::f12SavesTheSelectionOfUnchangedText() {
    w_->writeNotebook(1);
    w_->start();
    w_->click(1);
    w_->type(QStringLiteral("按 F12 保存"));
    w_->window().saveCurrentNoteRequested(true);  // a changed save: counter 1
    const std::string modified = w_->field(1, qm::kFieldModified);
    w_->notebook().SetClock([] { return std::time(nullptr) + 3600; });
    w_->editor().showRange(2, 3);
    QTest::keyRelease(w_->editor().focusProxy(), Qt::Key_F12);
    QTRY_COMPARE(w_->field(1, 9), std::string("2"));
    QCOMPARE(w_->field(1, 10), std::string("3"));
    QCOMPARE(w_->field(1, qm::kFieldModified), modified);
    QVERIFY(w_->settingsHold(QStringLiteral("当前保存序号=1")));
}

void NoteSessionTest::f12SavesChangedTextWithoutLeaving() {
    w_->writeNotebook(1);
    w_->start();
    w_->click(1);
    QTest::keyClicks(w_->editor().focusProxy(), QStringLiteral("typed"));
    QCOMPARE(w_->shown(), QStringLiteral("typed"));
    QTest::keyRelease(w_->editor().focusProxy(), Qt::Key_F5);  // any other key saves nothing
    QCoreApplication::processEvents();
    QCOMPARE(w_->field(1, qm::kFieldBody), std::string());
    QTest::keyRelease(w_->editor().focusProxy(), Qt::Key_F12);
    QTRY_COMPARE(w_->field(1, qm::kFieldBody), std::string("typed"));
    QCOMPARE(w_->field(1, 9), std::string("5"));  // the caret after the typed text
    QCOMPARE(w_->view().selectedNode(), 1);
    QVERIFY(w_->settingsHold(QStringLiteral("当前保存序号=1")));
}

void NoteSessionTest::closingToTheTraySaves() {
    w_->writeNotebook(1);
    w_->start();
    w_->click(1);
    w_->type(QStringLiteral("收起到托盘之前"));
    QVERIFY(!w_->window().close());  // hidden to the tray
    QVERIFY(w_->window().isHidden());
    QCOMPARE(qm::FromGb(w_->field(1, qm::kFieldBody)), QStringLiteral("收起到托盘之前"));
}

void NoteSessionTest::charactersGbkLacksSurvive() {
    w_->writeNotebook(2);
    w_->start();
    // An emoji, a CJK Extension B ideograph and a GBK ideograph.
    const QString text = QStringLiteral("笑😀 罕见字𠀀 end");
    w_->click(1);
    w_->type(text);
    const int caret = 7;  // after the emoji: 3 + 4 bytes of UTF-8
    w_->editor().showRange(caret, 0);
    w_->click(2);
    const std::string stored = w_->field(1, qm::kFieldBody);
    QCOMPARE(stored, qm::ToGb(text));
    // Four-byte GB18030 sequences, not replacement marks: U+1F600 after the two bytes of 笑,
    // U+20000 after " 罕见字".
    QCOMPARE(stored.find("\x94\x39\xFC\x36"), size_t{2});
    QCOMPARE(stored.find("\x95\x32\x82\x36"), size_t{13});
    QCOMPARE(w_->field(1, 9), std::string("7"));

    w_->click(1);
    QCOMPARE(w_->shown(), text);
    w_->restart();
    w_->click(1);
    QCOMPARE(w_->shown(), text);
    QCOMPARE(w_->editor().selectionStart(), caret);
    w_->click(2);  // leaving unchanged keeps the bytes
    QCOMPARE(w_->field(1, qm::kFieldBody), qm::ToGb(text));
}

void NoteSessionTest::blockerKeepsTheLoadedNoteSelected() {
    w_->writeNotebook(3);
    w_->start();
    w_->click(1);
    w_->type(QStringLiteral("打字中"));
    bool typing = true;
    bool importing = false;
    w_->notes().addSelectionBlocker([&typing](QString* warning) {
        if (typing) *warning = QStringLiteral("正在打字呢，先停止打字再查看其他笔记吧！");
        return typing;
    });
    w_->notes().addSelectionBlocker([&importing](QString*) { return importing; });
    QSignalSpy shown(&w_->notes(), &qm::NoteSession::noteShown);

    w_->click(2);
    QCOMPARE(w_->view().selectedNode(), 1);
    QCOMPARE(w_->notes().loadedNote(), 1);
    QCOMPARE(w_->shown(), QStringLiteral("打字中"));
    QCOMPARE(w_->field(1, qm::kFieldBody), std::string());  // nothing saved
    QCOMPARE(qm::MessageBox::shown().size(), 1);
    QCOMPARE(qm::MessageBox::shown().at(0).kind, qm::MessageBox::Kind::kWarning);
    QCOMPARE(qm::MessageBox::shown().at(0).text,
             QStringLiteral("正在打字呢，先停止打字再查看其他笔记吧！"));

    typing = false;
    importing = true;  // blocks without a word
    w_->click(3);
    QCOMPARE(w_->view().selectedNode(), 1);
    QCOMPARE(qm::MessageBox::shown().size(), 1);
    QCOMPARE(shown.count(), 0);

    importing = false;
    w_->click(3);
    QCOMPARE(w_->view().selectedNode(), 3);
    QCOMPARE(w_->notes().loadedNote(), 3);
    QCOMPARE(shown.count(), 1);
    QCOMPARE(qm::FromGb(w_->field(1, qm::kFieldBody)), QStringLiteral("打字中"));
}

void NoteSessionTest::selectQuietlyLoadsNothingAndLeavesNoTrace() {
    w_->writeNotebook(3);
    w_->start();
    w_->click(1);
    w_->type(QStringLiteral("留在编辑框"));
    QSignalSpy shown(&w_->notes(), &qm::NoteSession::noteShown);
    QSignalSpy paths(&w_->notes(), &qm::NoteSession::pathShowRequested);
    QSignalSpy loading(&w_->notes(), &qm::NoteSession::noteLoading);
    QVERIFY(w_->notes().selectQuietly(2));
    QCOMPARE(w_->view().selectedNode(), 2);
    QCOMPARE(w_->notes().loadedNote(), 1);
    QCOMPARE(w_->shown(), QStringLiteral("留在编辑框"));
    QCOMPARE(w_->field(1, qm::kFieldBody), std::string());
    QCOMPARE(shown.count(), 0);
    QCOMPARE(paths.count(), 0);
    QVERIFY(!w_->notes().selectQuietly(99));

    // Quietly selecting the item already selected causes no change, and must not swallow the
    // user's next click.
    QVERIFY(w_->notes().selectQuietly(2));
    w_->click(3);
    QCOMPARE(w_->notes().loadedNote(), 3);
    QCOMPARE(shown.count(), 1);
    QCOMPARE(paths.count(), 1);
    QCOMPARE(paths.at(0).at(0).toInt(), 3);
    QCOMPARE(loading.count(), 1);
    QCOMPARE(loading.at(0).at(0).toInt(), 3);
    // The note left was still the loaded one: its text is saved into note 1, not note 2.
    QCOMPARE(qm::FromGb(w_->field(1, qm::kFieldBody)), QStringLiteral("留在编辑框"));
    QCOMPARE(w_->field(2, qm::kFieldBody), std::string());
}

void NoteSessionTest::forgottenNoteIsNotSaved() {
    w_->writeNotebook(2);
    w_->start();
    w_->click(1);
    w_->type(QStringLiteral("deleted note's text"));
    w_->notes().forgetLoadedNote();
    QCOMPARE(w_->notes().loadedNote(), -1);
    w_->click(2);
    QCOMPARE(w_->field(1, qm::kFieldBody), std::string());
    QCOMPARE(w_->field(2, qm::kFieldBody), std::string());
    QCOMPARE(w_->notes().loadedNote(), 2);
    w_->window().saveCurrentNoteRequested(true);
    QVERIFY(!w_->settingsHold(QStringLiteral("当前保存序号")));
}

void NoteSessionTest::newExternalNames() {
    std::set<std::string> names;
    for (int i = 0; i < 2000; ++i) {
        const std::string name = qm::NoteSession::NewExternalName();
        QVERIFY2(ExternalNamePattern().match(qm::FromGb(name)).hasMatch(),
                 qPrintable(qm::FromGb(name)));
        names.insert(name);
    }
    // Made within the same clock tick, names still differ (36^8 possible names).
    QCOMPARE(names.size(), size_t{2000});
}

void NoteSessionTest::wholeTextButtons() {
    w_->writeNotebook(1);
    w_->start();
    w_->click(1);
    w_->type(QStringLiteral("全部复制"));
    QApplication::clipboard()->clear();
    w_->window().toolBar()->button(5)->trigger();
    QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("全部复制"));
    w_->window().toolBar()->button(6)->trigger();
    QCOMPARE(w_->shown(), QString());
    QApplication::clipboard()->setText(QStringLiteral("粘贴进来"));
    w_->window().toolBar()->button(4)->trigger();
    QCOMPARE(w_->shown(), QStringLiteral("粘贴进来"));
    QCOMPARE(w_->window().toolBar()->button(4)->toolTip(), QStringLiteral("粘贴内容"));
    QCOMPARE(w_->window().toolBar()->button(5)->toolTip(), QStringLiteral("复制内容"));
    QCOMPARE(w_->window().toolBar()->button(6)->toolTip(), QStringLiteral("清空内容"));
    // The editor fills the editor area.
    QCOMPARE(w_->editor().parentWidget(), w_->window().editorArea());
    QCOMPARE(w_->editor().geometry(), w_->window().editorArea()->contentsRect());
}

void NoteSessionTest::fontBarIsRestoredAndShown() {
    w_->writeNotebook(1);
    w_->writeSettings(
        QStringLiteral("[主界面]\r\n工具条显示.8=真\r\n编辑框.字体名称=黑体\r\n编辑框.加粗=真\r\n"
                       "编辑框.字体大小=20"));
    w_->start();
    QAction* button = w_->window().toolBar()->button(8);
    QCOMPARE(button->text(), QStringLiteral("字体"));
    QCOMPARE(button->toolTip(), QStringLiteral("字体属性工具条"));
    QVERIFY(button->isChecked());
    const qm::FontSpec font = w_->editor().getFont();
    QCOMPARE(qm::FromGb(font.name), QStringLiteral("黑体"));
    QVERIFY(font.bold);
    QCOMPARE(font.size, 20);

    w_->window().resize(1000, 700);
    QTRY_COMPARE(w_->window().centralWidget()->size(), QSize(1000, 700));
    auto* bar = w_->window().findChild<QWidget*>(QStringLiteral("字体属性工具条"));
    QVERIFY(bar->isVisible());
    // Right of the splitter, 26 pixels high, straight above the editor area.
    const QRect area = w_->window().editorArea()->geometry();
    QCOMPARE(bar->geometry(), QRect(267, area.top() - 26, 733, 26));
    QCOMPARE(area.left(), 267);
    button->trigger();  // the user hides it
    QVERIFY(bar->isHidden());
    QCOMPARE(w_->window().editorArea()->geometry().top(), area.top() - 26);
    QVERIFY(w_->settingsHold(QStringLiteral("工具条显示.8=假")));
}

QTEST_MAIN(NoteSessionTest)
#include "note_session_test.moc"
