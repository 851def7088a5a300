#include "app/transfer/folder_transfer.h"

#include <QAction>
#include <QEventLoop>
#include <QMenu>
#include <QTimer>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "app/notes/note_session.h"
#include "app/search/event_pump.h"
#include "app/transfer/choose_folder.h"
#include "app/tree_commands/tree_commands.h"
#include "app/trees/note_tree_view.h"
#include "app/trees/note_trees.h"
#include "app/trees/outline_model.h"
#include "app/trees/outline_rows.h"
#include "app/widgets/message_box.h"
#include "app/widgets/sectioned_menu.h"
#include "common/qt_text.h"
#include "common/stopwatch.h"
#include "store/folder_export.h"
#include "store/folder_import.h"
#include "store/folder_import_feed.h"
#include "store/tree_store.h"

namespace qm {

namespace {

const QString kImport = QStringLiteral("导入");
const QString kExport = QStringLiteral("导出");

// An export copies this much of the subtree's records per turn of the window's event loop,
// every few milliseconds.
constexpr size_t kExportSliceBytes = size_t{1} << 20;
constexpr int kExportFeedMs = 2;

// The entry's caption in each state of its run.
QString RunCaption(FolderTransfer::RunState state, const QString& idle, const QString& running,
                   const QString& stopping) {
    switch (state) {
        case FolderTransfer::RunState::kIdle:
            return idle;
        case FolderTransfer::RunState::kRunning:
            return running;
        case FolderTransfer::RunState::kStopping:
            return stopping;
    }
    return idle;
}

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
        if (!running()) return;
        for (QAction* action : menu_->menu()->actions()) {
            if (action->isSeparator()) continue;
            if (action == menu_->entry(kImport) || action == menu_->entry(kExport)) continue;
            action->setEnabled(false);
        }
    });
}

void FolderTransfer::guardDuringImport(QAction* action) { guarded_ << action; }

QString FolderTransfer::importCaption() const {
    return RunCaption(importState_, kImport, QStringLiteral("停止导入"),
                      QStringLiteral("正在停止导入"));
}

QString FolderTransfer::exportCaption() const {
    return RunCaption(exportState_, kExport, QStringLiteral("停止导出"),
                      QStringLiteral("正在停止导出"));
}

bool FolderTransfer::running() const {
    return importState_ != RunState::kIdle || exportState_ != RunState::kIdle;
}

void FolderTransfer::setImportState(RunState state) {
    importState_ = state;
    updateGuards();
}

void FolderTransfer::setExportState(RunState state) {
    exportState_ = state;
    updateGuards();
}

void FolderTransfer::updateGuards() {
    if (menu_ != nullptr) menu_->refresh();
    // Toolbar buttons that change the notebook: off while a run reads or writes it.
    for (QAction* action : guarded_) action->setEnabled(!running());
    if (running() != wasRunning_) {
        wasRunning_ = running();
        emit runningChanged(wasRunning_);
    }
}

bool FolderTransfer::mayStart() {
    const QString reason = startBlocker_ ? startBlocker_() : QString();
    if (reason.isEmpty()) return true;
    MessageBox::warning(dialogParent_, reason);
    return false;
}

void FolderTransfer::feedBatch(ImportBatch& batch, std::function<void(ImportWalk&)> walk) {
    // Long bodies are written into their files on the reading thread.
    ImportFeed feed(batch.walkOptions(), std::move(walk), batch.bodyFileWriter());
    EventPump pump;
    ImportItem item;
    // A stop takes effect at a step, as in a run on this thread: the first file (or folder)
    // always goes in, however slow the reading thread is to hand it over.
    bool stepped = false;
    for (;;) {
        if (importStopRequested_ && stepped) {
            batch.SetStopped();
            return;
        }
        if (!feed.Next(&item, 10)) {
            if (feed.done()) return;
            pump();  // the worker is still reading: the window answers meanwhile
            continue;
        }
        if (item.kind != ImportItem::Kind::kStep) {
            batch.Add(std::move(item));
            continue;
        }
        stepped = true;
        pump();
    }
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
        setExportState(RunState::kStopping);
    }
}

void FolderTransfer::importCommand() {
    if (importState_ != RunState::kIdle) {
        importStopRequested_ = true;
        setImportState(RunState::kStopping);
        return;
    }
    if (!mayStart()) return;
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
        if (depth >= 0) {
            feedBatch(batch, [depth, path](ImportWalk& walk) { walk.Folder(depth, path); });
        }
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
    if (exportState_ != RunState::kIdle || !mayStart()) return;
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
        std::vector<std::string> files;
        for (const QString& path : paths) files.push_back(path.toStdString());
        feedBatch(batch, [depth, files](ImportWalk& walk) {
            for (const std::string& file : files) {
                if (!walk.Path(depth, file) || !walk.Step()) return;
            }
        });
    }
    finishImport(&batch, item, depth, watch);
    setImportState(RunState::kIdle);
    emit importFinished();
}

void FolderTransfer::finishImport(ImportBatch* batch, int item, int depth, const Stopwatch& watch) {
    TreeStore& notebook = trees_->notebook();
    const bool wasWritable = notebook.writable();
    // The new records follow the target's subtree: only their rows go into the model, in
    // place, rather than the whole tree being built again.
    // The records past the first piece are in the log already; the rest of it is written on
    // the writer's thread while the window answers, so that the commit only seals.
    EventPump pump;
    while (depth >= 0 && !batch->LogWritten(5)) pump();
    const int before = notebook.NodeCount();
    SubtreeSpan span;
    const bool located = depth >= 0 && notebook.LocateSubtree(item, &span) >= 0;
    if (depth >= 0) batch->Commit(item, depth);
    const int added = notebook.NodeCount() - before;
    OutlineModel* model = trees_->notebookModel();
    if (!located || model->nodeCount() != before) {
        commands_->refreshTree(TreeKind::kNotebook);
    } else if (added > 0) {
        const int first = span.lastIndex + 1;
        model->insertOutlineRows(first, ParseOutlineRows(notebook.BuildOutlineQuick(first, added)));
    }
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
    if (tally.bodyFilesFailed > 0) {
        text += QStringLiteral("\n有 %1 个长笔记没能写入“外部存储”文件夹，内容保存在笔记本文件中。")
                    .arg(tally.bodyFilesFailed);
    }
    return text;
}

ExportResult FolderTransfer::exportOnWorker(int item, const std::string& folder) {
    TreeStore& notebook = trees_->notebook();
    SubtreeSpan span;
    if (notebook.LocateSubtree(item, &span) < 0) return {};

    // The subtree's records are copied out here a slice at a time (tree commands wait while
    // the export runs, so the indexes hold) and written into files on a worker thread.
    struct Slices {
        std::mutex mutex;
        std::condition_variable changed;
        std::deque<std::string> queue;
        size_t bytes = 0;
        bool closed = false;
    } slices;
    RecordExport run(notebook, folder);
    std::atomic<bool> done{false};
    // As in every run, the window gets to its pending events after the first note, so a stop
    // chosen before the run began ends it there.
    std::atomic<bool> answered{false};
    QEventLoop loop;
    QMetaObject::invokeMethod(
        &loop, [&answered] { answered = true; }, Qt::QueuedConnection);
    std::thread writer([&] {
        TransferControl control;
        control.stop = &exportStopRequested_;
        control.betweenSteps = [&answered, this, first = true]() mutable {
            if (!first) return;
            first = false;
            while (!answered && !exportStopRequested_) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        };
        for (;;) {
            std::string slice;
            {
                std::unique_lock<std::mutex> lock(slices.mutex);
                slices.changed.wait(lock, [&] { return !slices.queue.empty() || slices.closed; });
                if (slices.queue.empty()) break;
                slice = std::move(slices.queue.front());
                slices.queue.pop_front();
                slices.bytes -= slice.size();
            }
            run.Write(slice, control);
        }
        done = true;
    });

    int next = item;
    auto feedSlice = [&] {
        std::string slice;
        const bool stopping = exportStopRequested_;
        while (!stopping && next <= span.lastIndex && slice.size() < kExportSliceBytes) {
            slice += notebook.CopyRecords(next, next);
            ++next;
        }
        std::lock_guard<std::mutex> lock(slices.mutex);
        if (!slice.empty()) {
            slices.bytes += slice.size();
            slices.queue.push_back(std::move(slice));
        }
        if (stopping || next > span.lastIndex) slices.closed = true;
        slices.changed.notify_all();
    };
    feedSlice();  // the first notes go before any event is processed
    QTimer feed;
    feed.setInterval(kExportFeedMs);
    connect(&feed, &QTimer::timeout, &loop, [&] {
        if (done) {
            loop.quit();
        } else {
            feedSlice();
        }
    });
    feed.start();
    loop.exec();
    writer.join();
    return run.result();
}

void FolderTransfer::exportCommand() {
    if (exportState_ != RunState::kIdle) {
        exportStopRequested_ = true;
        setExportState(RunState::kStopping);
        return;
    }
    if (!mayStart()) return;
    exportStopRequested_ = false;
    setExportState(RunState::kRunning);

    const QString folder = ChooseFolder(dialogParent_, QStringLiteral("选择导出到的文件夹："));
    const int item = trees_->notebookView()->selectedNode();
    if (!folder.isEmpty() && item != -1 && !exiting_) {
        const Stopwatch watch;
        session_->saveCurrentNote(true);  // the export holds what the editor shows
        const ExportResult result = exportOnWorker(item, folder.toStdString());
        QString text = QStringLiteral("导出完成！") + Elapsed(watch);
        if (result.failed > 0) {
            text += QStringLiteral("\n有 %1 个笔记没有写出。").arg(result.failed);
        }
        if (!exiting_) MessageBox::information(dialogParent_, text);
    }
    setExportState(RunState::kIdle);
    emit exportFinished();
}

}  // namespace qm
