// The notebook menu's "导入" and "导出" and files dropped on the window, on the real window
// offscreen: folder choice, questions and messages, captions while running, stop requests,
// the commands held off during an import, exit during a run, and drops on the editor.
#include "app/transfer/folder_transfer.h"

#include <QAbstractScrollArea>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QTimer>
#include <QUrl>
#include <QtTest>
#include <filesystem>
#include <functional>

#include "app/frame/main_tool_bar.h"
#include "app/note_window.h"
#include "app/tree_commands/tree_menus.h"
#include "app/tree_fixture.h"
#include "app/typing/auto_typing.h"
#include "app/typing/typing_bar.h"
#include "app/widgets/file_dialog.h"
#include "app/widgets/sectioned_menu.h"
#include "common/charset.h"
#include "support/durable_bytes.h"

using qm::FolderTransfer;
using qm::MessageBox;
using qm::testing::DurableBytes;
using qm::testing::NoteWindow;
using qm::testing::ReadFileBytes;
using qm::testing::WriteFileBytes;

namespace fs = std::filesystem;

namespace {

QString U(const char* utf8) { return QString::fromUtf8(utf8); }

// Runs `action` at the first moment the running command lets the window process its events.
void DuringTheRun(std::function<void()> action) { QTimer::singleShot(0, std::move(action)); }

}  // namespace

class FolderTransferTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { MessageBox::setAnswerInAdvance(true); }
    void init();
    void cleanup();

    void entriesStandInTheirSection();
    void importCommandAddsTheFolder_data();
    void importCommandAddsTheFolder();
    void cancelledOrNothingSelectedDoesNothing_data();
    void cancelledOrNothingSelectedDoesNothing();
    void choosingImportAgainStopsIt();
    void largeImportGoesInPlace();
    void commandsThatChangeTheNotebookWaitForTheImport();
    void commandsThatChangeTheNotebookWaitForTheExport();
    void noRunStartsWhileTypingRuns_data();
    void noRunStartsWhileTypingRuns();
    void typingWaitsForTheImport();
    void exportCommandWritesTheSubtree();
    void exportTellsHowManyNotesWereNotWritten();
    void choosingExportAgainStopsIt();
    void exitDuringAnImportCommitsAndEnds();
    void dropOnTheEditorImportsInsteadOfInsertingText();
    void dropIsRefused_data();
    void dropIsRefused();

private:
    FolderTransfer& transfer() { return *w_->window().transfer(); }
    qm::SectionedMenu& menu() { return w_->window().treeMenus()->notebookMenu(); }
    QString outline() { return qm::testing::OutlineText(w_->notebook()); }
    QStringList shownTexts() {
        QStringList texts;
        for (const MessageBox::Record& r : MessageBox::shown()) texts << r.text;
        return texts;
    }
    void put(const std::string& name, const std::string& bytes) {
        const fs::path path = fs::path(source_) / name;
        fs::create_directories(path.parent_path());
        WriteFileBytes(path.string(), bytes);
    }
    // Sends a drag of `paths` over `target` and drops it there.
    bool drop(QWidget* target, const QStringList& paths);

    std::unique_ptr<NoteWindow> w_;
    std::unique_ptr<qm::testing::TempDir> outside_;
    std::string source_;
};

void FolderTransferTest::init() {
    MessageBox::clearShown();
    qm::FileDialog::reset();
    w_ = std::make_unique<NoteWindow>();
    w_->writeNotebook(2);
    w_->start();
    outside_ = std::make_unique<qm::testing::TempDir>();
    source_ = outside_->File("导入的文件夹");
    fs::create_directories(source_);
}

void FolderTransferTest::cleanup() {
    w_.reset();
    outside_.reset();
}

bool FolderTransferTest::drop(QWidget* target, const QStringList& paths) {
    QMimeData mime;
    QList<QUrl> urls;
    for (const QString& path : paths) urls << QUrl::fromLocalFile(path);
    mime.setUrls(urls);
    const QPoint at = target->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    if (!enter.isAccepted()) return false;
    QDropEvent dropped(QPointF(at), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &dropped);
    return dropped.isAccepted();
}

void FolderTransferTest::entriesStandInTheirSection() {
    QMenu* m = menu().menu();
    QStringList captions;
    for (const QAction* action : m->actions()) {
        if (!action->isSeparator()) captions << action->text();
    }
    const int paste = captions.indexOf(U("同级粘贴"));
    QVERIFY(paste >= 0);
    QCOMPARE(captions.mid(paste + 1, 2), QStringList({U("导入"), U("导出")}));
    QCOMPARE(transfer().importCaption(), U("导入"));
    QCOMPARE(transfer().exportCaption(), U("导出"));
}

void FolderTransferTest::importCommandAddsTheFolder_data() {
    QTest::addColumn<bool>("keepPaths");
    QTest::newRow("bodies read") << false;
    QTest::newRow("file paths kept") << true;
}

void FolderTransferTest::importCommandAddsTheFolder() {
    QFETCH(bool, keepPaths);
    put("1.txt", "one");
    put("2.htm", "\xEF\xBB\xBF<b>二</b>");
    put("3.html", "three");
    put("s/深.txt", qm::Utf8ToGb18030("深处"));
    w_->click(1);
    qm::FileDialog::setNextFileName(QString::fromStdString("  " + source_ + "  "));
    MessageBox::setNextAnswer(keepPaths ? QMessageBox::Yes : QMessageBox::No);
    transfer().importCommand();

    QCOMPARE(outline(), U("笔记本#2|.笔记0#0|..导入的文件夹#0|...1#1|...2#1|...s#0|....深#1|"
                          ".笔记1#1"));
    QCOMPARE(qm::testing::ModelMismatch(*w_->view().outlineModel(), w_->notebook()), QString());
    QCOMPARE(w_->view().selectedNode(), 1);
    QVERIFY(w_->view().isExpanded(w_->view().outlineModel()->indexOfNode(1)));
    QCOMPARE(w_->field(1, 2), std::string("0"));
    QCOMPARE(w_->field(4, 7), keepPaths ? std::string() : qm::Utf8ToGb18030("<b>二</b>"));
    QCOMPARE(QString::fromStdString(qm::Gb18030ToUtf8(w_->field(4, 8))),
             keepPaths ? QString::fromStdString(source_ + "/2.htm") : QString());
    QCOMPARE(shownTexts().size(), 2);
    QCOMPARE(shownTexts()[0], U("是否使用原来的文件路径保存导入的数据？"));
    QVERIFY2(shownTexts()[1].startsWith(U("导入完成！")), qPrintable(shownTexts()[1]));
    QCOMPARE(transfer().importCaption(), U("导入"));
    QCOMPARE(DurableBytes(w_->file("笔记本.qm")), w_->notebook().image());
}

void FolderTransferTest::cancelledOrNothingSelectedDoesNothing_data() {
    QTest::addColumn<bool>("cancel");
    QTest::newRow("dialog cancelled") << true;
    QTest::newRow("no note selected") << false;
}

void FolderTransferTest::cancelledOrNothingSelectedDoesNothing() {
    QFETCH(bool, cancel);
    put("1.txt", "one");
    const std::string before = DurableBytes(w_->file("笔记本.qm"));
    if (!cancel) w_->view().setCurrentIndex(QModelIndex());
    for (int run = 0; run < 2; ++run) {
        qm::FileDialog::setNextFileName(cancel ? QString() : QString::fromStdString(source_));
        if (run == 0) {
            transfer().importCommand();
        } else {
            transfer().exportCommand();
        }
    }
    QCOMPARE(qm::FileDialog::answeredCount(), 2);
    QCOMPARE(DurableBytes(w_->file("笔记本.qm")), before);
    QCOMPARE(shownTexts(), QStringList());
    QCOMPARE(transfer().importCaption(), U("导入"));
    QCOMPARE(transfer().exportCaption(), U("导出"));
    QVERIFY(!fs::exists(source_ + "/笔记本"));
}

void FolderTransferTest::choosingImportAgainStopsIt() {
    for (int i = 0; i < 30; ++i) put("f" + std::to_string(100 + i) + ".txt", "x");
    put("sub/a.txt", "a");
    w_->click(2);
    QString captionWhileRunning;
    QString captionAfterStop;
    DuringTheRun([&] {
        captionWhileRunning = transfer().importCaption();
        transfer().importCommand();  // the same command again: stop
        captionAfterStop = transfer().importCaption();
    });
    qm::FileDialog::setNextFileName(QString::fromStdString(source_));
    MessageBox::setNextAnswer(QMessageBox::No);
    transfer().importCommand();
    QCOMPARE(captionWhileRunning, U("停止导入"));
    QCOMPARE(captionAfterStop, U("正在停止导入"));
    QCOMPARE(transfer().importCaption(), U("导入"));
    // The first file went in; the rest of the folder and its subfolder did not.
    QCOMPARE(outline(), U("笔记本#2|.笔记0#1|.笔记1#0|..导入的文件夹#0|...f100#1"));
    QVERIFY(shownTexts().last().startsWith(U("导入完成！")));
    QCOMPARE(DurableBytes(w_->file("笔记本.qm")), w_->notebook().image());
}

// An import past the first piece of records (logged while it is read, sealed at the end): the
// model takes the new rows in place (no reset), matches the store, and the notebook is
// durable. A long body whose file cannot be written ("外部存储" is a file here) stays in its
// record, and the closing message says so.
void FolderTransferTest::largeImportGoesInPlace() {
    for (int i = 0; i < 150; ++i)
        put("f" + std::to_string(100 + i) + ".txt", std::string(9000, 'a'));
    put("sub/big.txt", std::string(102401, 'b'));
    WriteFileBytes(w_->file("外部存储"), "");
    w_->click(2);
    int resets = 0;
    connect(w_->view().outlineModel(), &QAbstractItemModel::modelReset, this, [&] { ++resets; });
    qm::FileDialog::setNextFileName(QString::fromStdString(source_));
    MessageBox::setNextAnswer(QMessageBox::No);
    transfer().importCommand();
    QCOMPARE(resets, 0);
    QCOMPARE(w_->notebook().NodeCount(), 3 + 1 + 150 + 2);
    QCOMPARE(qm::testing::ModelMismatch(*w_->view().outlineModel(), w_->notebook()), QString());
    QCOMPARE(w_->field(3 + 1 + 150 + 1, 7), std::string(102401, 'b'));
    QVERIFY2(shownTexts().last().contains(U("有 1 个长笔记没能写入“外部存储”文件夹")),
             qPrintable(shownTexts().last()));
    QCOMPARE(DurableBytes(w_->file("笔记本.qm")), w_->notebook().image());
}

void FolderTransferTest::commandsThatChangeTheNotebookWaitForTheImport() {
    for (int i = 0; i < 3; ++i) put("f" + std::to_string(i) + ".txt", "x");
    w_->click(1);
    bool newEnabled = true;
    bool deleteEntryEnabled = true;
    bool importEntryEnabled = false;
    int selectedAfterClick = -1;
    DuringTheRun([&] {
        newEnabled = w_->window().toolBar()->button(qm::MainToolBar::kNew)->isEnabled();
        menu().refresh();
        emit menu().menu()->aboutToShow();
        deleteEntryEnabled = menu().entry(U("删除"))->isEnabled();
        importEntryEnabled = menu().entry(U("导入"))->isEnabled();
        w_->view().selectNode(2);  // a click elsewhere: the target stays selected
        selectedAfterClick = w_->view().selectedNode();
    });
    qm::FileDialog::setNextFileName(QString::fromStdString(source_));
    MessageBox::setNextAnswer(QMessageBox::No);
    transfer().importCommand();
    QVERIFY(!newEnabled);
    QVERIFY(!deleteEntryEnabled);
    QVERIFY(importEntryEnabled);
    QCOMPARE(selectedAfterClick, 1);
    QVERIFY(w_->window().toolBar()->button(qm::MainToolBar::kNew)->isEnabled());
    QCOMPARE(outline(), U("笔记本#2|.笔记0#0|..导入的文件夹#0|...f0#1|...f1#1|...f2#1|.笔记1#1"));
}

void FolderTransferTest::commandsThatChangeTheNotebookWaitForTheExport() {
    w_->click(0);
    const std::string out = outside_->File("导出");
    fs::create_directories(out);
    bool newEnabled = true;
    bool deleteEntryEnabled = true;
    bool exportEntryEnabled = false;
    bool runningDuring = false;
    DuringTheRun([&] {
        newEnabled = w_->window().toolBar()->button(qm::MainToolBar::kNew)->isEnabled();
        menu().refresh();
        emit menu().menu()->aboutToShow();
        deleteEntryEnabled = menu().entry(U("删除"))->isEnabled();
        exportEntryEnabled = menu().entry(U("导出"))->isEnabled();
        runningDuring = transfer().running();
    });
    qm::FileDialog::setNextFileName(QString::fromStdString(out));
    transfer().exportCommand();
    QVERIFY(runningDuring);
    QVERIFY(!newEnabled);
    QVERIFY(!deleteEntryEnabled);
    QVERIFY(exportEntryEnabled);  // it stops the export
    QVERIFY(!transfer().running());
    QVERIFY(w_->window().toolBar()->button(qm::MainToolBar::kNew)->isEnabled());
    QVERIFY(fs::exists(out + "/笔记本/笔记1.txt"));
}

void FolderTransferTest::noRunStartsWhileTypingRuns_data() {
    QTest::addColumn<int>("command");  // 0 "导入", 1 "导出", 2 a drop
    QTest::newRow("import") << 0;
    QTest::newRow("export") << 1;
    QTest::newRow("drop") << 2;
}

void FolderTransferTest::noRunStartsWhileTypingRuns() {
    QFETCH(int, command);
    put("a.txt", "a");
    const std::string out = outside_->File("导出");
    fs::create_directories(out);
    w_->click(1);
    w_->type(U("一二三四五六"));
    qm::AutoTyping& typing = *w_->window().typing();
    w_->window().toggleToolBar(qm::AutoTyping::kToolBarButton, true);
    typing.bar()->intervalBox()->setText(QStringLiteral("20"));
    const QString before = outline();
    bool typingWhenAsked = false;
    auto* context = new QObject(&typing);
    connect(&typing, &qm::AutoTyping::typed, context, [&, context](qint64 i, qint64) {
        if (i != 2) return;
        delete context;
        typingWhenAsked = typing.running();
        qm::FileDialog::setNextFileName(QString::fromStdString(command == 1 ? out : source_));
        MessageBox::setNextAnswer(QMessageBox::Ok);
        if (command == 0) transfer().importCommand();
        if (command == 1) transfer().exportCommand();
        if (command == 2) transfer().importDropped({QString::fromStdString(source_ + "/a.txt")});
        typing.stop();
    });
    typing.typeClicked();
    QVERIFY(typingWhenAsked);
    QCOMPARE(shownTexts(), QStringList({U("正在自动打字，请先停止打字！")}));
    QCOMPARE(qm::FileDialog::answeredCount(), 0);  // no folder was asked for
    QCOMPARE(outline(), before);
    QVERIFY(!fs::exists(out + "/笔记1.txt"));
    QCOMPARE(transfer().importCaption(), U("导入"));
    QCOMPARE(transfer().exportCaption(), U("导出"));
}

void FolderTransferTest::typingWaitsForTheImport() {
    put("a.txt", "a");
    w_->click(1);
    QPushButton* type = w_->window().typing()->bar()->typeButton();
    QVERIFY(type->isEnabled());
    bool enabledDuring = true;
    DuringTheRun([&] { enabledDuring = type->isEnabled(); });
    qm::FileDialog::setNextFileName(QString::fromStdString(source_));
    MessageBox::setNextAnswer(QMessageBox::No);
    transfer().importCommand();
    QVERIFY(!enabledDuring);
    QVERIFY(type->isEnabled());
}

void FolderTransferTest::exportCommandWritesTheSubtree() {
    put("甲.txt", qm::Utf8ToGb18030("甲的正文"));
    put("乙/丙.txt", qm::Utf8ToGb18030("丙"));
    w_->click(1);
    qm::FileDialog::setNextFileName(QString::fromStdString(source_));
    MessageBox::setNextAnswer(QMessageBox::No);
    transfer().importCommand();
    w_->click(1);
    w_->type(U("笔记0 的正文，还没保存"));
    const std::string out = outside_->File("导出");
    fs::create_directories(out);
    MessageBox::clearShown();
    qm::FileDialog::setNextFileName(QString::fromStdString(out));
    transfer().exportCommand();
    QCOMPARE(ReadFileBytes(out + "/笔记0/.dirtxt"), qm::Utf8ToGb18030("笔记0 的正文，还没保存"));
    QCOMPARE(ReadFileBytes(out + "/笔记0/导入的文件夹/甲.txt"), qm::Utf8ToGb18030("甲的正文"));
    QCOMPARE(ReadFileBytes(out + "/笔记0/导入的文件夹/乙/丙.txt"), qm::Utf8ToGb18030("丙"));
    QCOMPARE(shownTexts().size(), 1);
    QVERIFY2(shownTexts()[0].startsWith(U("导出完成！")), qPrintable(shownTexts()[0]));
    QVERIFY(!shownTexts()[0].contains(U("没有写出")));
    QCOMPARE(MessageBox::shown()[0].kind, MessageBox::Kind::kInformation);
}

void FolderTransferTest::exportTellsHowManyNotesWereNotWritten() {
    const std::string blocker = outside_->File("a-file");
    WriteFileBytes(blocker, "not a folder");
    w_->click(0);
    qm::FileDialog::setNextFileName(QString::fromStdString(blocker));
    transfer().exportCommand();
    QCOMPARE(shownTexts().size(), 1);
    QVERIFY2(shownTexts()[0].startsWith(U("导出完成！")), qPrintable(shownTexts()[0]));
    QVERIFY2(shownTexts()[0].endsWith(U("\n有 3 个笔记没有写出。")), qPrintable(shownTexts()[0]));
}

void FolderTransferTest::choosingExportAgainStopsIt() {
    w_->click(0);
    const std::string out = outside_->File("导出");
    fs::create_directories(out);
    QString captionAfterStop;
    DuringTheRun([&] {
        transfer().exportCommand();
        captionAfterStop = transfer().exportCaption();
    });
    qm::FileDialog::setNextFileName(QString::fromStdString(out));
    transfer().exportCommand();
    QCOMPARE(captionAfterStop, U("正在停止导出"));
    QCOMPARE(transfer().exportCaption(), U("导出"));
    QVERIFY(fs::exists(out + "/笔记本/.dirtxt"));
    QVERIFY(!fs::exists(out + "/笔记本/笔记1.txt"));
    QVERIFY(shownTexts().last().startsWith(U("导出完成！")));
}

void FolderTransferTest::exitDuringAnImportCommitsAndEnds() {
    for (int i = 0; i < 20; ++i) put("f" + std::to_string(100 + i) + ".txt", "x");
    w_->click(1);
    QSignalSpy ended(&w_->window(), &qm::MainWindow::programEnded);
    DuringTheRun([&] { w_->window().exitProgram(); });
    qm::FileDialog::setNextFileName(QString::fromStdString(source_));
    MessageBox::setNextAnswer(QMessageBox::No);
    transfer().importCommand();
    QCOMPARE(ended.count(), 1);
    QCOMPARE(transfer().importCaption(), U("导入"));
    QCOMPARE(shownTexts(), QStringList({U("是否使用原来的文件路径保存导入的数据？")}));
    w_->stop();
    QCOMPARE(qm::testing::FileOutline(w_->file("笔记本.qm")),
             U("笔记本#2|.笔记0#0|..导入的文件夹#0|...f100#1|.笔记1#1"));
}

void FolderTransferTest::dropOnTheEditorImportsInsteadOfInsertingText() {
    put("a.html", "<i>any extension</i>");
    put("dir/b.txt", "b");
    w_->click(2);
    QWidget* editorView = w_->editor().findChild<QAbstractScrollArea*>()->viewport();
    const QString before = w_->shown();
    QSignalSpy finished(&transfer(), &FolderTransfer::importFinished);
    MessageBox::setNextAnswer(QMessageBox::Ok);
    MessageBox::setNextAnswer(QMessageBox::No);
    QVERIFY(drop(editorView, {QString::fromStdString(source_ + "/a.html"),
                              QString::fromStdString(source_ + "/dir")}));
    QCOMPARE(w_->shown(), before);
    QVERIFY(finished.wait(5000));
    QCOMPARE(w_->shown(), before);
    QCOMPARE(outline(), U("笔记本#2|.笔记0#1|.笔记1#0|..a#1|..dir#0|...b#1"));
    QCOMPARE(w_->field(3, 7), std::string("<i>any extension</i>"));
    QCOMPARE(shownTexts().size(), 3);
    QCOMPARE(shownTexts()[0], U("确定要将拖选的文件和子目录导入本软件的当前节点上？"));
    QVERIFY(shownTexts()[2].startsWith(U("导入完成！")));
}

void FolderTransferTest::dropIsRefused_data() {
    QTest::addColumn<int>("situation");
    QTest::addColumn<QString>("message");
    QTest::newRow("nothing selected") << 0 << U("请先选中要拖到的笔记节点！");
    QTest::newRow("import running") << 1 << U("上一个导入还没停止！请先右键单击笔记停止导入！");
    QTest::newRow("cancelled") << 2 << U("确定要将拖选的文件和子目录导入本软件的当前节点上？");
}

void FolderTransferTest::dropIsRefused() {
    QFETCH(int, situation);
    QFETCH(QString, message);
    put("a.txt", "a");
    const QStringList paths{QString::fromStdString(source_ + "/a.txt")};
    w_->click(1);
    QString shownDuring;
    if (situation == 0) {
        w_->view().setCurrentIndex(QModelIndex());
        transfer().importDropped(paths);
    } else if (situation == 1) {
        DuringTheRun([&] {
            MessageBox::clearShown();
            transfer().importDropped(paths);
            shownDuring = shownTexts().join(QLatin1Char('|'));
        });
        qm::FileDialog::setNextFileName(QString::fromStdString(source_));
        MessageBox::setNextAnswer(QMessageBox::No);
        transfer().importCommand();
        QCOMPARE(shownDuring, message);
        return;
    } else {
        MessageBox::setNextAnswer(QMessageBox::Cancel);
        transfer().importDropped(paths);
    }
    QCOMPARE(shownTexts(), QStringList({message}));
    QCOMPARE(outline(), U("笔记本#2|.笔记0#1|.笔记1#1"));
}

QTEST_MAIN(FolderTransferTest)
#include "folder_transfer_test.moc"
