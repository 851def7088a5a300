// The notebook menu's "导入" and "导出" and the import of dropped files: the folder choice,
// the questions, a run that the window answers during and that the same command stops, and
// the messages at the end. While an import runs the commands that would change the notebook
// are disabled and the selection stays on the target note.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <atomic>
#include <functional>
#include <string>

class QAction;
class QWidget;

namespace qm {

class EventPump;
struct ExportResult;
class ImportBatch;
class ImportWalk;
struct ImportOptions;
class Stopwatch;
class NoteSession;
class NoteTrees;
class SectionedMenu;
class TreeCommands;
struct ImportTally;

class FolderTransfer : public QObject {
    Q_OBJECT
public:
    enum class RunState { kIdle, kRunning, kStopping };

    // All must outlive the object; message boxes and dialogs open over `dialogParent`.
    FolderTransfer(NoteTrees* trees, NoteSession* session, TreeCommands* commands,
                   QWidget* dialogParent);
    ~FolderTransfer() override;

    // Puts "导入" and "导出" into `section` of the notebook menu, with their run captions, and
    // disables the menu's other entries while an import runs.
    void addNotebookEntries(SectionedMenu& menu, int section);
    // `action` (a toolbar button that changes the notebook) is disabled while an import or an
    // export runs.
    void guardDuringImport(QAction* action);
    // Asked before a run starts: a non-empty text is why it cannot start now (shown as a
    // warning), e.g. while automatic typing holds the note.
    void setStartBlocker(std::function<QString()> blocker) { startBlocker_ = std::move(blocker); }
    // True while an import or an export runs.
    bool running() const;

    // "导入": starts an import of a chosen folder below the selected note, or asks a running
    // one to stop.
    void importCommand();
    // "导出": exports the selected note's subtree into a chosen folder, or asks a running
    // export to stop.
    void exportCommand();
    // Files and folders dropped on the window, in drop order.
    void importDropped(const QStringList& paths);
    // The program ends: a running import or export stops (an import commits what it read)
    // and shows no closing message.
    void stopForExit();

    RunState importState() const { return importState_; }
    RunState exportState() const { return exportState_; }
    // "导入" / "停止导入" / "正在停止导入", and the same for "导出".
    QString importCaption() const;
    QString exportCaption() const;

signals:
    // An import or export started (true) or ended (false).
    void runningChanged(bool running);
    // A run ended (after its closing message).
    void importFinished();
    void exportFinished();

private:
    // Shared end of both imports: commits, rebuilds the tree, marks and expands the target,
    // and tells the user how it went.
    void finishImport(ImportBatch* batch, int item, int depth, const Stopwatch& watch);
    void setImportState(RunState state);
    void setExportState(RunState state);
    // Menu entries and guarded actions follow the run states.
    void updateGuards();
    // False, after telling why, when the start blocker holds runs back.
    bool mayStart();
    // Reads with `walk` on a worker thread and adds what it finds to `batch` here, the window
    // answering meanwhile; a stop request ends it at once.
    void feedBatch(ImportBatch& batch, std::function<void(ImportWalk&)> walk);
    // Writes the subtree of `item` into `folder` on a worker thread from a copy of its
    // records, the window answering meanwhile; the export's stop request ends it.
    ExportResult exportOnWorker(int item, const std::string& folder);
    QString importSummary(const ImportTally& tally) const;
    bool askKeepFilePaths();
    // The options of an import run: file paths kept or not, this object's stop flag, and
    // `pump` between steps so the window answers.
    ImportOptions importOptions(bool keepFilePaths, EventPump& pump);

    NoteTrees* trees_;
    NoteSession* session_;
    TreeCommands* commands_;
    QWidget* dialogParent_;
    SectionedMenu* menu_ = nullptr;
    QList<QAction*> guarded_;
    RunState importState_ = RunState::kIdle;
    RunState exportState_ = RunState::kIdle;
    std::atomic<bool> importStopRequested_{false};
    std::atomic<bool> exportStopRequested_{false};
    bool exiting_ = false;
    bool wasRunning_ = false;
    std::function<QString()> startBlocker_;
};

}  // namespace qm
