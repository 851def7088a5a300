// TreeStore: one tree database file (".qm") held in memory as records in pieces; every change
// is durable when the call returns through the edit log beside the file, and a checkpoint
// (on any thread) brings the file itself up to date. Byte layout and recovery rules:
// doc/qm_format.md and doc/journal.md. Nodes are addressed by their 0-based record position
// (pre-order).
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "common/write_error.h"
#include "store/record_format.h"
#include "store/record_image.h"

namespace qm {

class EditLog;
class CheckpointTask;
struct CheckpointState;

// Field numbers of a record (1-based, as in the file).
enum NodeField : int {
    kFieldTitle = 1,
    kFieldImage = 2,
    kFieldSelectedImage = 3,
    kFieldItemValue = 4,
    kFieldExpandState = 5,
    kFieldDepth = 6,
    kFieldBody = 7,
    kFieldExternalPath = 8,
    kFieldSelStart = 9,
    kFieldSelLength = 10,
    kFieldCreated = 11,
    kFieldModified = 12,
    kFieldAccessed = 13,
};

// Values for AddNode and UpdateNode; an empty optional means "not given". Text is GB18030.
struct NodeFields {
    std::optional<std::string> title;
    std::optional<int32_t> image;
    std::optional<int32_t> selectedImage;
    std::optional<int32_t> itemValue;
    std::optional<int32_t> expandState;
    std::optional<std::string> body;
    std::optional<std::string> externalPath;
    std::optional<int32_t> selStart;
    std::optional<int32_t> selLength;
    // With a body and a non-empty external path: the caller has already written the body into
    // that file (WriteExternalFile, on any thread), so UpdateNode does not write it again and
    // the body given is not used.
    bool bodyInFile = false;
};

// One record as read by ReadNode; integers parsed by the file's integer rule.
struct NodeRecord {
    std::string title;
    int32_t image = 0;
    int32_t selectedImage = 0;
    int32_t itemValue = 0;
    int32_t expandState = 0;
    int32_t depth = 0;
    std::string body;  // filled only when the body was read
    // With ReadNode's bodyFileLater: the stored path of the file that holds the body, which the
    // caller reads itself (ReadExternalFile); body stays empty then. Empty otherwise.
    std::string bodyFile;
    std::string externalPath;
    int32_t selStart = 0;
    int32_t selLength = 0;
    std::string created;
    std::string modified;
    std::string accessed;
};

// Fields 8, 11, 12 and 13 of a record.
struct PathAndTimes {
    std::string externalPath;
    std::string created;
    std::string modified;
    std::string accessed;
};

// Where a subtree lies in the image.
struct SubtreeSpan {
    size_t startOffset = 0;  // first byte of the subtree's first record
    size_t endOffset = 0;    // terminator of its last record
    int lastIndex = -1;      // index of its last record
    int depth = 0;           // depth of its first record
};

struct SearchQuery {
    std::string pattern;  // GB18030
    int afterIndex = -1;  // only nodes with a greater index are tested
    bool ignoreCase = true;
    bool wholeText = false;
    bool useRegex = false;
    bool escapePattern = false;  // with useRegex: the pattern is a wildcard text (a*b?)
    bool includeBodies = true;   // false: titles only
    // Run before each record is tested (the window processes its events there); then the
    // search ends when *stop is true.
    std::function<void()> betweenRecords;
    const std::atomic<bool>* stop = nullptr;
    // A body kept in its file, or a long one in its record, is read and matched by `work`
    // handed to this, which returns when the work has finished (the window answers meanwhile,
    // its stop button included; the work reads only what it was given, never the store).
    // Empty: on the calling thread.
    std::function<void(const std::function<void()>& work)> runLong;
};

struct SearchResult {
    enum class Status { kFound, kNotFound, kStopped, kInvalidPattern };
    Status status = Status::kNotFound;
    int index = -1;           // the matching node, -1 unless kFound
    int matchedPart = 0;      // 1 = title, 2 = body
    std::string matchedText;  // the title or body that matched
    std::string error;        // kInvalidPattern: the expression engine's message (UTF-8)
};

class TreeStore {
public:
    // `programFolder` is where relative external body paths are resolved.
    explicit TreeStore(std::string programFolder = {});
    ~TreeStore();
    TreeStore(const TreeStore&) = delete;
    TreeStore& operator=(const TreeStore&) = delete;

    void SetProgramFolder(std::string folder) { programFolder_ = std::move(folder); }

    // Runs `work` and returns when it has finished, leaving the calling thread free meanwhile
    // to answer its window (a worker runs it). The work reads only bytes the store keeps alive
    // for it, and files; it never touches the store.
    using LongWork = std::function<void(const std::function<void()>& work)>;
    // Records from this size on are split, copied and rebuilt through the long-work runner, so
    // that reading or editing a note of hundreds of megabytes does not hold the caller's
    // thread. Without a runner (the default) all of it runs on the calling thread.
    static constexpr size_t kLongRecordBytes = size_t{1} << 20;
    void SetLongWorkRunner(LongWork run) { longWork_ = std::move(run); }
    const std::string& programFolder() const { return programFolder_; }

    // The clock for the time fields (seconds since the epoch, written as local time).
    // Defaults to the system clock.
    void SetClock(std::function<std::time_t()> now) { now_ = std::move(now); }

    // Loads the file (a missing one is created empty) and keeps it open and locked. Returns
    // true when the file is ours for writing; false when another process holds it or it
    // cannot be written: the store then works on its memory image alone. The node count is
    // 0 until the first BuildOutline (or NodeCount).
    bool Open(const std::string& path);
    // Loads the file for reading only (tools): nothing is ever written to it, edits change
    // the image alone. False when it cannot be read (a missing file is an error here).
    bool Load(const std::string& path);
    bool writable() const;

    // Why the last Open did not make the file ours for writing.
    enum class OpenProblem {
        kNone,
        kLocked,       // another process holds it open for writing: edits stay in memory
        kNotWritable,  // it cannot be written here (read-only folder...): edits stay in memory
        kUnreadable,   // it exists but cannot be read: the image is empty and nothing is
                       // ever written to it
    };
    OpenProblem openProblem() const { return openProblem_; }
    // The file and the system's reason behind openProblem() (empty for kLocked).
    const WriteError& openError() const { return openError_; }

    // Write failures. When an edit cannot be appended to the log (no space, read-only file
    // system, I/O error, the log or the file removed or replaced underneath), the edit stays
    // in the image and every later edit goes to memory alone until RetryWrites (run at the
    // next edit, and by the window every few seconds) has written the whole image to the file
    // crash-safely and restarted the log. A body file that cannot be written keeps the body
    // in the record (and shown from there) until a retry writes the file.
    // Edits exist in memory alone (none of them is lost while the store lives).
    bool unsaved() const { return unsaved_ || !staleBodyFiles_.empty(); }
    // The last write failed: unsaved(), or a checkpoint failed (the log still holds the edits).
    bool writeFailing() const;
    // The latest failure: file and reason; empty when nothing is failing.
    WriteError lastWriteError() const;
    // Tries to bring every file up to date now. True when nothing is failing any more.
    bool RetryWrites();
    // Called on the editing thread right after an edit's write failed (the window reports it
    // from here, outside the store call).
    void SetWriteFailureHandler(std::function<void()> handler) {
        failureHandler_ = std::move(handler);
    }
    // Writes the whole image to `path` (temporary file, sync, rename): a copy of the notebook
    // kept somewhere else when its own file cannot be written. False with errno set on failure.
    bool SaveCopy(const std::string& path) const;

    // The whole image in one string, built on demand (a copy of the notebook: tests and tools;
    // the store itself reads records in place).
    const std::string& image() const;
    size_t DataSize() const { return image_.size(); }

    // Checkpoints. Edits reach the log at once; the ".qm" file is rewritten from a snapshot.
    // Log size past which a checkpoint is due.
    static constexpr uint64_t kCheckpointLogLimit = 4u << 20;
    void SetCheckpointLogLimit(uint64_t bytes) { checkpointLogLimit_ = bytes; }
    // The log holds edits that the file does not have yet.
    bool HasLoggedEdits() const;
    // The log has grown past its limit.
    bool NeedsCheckpoint() const;
    uint64_t LogSize() const;
    // A checkpoint of the image as it is now, to run on any thread (CheckpointTask::Run) while
    // edits go on here; null when the log holds nothing or the file is not ours.
    std::shared_ptr<CheckpointTask> StartCheckpoint();
    // Brings the file up to date now (before a copy of it is made, at a clean close). True
    // when the file holds the image (or there was nothing to do).
    bool Checkpoint();
    // Checkpoints, then closes the file and its log (an empty log is removed). The image stays.
    void Close();

    // Makes the store operations called while it lives one durable group: their edits go to
    // the log in one append with one sync when the outermost scope ends (instead of one each),
    // and recovery replays all of them or none. So one window command costs one sync per store.
    // The edits are in the image at once and durable when the scope ends. A checkpoint started
    // inside a scope first logs (and syncs) what the scope gathered so far.
    class Transaction {
    public:
        explicit Transaction(TreeStore& store);
        ~Transaction();
        Transaction(const Transaction&) = delete;
        Transaction& operator=(const Transaction&) = delete;

    private:
        TreeStore* store_;
    };
    // A Transaction (or a store operation) is open: edits made now are logged later.
    bool inTransaction() const { return groupDepth_ > 0; }
    // Edits reach the disk: the file is ours and no write of the log failed since the last
    // successful retry (false while edits exist in memory alone).
    bool editsDurable() const { return writable() && !unsaved_; }

    // Outline rows for the tree view, one per record (doc/qm_format.md). Repairs records too
    // short to hold a depth, and recounts the nodes.
    std::string BuildOutline();
    // The same rows without repairing anything and without touching the node count.
    std::string BuildOutlineQuick() const;
    // The rows of records [first, first + count) alone (clipped to the records present), the
    // same way: for rows just inserted.
    std::string BuildOutlineQuick(int first, int count) const;

    // Raw byte edits, in the image (and file) or, with `target`, in that buffer only.
    // Return false and change nothing when the offset or range lies outside the data.
    bool InsertBytes(size_t offset, std::string_view bytes, std::string* target = nullptr);
    bool ReplaceBytes(size_t offset, size_t length, std::string_view bytes,
                      std::string* target = nullptr);

    // The first node after query.afterIndex whose title (or body) matches. An invalid
    // regular expression gives kInvalidPattern with the engine's message.
    SearchResult SearchNodes(const SearchQuery& query);

    // Adds a record as the last child of `parent` (depth parent + 1), or at the end at depth 1
    // without a parent; in a store that counts no nodes the image is emptied first. Omitted
    // values: image -1, selectedImage = image, other integers 0, texts empty; the three times
    // now. A non-empty external path gets the body (unless a file already exists there) and
    // the record's body stays empty, unless that write fails. Returns the new index, or -1
    // and changes nothing when the parent does not exist.
    int AddNode(std::optional<int> parent, const NodeFields& fields = {});

    // Rewrites a record with the given values (never its depth); a given body sets the
    // modified time; a given external path moves, writes, folds back or deletes the external
    // file. Returns false and changes nothing when the index is out of range.
    bool UpdateNode(int index, const NodeFields& fields);

    // Writes `body` as field 7 and `path` as field 8 and sets the modified time, touching no
    // file: for tying a note to a file that is already there, or untying it from a file that
    // is left in place. Returns false and changes nothing when the index is out of range.
    bool SetBodyAndPath(int index, std::string_view body, std::string_view path);

    // Replaces one field in place (field 7 and 8 follow the external-file rules; field 7 sets
    // the modified time). Returns false and changes nothing when the index or field number is
    // out of range.
    bool SetField(int index, int fieldNumber, std::string_view value);

    // Writes field 5, whether the node shows its children, as the view's state: logged without a
    // sync of its own (the next durable edit or checkpoint takes it along; a crash before loses
    // only this state), so that expanding thousands of nodes does not wait for the disk each time.
    // Returns false and changes nothing when the index is out of range.
    bool SetExpandState(int index, bool expanded);

    // Reads a record; returns field `fieldNumber` (empty when it is not 1..13 or the index is
    // out of range, with nothing written). Fills `record` when given. With `withBody` or
    // fieldNumber 7 the body is read (from its external file when one exists) and the accessed
    // time is written; otherwise nothing changes.
    // With `bodyFileLater` a body kept in its file is not read here but named in
    // record->bodyFile, so that a large file can be read on another thread.
    std::string ReadNode(int index, int fieldNumber, NodeRecord* record = nullptr,
                         bool withBody = false, bool bodyFileLater = false);

    // Field `fieldNumber` as text; empty when out of range. Field 7 comes from the external
    // file when one exists, and writes the accessed time.
    std::string GetField(int index, int fieldNumber);

    // Fields 8, 11, 12, 13; changes nothing. False when the index is out of range.
    bool GetPathAndTimes(int index, PathAndTimes* out);

    // Delimits field k of the record [*fieldStart, *recordEnd] (fieldStart in: the record's
    // first byte; recordEnd: its terminator) in the image or in `target`. A record too short
    // to hold field k gets the missing separators before its terminator; *recordEnd and
    // *dataEnd (optional) grow accordingly. Returns false for k outside 1..13 or a bad range.
    bool LocateField(int fieldNumber, size_t* fieldStart, size_t* fieldEnd, size_t* recordEnd,
                     size_t* dataEnd = nullptr, std::string* target = nullptr);

    // Moves *offset to the next terminator at or after it. Returns false and leaves it
    // unchanged when there is none.
    bool FindRecordEnd(size_t* offset, const std::string* target = nullptr) const;

    // Removes the subtree of `index`; hands back its bytes and its root's depth when asked.
    // Returns the number of records removed, or -1 and changes nothing.
    int DeleteSubtree(int index, std::string* removedBytes = nullptr, int* depth = nullptr);

    // The extent of the subtree of `index`. Returns its record count (at least 1), or -1.
    int LocateSubtree(int index, SubtreeSpan* span = nullptr);

    // The node count (builds the outline once when it was never built).
    int NodeCount();

    // The bytes of the subtree of `index`. False when it does not exist.
    bool GetSubtreeBytes(int index, std::string* bytes, int* count, int* depth = nullptr);
    // The bytes of records `first` to `last` (each with its terminator), as stored; empty when
    // the range is not in the file. Lets a large subtree be copied out a slice at a time.
    std::string CopyRecords(int first, int last) const;

    // Moves the subtree of *from to be the last child of *to, or its sibling (after it when
    // moving down, before it when moving up). On success *to holds the moved root's new
    // index and *from the old place as shifted by the insertion; *count the record count.
    // False, with nothing changed, for invalid indexes, from == to, or a target inside the
    // moved subtree.
    bool MoveSubtree(int* from, int* to, bool asSibling, int* count = nullptr);

    // Inserts a block of `count` records whose first record has depth `depth` (from the other
    // store or a cut buffer) as last child of *to, or as its sibling before it. A first
    // record of depth 1 (a root) is dropped and only its descendants go in. On success *to
    // holds the new index of the first inserted record. False, with nothing changed, for an
    // invalid target or nothing left to insert.
    bool MoveSubtree(std::string_view block, int count, int depth, int* to, bool asSibling);

    // Adds `delta` to the depth of every record of `block`, repairing short records there.
    static void ShiftDepth(std::string* block, int delta);

    // Starts a batch of records to go in as the last children of `index`: returns the node's
    // depth, or -1 when it does not exist.
    int BeginBatch(int index);
    // Appends complete records to the batch.
    void AppendBatchBytes(std::string_view records) { batchBuffer_.append(records); }
    // Makes room for `bytes` more batch bytes at once, so a large batch is copied only once.
    void ReserveBatch(size_t bytes) { batchBuffer_.reserve(batchBuffer_.size() + bytes); }
    // Inserts the batch behind the subtree named in BeginBatch, with one file edit, and
    // empties it. The node count is not changed: rebuild the outline afterwards.
    void CommitBatch();

    // A batch written into the log while it is still being read (doc/journal.md): opens one and
    // returns the log its pieces go to (EditLog::AppendPiece, callable on any thread), or null
    // when the store cannot log one now (not ours for writing, edits failing, one already
    // open); such a batch goes in by CommitBatch alone.
    std::shared_ptr<EditLog> OpenLoggedBatch();
    // Seals the logged batch whose pieces, every one written, are `pieces` (whole records made
    // for a parent of depth `builtForDepth`), as the last children of `index`: one small synced
    // record, and the pieces become records of the image without being copied; the node count
    // takes them in. False, with the batch abandoned and nothing changed, when the node does
    // not exist, its depth is not `builtForDepth`, or the seal cannot be written: the records
    // then go in by CommitBatch.
    bool SealLoggedBatch(int index, int builtForDepth,
                         const std::vector<std::shared_ptr<const std::string>>& pieces);
    // Gives up the logged batch: its pieces replay nothing.
    void AbandonLoggedBatch();

    // External body files. Paths are resolved against the program folder (ResolvePath).
    // Writes the bytes (creating folders); false on failure or for a Windows drive path. Safe
    // on any thread while the program folder stays as it is.
    bool WriteExternalFile(const std::string& path, std::string_view bytes) const;
    // The file's text decoded to GB18030; empty when it cannot be read. Safe on any thread
    // while the program folder stays as it is.
    std::string ReadExternalFile(const std::string& path) const;
    // Moves the file (copying across file systems), creating the destination's folders.
    bool MoveExternalFile(const std::string& from, const std::string& to) const;
    bool ExternalFileExists(const std::string& path) const;
    std::string ResolvePath(const std::string& path) const;

private:
    class EditGroup;
    // Every change of the image goes through here: image and log together.
    bool Edit(size_t offset, size_t length, std::string_view bytes);
    void BeginGroup(bool durable);
    void EndGroup();
    // Appends the gathered edits as one group (synced when the group is durable).
    void LogPending();
    // Inside an open group: logs what it gathered so far, before a checkpoint's snapshot.
    void LogOpenGroup();
    // Inside an open group whose edits the file or the log now holds: later edits start anew.
    void RebaseGroup();
    // Loads the file (mapped) and the log without writing either. False with errno set when
    // the file cannot be read.
    bool LoadReadOnly(const std::string& path);
    // An edit's write failed: edits go to memory alone from here on.
    void NoteFailure(const WriteError& error);
    // The file's name points to another inode than the one written last (removed, replaced).
    bool FileMovedUnderneath(WriteError* error) const;
    void RememberFileIdentity();
    // Writes a body file; on failure the path is remembered as stale (its record keeps the
    // body) and the failure noted.
    bool WriteBodyFile(const std::string& path, std::string_view bytes);
    bool RetryBodyFiles();
    // The body of a record naming `path` is that file's text (it exists and is not stale).
    bool BodyFileHolds(const std::string& path) const;
    // Index check against the node count and the records present.
    bool ValidIndex(int index) const;
    std::string NowText() const;
    void ResetState();
    // Replaces a range with new bytes, writing only the part that differs.
    bool EditChanged(size_t offset, size_t length, std::string_view bytes);
    int RecordDepth(int index);
    std::string_view RecordBytes(int index) const;  // without its terminator
    bool LocateRecordField(int index, int fieldNumber, size_t* start, size_t* end);
    // Runs `work` through the long-work runner when `bytes` reach kLongRecordBytes and a
    // runner is set, else here.
    void RunLong(size_t bytes, const std::function<void()>& work);
    // Record `index` still is the piece `bytes` viewed (no edit replaced it meanwhile).
    bool SameRecord(int index, std::string_view bytes) const;
    // The fields of record `index` as views into its bytes, which `owner` keeps alive; a long
    // record is split through the runner.
    RecordViews FieldViews(int index, std::shared_ptr<const void>* owner);
    // The bytes [offset, offset + length) of the image: a view when they lie in one record,
    // else a copy held in `copy`.
    std::string_view ImageBytes(size_t offset, size_t length, std::string* copy) const;
    // SetFieldBytes for a long record: the new record is built through the runner and put in
    // place whole. False when it could not be done that way (the caller goes the usual way).
    bool SetLongFieldBytes(int index, int fieldNumber, std::string_view value);
    // ReadNode's fields of a long record, split and the body copied through the runner.
    bool ReadLongRecord(int index, bool bodyFileLater, NodeRecord* out, RecordFields* record);
    // Field k of a record as stored (a short record is repaired first).
    std::string RawField(int index, int fieldNumber);
    bool SetFieldBytes(int index, int fieldNumber, std::string_view value);
    // The body shown for a record: its external file's text when that file exists.
    std::string BodyText(std::string_view body, const std::string& externalPath) const;
    static bool LocateFieldIn(std::string* buffer, int fieldNumber, size_t* fieldStart,
                              size_t* fieldEnd, size_t* recordEnd, size_t* dataEnd);

    std::string programFolder_;
    LongWork longWork_;
    std::string path_;
    RecordImage image_;
    std::shared_ptr<EditLog> log_;  // null unless the file is ours for writing
    std::shared_ptr<CheckpointState> checkpoint_;
    uint64_t checkpointLogLimit_ = kCheckpointLogLimit;
    mutable std::string flat_;
    mutable bool flatValid_ = false;
    // The edits of the group being made, logged together when it ends.
    struct PendingEdit {
        uint64_t offset;
        uint64_t removed;
        std::string inserted;
    };
    std::vector<PendingEdit> pending_;
    int groupDepth_ = 0;
    bool groupDurable_ = false;
    bool groupHasBase_ = false;
    uint64_t groupBaseSize_ = 0;
    uint32_t groupBaseCrc_ = 0;
    int nodeCount_ = 0;
    bool outlineBuilt_ = false;
    std::string batchBuffer_;
    std::optional<size_t> batchInsertOffset_;
    std::function<std::time_t()> now_;
    OpenProblem openProblem_ = OpenProblem::kNone;
    WriteError openError_;
    bool unsaved_ = false;
    WriteError lastError_;
    std::function<void()> failureHandler_;
    std::set<std::string> staleBodyFiles_;  // stored paths whose file misses the latest body
    bool retrying_ = false;
};

}  // namespace qm
