// The write-ahead edit log beside a file ("<file>.log"): every edit of the file's image is
// appended as a small checksummed record and synced once, so an edit is durable in a time that
// does not depend on the file's size; a checkpoint later writes the whole image to the file.
// Byte layout, protocol and recovery rules: doc/journal.md.
//
// The log's lock (an exclusive flock on the log file) is the file's lock: the file itself is
// replaced by a rename at every checkpoint, the log never is. One thread appends edits; a
// checkpoint may append its marker from another thread: every call takes the log's mutex.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "common/write_error.h"

namespace qm {

class EditLog {
public:
    enum class OpenResult {
        kWritable,  // the log is ours, locked: edits go to it
        kLocked,    // another process holds it
        kFailed,    // it cannot be created or opened (folder read-only...)
    };

    // One edit: `removed` bytes at `offset` replaced by `inserted`.
    struct Edit {
        uint64_t offset = 0;
        uint64_t removed = 0;
        std::string_view inserted;
    };

    // What a log holds for a file.
    struct Recovery {
        std::vector<Edit> edits;  // to apply to the file, in order (views into the log bytes)
        bool belongs = true;      // false: the log was written for another file; ignore it
        size_t validEnd = 0;      // where the last complete record ends; the rest is torn
        uint64_t lastSeq = 0;     // the highest sequence number seen
        // The bytes of sealed batches of several pieces, joined; their edits view these.
        std::deque<std::string> joined;
    };

    // The identity of a file that a log's header names: its size and the checksum of its first
    // and last kSampleSize bytes (`head` and `tail`, which overlap in a small file).
    static constexpr size_t kSampleSize = 64 * 1024;
    static uint32_t SampleCrc(std::string_view head, std::string_view tail);

    // Reads a log against the file's bytes. The file holds the edits up to the last checkpoint
    // marker whose size and checksum it matches; with none, the state named by the header.
    static Recovery Recover(std::string_view log, std::string_view file);

    static std::string LogPath(const std::string& path) { return path + ".log"; }

    EditLog() = default;
    EditLog(const EditLog&) = delete;
    EditLog& operator=(const EditLog&) = delete;
    ~EditLog();

    // Opens (creating) the log of the file at `path` and locks it. Reads nothing.
    OpenResult Open(const std::string& path);
    // Read without waiting for a sync another thread holds the log for.
    bool isOpen() const;
    // The whole log as it stands.
    bool ReadAll(std::string* bytes);
    // Continues a recovered log: drops a torn tail behind `validEnd` and numbers the next
    // edits after `lastSeq`. False when the log cannot be written.
    bool Continue(size_t validEnd, uint64_t lastSeq);
    // Keeps a log that belongs to no file as "<file>.log.unmatched" and empties it.
    bool SetAside(const std::string& bytes);

    // Appends a group of edits that replay as one: all of them or none. A log that is empty
    // gets its header first, naming the file (size, sample checksum) the edits apply to. With
    // `durable` the log is synced; otherwise the records wait for the next sync. False when a
    // file call fails (or the log was removed): the log stays open, what was written of the
    // group is cut off again as far as the disk lets, lastError() says why, and the caller
    // must not append again before a checkpoint with DropUnsynced() brought the file up to
    // date: the edits in between exist in memory alone.
    bool Append(const std::vector<Edit>& group, bool durable, uint64_t baseSize,
                uint32_t baseSampleCrc);

    // The number of the last edit appended; a checkpoint snapshot holds every edit up to it.
    uint64_t lastSeq() const;
    // Bytes in the log. Read without waiting for a sync another thread holds the log for.
    uint64_t size() const;
    // An append is under way (waiting for the log or its sync) right now: a checkpoint writing
    // in the background holds its next disk writes back meanwhile. Read without waiting.
    bool appendWaiting() const { return appendsWaiting_.load() > 0; }
    // Whether the log holds edits the file may not have.
    bool empty() const;

    // Checkpoint: records (synced) that the file about to replace the old one holds every edit
    // up to `seq` and has this size and checksum.
    bool AppendMarker(uint64_t seq, uint64_t fileSize, uint32_t fileCrc);
    // After the new file is in place: empties the log when no edit came after `seq`.
    bool ResetIfNothingAfter(uint64_t seq);

    // Before a checkpoint that follows failed appends: cuts the log back to the last append
    // that succeeded (a group half written or written without its sync must never replay) and
    // syncs; a log removed underneath is created again, empty. False when that fails.
    bool DropUnsynced();

    // A batch: records written ahead into the log while they are still being made (an import
    // reading files), which become one insertion only when sealed. Recovery ignores the pieces
    // of a batch that has no seal. One batch at a time; while one is open the log is never
    // emptied, so its pieces stay until the seal or AbandonBatch.
    // Opens a batch; a log that is empty gets its header first (the file, as in Append). False
    // when the log is closed or a batch is open already.
    bool OpenBatch(uint64_t baseSize, uint32_t baseSampleCrc);
    // Appends a piece of the open batch: whole records, handed to the disk but not synced.
    // May run on another thread than the edits. False when it cannot be written: the batch
    // can then never be sealed.
    bool AppendPiece(std::string_view records);
    // Syncs the pieces written so far, so that the seal's own sync is short. False (the batch
    // can never be sealed) when that fails.
    bool SyncBatch();
    // Appends (synced) the seal: the batch's pieces, joined, are inserted at `offset` of the
    // file as one edit of its own, numbered like any other. False, with the batch closed and
    // replaying nothing, when a piece or the seal could not be written.
    bool SealBatch(uint64_t offset);
    // Closes the batch without a seal; its pieces are cut off again when nothing came after.
    void AbandonBatch();
    // Bytes in the log that edits and markers take: an open batch's pieces (and the header
    // written for them) are left out.
    uint64_t editBytes() const;

    // The last file call that failed (path and errno); empty while none has.
    WriteError lastError() const;

    // Closes the log; with `remove` an empty log is deleted first (a clean close).
    void Close(bool remove);

private:
    bool AppendLocked(const std::string& bytes, bool durable);
    void AbandonLocked();
    void FailLocked();
    bool RemovedLocked() const;

    mutable std::mutex mutex_;
    std::string path_;  // of the log
    int fd_ = -1;
    // Whether fd_ is open (changed under mutex_ only), read without the mutex: the window asks
    // often and must not wait behind a piece of a batch or a checkpoint's sync.
    std::atomic<bool> open_{false};
    std::atomic<uint64_t> size_{0};  // changed under mutex_ only
    std::atomic<int> appendsWaiting_{0};
    uint64_t seq_ = 0;
    WriteError error_;
    bool needsCut_ = false;  // a failed append may have left bytes behind size_
    // The open batch.
    bool batchOpen_ = false;
    bool batchFailed_ = false;
    uint64_t batchId_ = 0;
    uint32_t batchPieces_ = 0;
    uint64_t batchBytes_ = 0;                 // the records in its pieces
    std::atomic<uint64_t> batchLogBytes_{0};  // log bytes its pieces (and header) take
    uint64_t batchStart_ = 0;                 // log size before it wrote anything
    bool batchAtTail_ = false;                // nothing but its own pieces came after batchStart_
};

}  // namespace qm
