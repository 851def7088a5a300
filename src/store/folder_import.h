// Import of folders and files into a note subtree. The records are built in a batch of their
// own and reach the tree file as one insertion when the batch is committed, so an import
// that is interrupted leaves the file as it was, and edits made while it ran (the batch
// position is found again at commit time) cannot make it land inside a record.
#pragma once

#include <ctime>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "store/folder_walk.h"
#include "store/transfer_control.h"

namespace qm {

class BatchLogWriter;
class ImportBodyFiles;
class TreeStore;

struct ImportOptions {
    // The imported file itself becomes the note's external file: not read, copied or changed.
    bool keepFilePaths = false;
    TransferControl control;
    // Records past the first piece are written into the store's log while they are read, so
    // that the commit only seals them; false: they all go in by one edit at the commit (the
    // way a benchmark measures what that costs).
    bool logAhead = true;
    // The clock for the three time fields; the system clock when empty.
    std::function<std::time_t()> now;
};

struct ImportTally {
    int notes = 0;    // records appended
    int files = 0;    // files read, or kept by their paths
    int skipped = 0;  // entries given that are neither a regular file nor a folder
    int refused = 0;  // files kept by path refused: they are the program's own data files
    bool stopped = false;
    bool depthCapped = false;  // folders below depth 1000 were left out
    int bodyFilesFailed = 0;   // long bodies whose file could not be written: kept in the record
    std::string firstRefused;  // the first refused path (UTF-8)
};

// Bodies longer than this many bytes go to a file of their own under "外部存储".
inline constexpr size_t kImportExternalThreshold = 102400;

class ImportBatch {
public:
    // `store` is where external bodies are written and where the batch goes in; it must
    // outlive the batch.
    ImportBatch(TreeStore& store, ImportOptions options);
    // A batch never committed leaves nothing behind in the store's log.
    ~ImportBatch();
    ImportBatch(const ImportBatch&) = delete;
    ImportBatch& operator=(const ImportBatch&) = delete;

    // Appends one record below a record of `parentDepth`: image 0 with children, else 1; the
    // three times now; an empty external path and a body (GB18030) over the threshold get a
    // new name under "外部存储\"; a given external path where no file exists gets the body
    // written there. The body stays in the record only when no external file holds it.
    // Returns the new record's depth (parentDepth + 1).
    int AppendBatchRecord(int parentDepth, std::string_view title, std::string body,
                          const std::string& externalPath = {}, bool hasChildren = false);

    // Appends the folder (title: its name; body: its ".dirtxt") and, below it, its "*.txt"
    // and "*.htm" files and then its subfolders, recursively. Stops at once when asked to
    // (after the current file or subfolder); folders deeper than 1000 are left out.
    void ImportFolderTree(int parentDepth, const std::string& folder);

    // One dropped path below a record of `parentDepth`: a folder as ImportFolderTree, a
    // regular file (whatever its extension) as a leaf; anything else is skipped.
    void ImportPath(int parentDepth, const std::string& path);

    // What an ImportWalk of this batch reads with: the batch's file-path choice and the
    // program folder its kept paths are checked against (stop and steps are the caller's).
    ImportWalkOptions walkOptions() const;
    // Adds one item of a walk (records and tallies; steps are ignored).
    void Add(ImportItem&& item);
    // What a reading thread runs on each item before it is added: writes a long body into its
    // file under "外部存储" there (ImportBodyFiles::Write). Holds its own state, so it may
    // outlive the batch.
    std::function<void(ImportItem&)> bodyFileWriter() const;
    // Marks the batch as stopped before it read everything.
    void SetStopped() { tally_.stopped = true; }

    // Before the commit: hands the records made so far to the log's writer and tells whether
    // it has written them all, waiting up to `waitMs`. A caller that must not block waits in
    // short turns and then commits at once. True at once when nothing is logged ahead.
    bool LogWritten(int waitMs);

    // Inserts the records as the last children of `index`, in one edit of the file, shifted
    // to the node's depth at this moment. Returns false, inserting nothing, when the node
    // does not exist. The batch is empty afterwards. Records past the first piece were
    // written into the store's log while they were read (on a thread of their own); then the
    // commit only seals them there (one small synced record) and takes them into the image
    // without a copy.
    bool Commit(int index, int builtForDepth);

    // The records so far, joined (a copy).
    std::string records() const;
    const ImportTally& tally() const { return tally_; }
    bool stopRequested() const { return options_.control.stopRequested(); }

private:
    // Where the body of a record goes.
    enum class BodyPlace {
        kDecide,  // into a new file when it is long (written here), else into the record
        kInFile,  // already written into the file of the given path
        kFailed,  // its file could not be written: into the record
    };
    int AppendRecord(int parentDepth, std::string_view title, std::string body,
                     const std::string& externalPath, bool hasChildren, BodyPlace place);
    // Ends the piece being filled; with `mayLog` it goes into the store's log as well.
    void ClosePiece(bool mayLog);
    void Clear();
    const std::string& NowText();
    // Walks with the batch's own options and adds what it finds; false when it stopped.
    bool Walk(const std::function<bool(ImportWalk&)>& run);

    TreeStore& store_;
    ImportOptions options_;
    // Records in pieces of about kPieceBytes: a single growing text would copy all it holds
    // each time it grows, a long pause once it is tens of megabytes. Closed pieces are never
    // changed again: they go into the log and, at the commit, into the image as they are.
    std::vector<std::shared_ptr<const std::string>> pieces_;
    std::string filling_;
    size_t recordBytes_ = 0;
    ImportTally tally_;
    std::string programFolder_;  // canonical, UTF-8; empty when unknown
    std::shared_ptr<ImportBodyFiles> bodyFiles_;
    std::unique_ptr<BatchLogWriter> logWriter_;  // null until the first piece, or not logged
    bool logTried_ = false;
    std::time_t timeOfText_ = -1;
    std::string timeText_;
};

// Imports `folder` as the last child of node `index` (ImportFolderTree below the node's
// depth, then one commit). Returns false, changing nothing, when the node does not exist.
// A stopped import still commits what it read.
bool ImportFolder(TreeStore& store, int index, const std::string& folder,
                  const ImportOptions& options, ImportTally* tally = nullptr);

// Shows node `index` (> 0, roots keep their icon) as a note with children: stores "0" in its
// image field when it holds anything else. Returns true when it changed.
bool MarkAsParent(TreeStore& store, int index);

}  // namespace qm
