// A byte image kept in memory and mirrored into its open file, edited in place (bytes
// inserted, deleted or replaced at an offset) so that, whatever moment the process dies or
// the power fails, the next Open finds the file either as it was before the interrupted
// edit or as it is after it. Used by the tree store and the settings store.
//
// Protocol (see doc/journal.md): before an edit changes bytes of the file, the bytes it
// will overwrite (and the old size) go to "<path>.journal" with a checksum, and the journal
// is synced; then the file is edited and synced, and the journal emptied. Open rolls a
// complete journal back and ignores a torn one (the file was not touched yet). A
// same-length replacement that stays inside one 512-byte sector is written with a single
// pwrite and no journal: a sector is written whole or not at all. The journal file stays
// beside the file (empty between edits) while it is open and is removed by a clean close.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "common/write_error.h"

namespace qm {

class JournaledFile {
public:
    enum class OpenResult {
        kWritable,  // the file is ours: edits reach it
        kLocked,    // another process has it open for writing; edits stay in memory
        kFailed,    // it cannot be opened for writing (folder read-only...); memory only
    };

    JournaledFile() = default;
    JournaledFile(const JournaledFile&) = delete;
    JournaledFile& operator=(const JournaledFile&) = delete;
    ~JournaledFile();

    // Loads the file at `path` (a missing file gives an empty image), recovers an edit that
    // an earlier process left half done, and opens the file for writing with an exclusive
    // lock, creating it when missing. Unless the result is kWritable the image still holds
    // the content (with an interrupted edit rolled back in memory only) and edits change the
    // image alone. Closes a file opened before.
    OpenResult Open(const std::string& path);

    // Loads the file (and rolls back an interrupted edit in memory) without opening it for
    // writing and without touching the file or its journal. Returns false when it cannot be
    // read; a missing file is an error here.
    bool Load(const std::string& path);

    // Closes the file; the image stays.
    void Close();

    bool writable() const { return fd_ >= 0; }

    // A write, truncation or sync failed (or the file was removed underneath): the file is
    // left to its journal, which undoes the half edit at the next Open, and edits change the
    // image alone until Retry succeeds.
    bool failing() const { return failing_; }
    // Why, while failing(): the file and the system's reason.
    const WriteError& lastError() const { return error_; }
    // Brings the file up to date with the image, crash-safely: the half edit is rolled back
    // from the journal, then the whole content is replaced as one journaled edit. True when
    // the file holds the image (or nothing was failing).
    bool Retry();
    const std::string& data() const { return image_; }
    size_t size() const { return image_.size(); }

    // Replaces `length` bytes at `offset` with `bytes` in the image and in the file.
    // Returns false and changes nothing when the range lies outside the image. Returns
    // true when the image changed, even if the file could not be written (then failing()
    // turns true and the image goes on alone until Retry).
    bool Replace(size_t offset, size_t length, std::string_view bytes);
    bool Insert(size_t offset, std::string_view bytes) { return Replace(offset, 0, bytes); }
    bool Erase(size_t offset, size_t length) { return Replace(offset, length, {}); }
    bool Append(std::string_view bytes) { return Replace(image_.size(), 0, bytes); }

    // Empties the image and truncates the file to 0 bytes.
    void Clear() { Replace(0, image_.size(), {}); }

    // Test hook: when set to n > 0, the process ends with _exit(86) just before its n-th
    // low-level file call (write, truncate, sync, rename or unlink) from now on, as a crash
    // or power loss would stop it. 0 turns it off.
    static void SetCrashPointForTesting(int n);

private:
    // Stops writing after a failed file call (errno tells why); the image goes on alone.
    void Fail(const std::string& path);
    // Writes and syncs the undo record: `saved` are the bytes at `offset` of a file of
    // `old_size` bytes that the edit overwrites.
    bool WriteUndo(uint64_t offset, uint64_t old_size, std::string_view saved);
    // Opens (creating) the file and its journal again under the lock, after the file was
    // removed underneath.
    bool Reopen();
    bool Removed() const;

    std::string image_;
    std::string path_;
    int fd_ = -1;
    int journal_fd_ = -1;
    bool failing_ = false;
    WriteError error_;
};

}  // namespace qm
