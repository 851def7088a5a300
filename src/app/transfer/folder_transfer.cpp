#include "app/transfer/folder_transfer.h"

#include <QAction>
#include <QMenu>

#include "app/notes/note_session.h"
#include "app/search/event_pump.h"
#include "app/transfer/choose_folder.h"
#include "app/tree_commands/tree_commands.h"
#include "app/trees/note_tree_view.h"
#include "app/trees/note_trees.h"
#include "app/widgets/message_box.h"
#include "app/widgets/sectioned_menu.h"
#include "common/qt_text.h"
#include "common/stopwatch.h"
#include "store/folder_export.h"
#include "store/folder_import.h"
#include "store/tree_store.h"

namespace qm {

namespace {

const QString kImport = QStringLiteral("导入");
const QString kExport = QStringLiteral("导出");

// The compact elapsed time with an empty suffix, as the closing messages show it.
QString Elapsed(const Stopwatch& watch) { return FromGb(watch.ElapsedText("")); }

}  // namespace

FolderTransfer::FolderTransfer(NoteTrees* trees, NoteSession* session, TreeCommands* commands,
                               QWidget* dialogParent)
    : QObject(dialogParent),
      trees_(trees),
      session_(session),
      commands_(commands),
      dialogParent_(dialogParent) {
    // The note being imported into stays selected while the import runs.
    session_->addSelectionBlocker([this](QString*) { return importState_ != RunState::kIdle; });
}

FolderTransfer::~FolderTransfer() = default;

void FolderTransfer::addNotebookEntries(SectionedMenu& menu, int section) {
    menu_ = &menu;
    menu.addEntry(
        section, kImport, [this] { importCommand(); }, {}, [this] { return importCaption(); });
    menu.addEntry(
        section, kExport, [this] { exportCommand(); }, {}, [this] { return exportCaption(); });
    // Runs after the menu's own rules: while an import runs, the entries that would change
    // the notebook (and move the place the import goes to) cannot be chosen.
    connect(menu.menu(), &QMenu::aboutToShow, this, [this] {
        if (importState_ == RunState::kIdle) return;
        for (QAction* action : menu_->menu()->actions()) {
            if (action->isSeparator()) continue;
            if (action == menu_->entry(kImport) || action == menu_->entry(kExport)) continue;
            action->setEnabled(false);
        }
    });
}

void FolderTransfer::guardDuringImport(QAction* action) { guarded_ << action; }

QString FolderTransfer::importCaption() const {
    switch (importState_) {
        case RunState::kIdle:
            return kImport;
        case RunState::kRunning:
            return QStringLiteral("停止导入");
        case RunState::kStopping:
            return QStringLiteral("正在停止导入");
    }
    return kImport;
}

QString FolderTransfer::exportCaption() const {
    switch (exportState_) {
        case RunState::kIdle:
            return kExport;
        case RunState::kRunning:
            return QStringLiteral("停止导出");
        case RunState::kStopping:
            return QStringLiteral("正在停止导出");
    }
    return kExport;
}

void FolderTransfer::setImportState(RunState state) {
    importState_ = state;
    if (menu_ != nullptr) menu_->refresh();
    // Toolbar buttons that change the notebook: off while an import runs.
    for (QAction* action : guarded_) action->setEnabled(state == RunState::kIdle);
}

ImportOptions FolderTransfer::importOptions(bool keepFilePaths, EventPump& pump) {
    ImportOptions options;
    options.keepFilePaths = keepFilePaths;
    options.control.stop = &importStopRequested_;
    options.control.betweenSteps = [&pump] { pump(); };
    return options;
}

bool FolderTransfer::askKeepFilePaths() {
    return MessageBox::question(
               dialogParent_, QStringLiteral("是否使用原来的文件路径保存导入的数据？"),
               QMessageBox::Yes | QMessageBox::No, {}, QMessageBox::No) == QMessageBox::Yes;
}

void FolderTransfer::stopForExit() {
    exiting_ = true;
    if (importState_ != RunState::kIdle) {
        importStopRequested_ = true;
        setImportState(RunState::kStopping);
    }
    if (exportState_ != RunState::kIdle) {
        exportStopRequested_ = true;
        exportState_ = RunState::kStopping;
    }
}

void FolderTransfer::importCommand() {
    if (importState_ != RunState::kIdle) {
        importStopRequested_ = true;
        setImportState(RunState::kStopping);
        return;
    }
    importStopRequested_ = false;
    setImportState(RunState::kRunning);

    const QString folder = ChooseFolder(dialogParent_, QStringLiteral("选择文件夹导入："));
    const int item = trees_->notebookView()->selectedNode();
    if (!folder.isEmpty() && item != -1 && !exiting_) {
        const bool keep = askKeepFilePaths();
        const Stopwatch watch;
        session_->saveCurrentNote(true);
        TreeStore& notebook = trees_->notebook();
        EventPump pump;
        ImportBatch batch(notebook, importOptions(keep, pump));
        const int depth = notebook.BeginBatch(item);
        std::string path = folder.toStdString();
        while (path.size() > 1 && path.back() == '/') path.pop_back();
        if (depth >= 0) batch.ImportFolderTree(depth, path);
        finishImport(&batch, item, depth, watch);
    }
    setImportState(RunState::kIdle);
    emit importFinished();
}

void FolderTransfer::importDropped(const QStringList& paths) {
    const int item = trees_->notebookView()->selectedNode();
    if (item < 0) {
        MessageBox::warning(dialogParent_, QStringLiteral("请先选中要拖到的笔记节点！"));
        return;
    }
    if (importState_ != RunState::kIdle) {
        MessageBox::warning(dialogParent_,
                            QStringLiteral("上一个导入还没停止！请先右键单击笔记停止导入！"));
        return;
    }
    if (MessageBox::question(dialogParent_,
                             QStringLiteral("确定要将拖选的文件和子目录导入本软件的当前节点上？"),
                             QMessageBox::Ok | QMessageBox::Cancel) != QMessageBox::Ok) {
        return;
    }
    importStopRequested_ = false;
    setImportState(RunState::kRunning);
    const bool keep = askKeepFilePaths();
    const Stopwatch watch;
    session_->saveCurrentNote(true);
    TreeStore& notebook = trees_->notebook();
    EventPump pump;
    ImportBatch batch(notebook, importOptions(keep, pump));
    const int depth = notebook.BeginBatch(item);
    if (depth < 0) {
        MessageBox::warning(dialogParent_, QStringLiteral("发生不可预测的错误！"));
    } else {
        for (const QString& path : paths) {
            batch.ImportPath(depth, path.toStdString());
            pump();
            if (importStopRequested_) break;
        }
    }
    finishImport(&batch, item, depth, watch);
    setImportState(RunState::kIdle);
    emit importFinished();
}

void FolderTransfer::finishImport(ImportBatch* batch, int item, int depth, const Stopwatch& watch) {
    TreeStore& notebook = trees_->notebook();
    const bool wasWritable = notebook.writable();
    if (depth >= 0) batch->Commit(item, depth);
    commands_->refreshTree(TreeKind::kNotebook);
    session_->selectQuietly(item);
    commands_->fixParentIcon(TreeKind::kNotebook, item, TreeCommands::ChildChange::kGained);
    trees_->notebookView()->expandNode(item);
    if (wasWritable && !notebook.writable()) {
        MessageBox::critical(dialogParent_,
                             QStringLiteral("导入的笔记没能写入笔记本文件！它们只在内存中，"
                                            "请检查磁盘后重新运行本软件。"));
    }
    if (exiting_) return;
    MessageBox::information(dialogParent_, QStringLiteral("导入完成！") + Elapsed(watch) +
                                               importSummary(batch->tally()));
}

QString FolderTransfer::importSummary(const ImportTally& tally) const {
    QString text;
    if (tally.refused > 0) {
        text += QStringLiteral("\n有 %1 个文件是本软件自己的数据文件，不能按原来的路径导入：%2")
                    .arg(tally.refused)
                    .arg(QString::fromStdString(tally.firstRefused));
    }
    if (tally.skipped > 0) {
        text += QStringLiteral("\n有 %1 个项目不是普通文件或文件夹，没有导入。").arg(tally.skipped);
    }
    if (tally.depthCapped) text += QStringLiteral("\n超过 1000 层的文件夹没有导入。");
    return text;
}

void FolderTransfer::exportCommand() {
    if (exportState_ != RunState::kIdle) {
        exportStopRequested_ = true;
        exportState_ = RunState::kStopping;
        if (menu_ != nullptr) menu_->refresh();
        return;
    }
    exportStopRequested_ = false;
    exportState_ = RunState::kRunning;
    if (menu_ != nullptr) menu_->refresh();

    const QString folder = ChooseFolder(dialogParent_, QStringLiteral("选择导出到的文件夹："));
    const int item = trees_->notebookView()->selectedNode();
    if (!folder.isEmpty() && item != -1 && !exiting_) {
        const Stopwatch watch;
        session_->saveCurrentNote(true);  // the export holds what the editor shows
        EventPump pump;
        TransferControl control;
        control.stop = &exportStopRequested_;
        control.betweenSteps = [&pump] { pump(); };
        const ExportResult result =
            ExportSubtree(trees_->notebook(), item, folder.toStdString(), control);
        QString text = QStringLiteral("导出完成！") + Elapsed(watch);
        if (result.failed > 0) {
            text += QStringLiteral("\n有 %1 个笔记没有写出。").arg(result.failed);
        }
        if (!exiting_) MessageBox::information(dialogParent_, text);
    }
    exportState_ = RunState::kIdle;
    if (menu_ != nullptr) menu_->refresh();
    emit exportFinished();
}

}  // namespace qm
