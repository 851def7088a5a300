#include "store/checkpoint_task.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string_view>
#include <utility>

#include "common/edit_log.h"
#include "common/file_calls.h"

namespace qm {
namespace {

// The size of the slices a checkpoint writes and hands to the disk.
constexpr size_t kSlice = 128u << 10;
// How much of the new file may reach the disk's cache before the checkpoint syncs it. A sync of
// the edit log flushes the disk's whole write cache, so it would otherwise wait for everything the
// checkpoint wrote since the last flush (tens of megabytes between two saves).
constexpr uint64_t kFlushEvery = uint64_t{1} << 20;
// The longest a slice waits for edits that want the disk first; then the checkpoint goes on.
constexpr int kMaxYieldMs = 50;

}  // namespace

CheckpointTask::CheckpointTask(std::string path, ImageSnapshot snapshot, uint64_t seq,
                               std::shared_ptr<EditLog> log, std::shared_ptr<CheckpointState> state,
                               bool afterFailedAppends)
    : path_(std::move(path)),
      snapshot_(std::move(snapshot)),
      seq_(seq),
      log_(std::move(log)),
      state_(std::move(state)),
      afterFailedAppends_(afterFailedAppends) {
    ++state_->started;
}

CheckpointTask::~CheckpointTask() {
    if (!done_) --state_->started;
}

void CheckpointTask::YieldToWaitingEdits() const {
    for (int waited = 0; log_->appendWaiting() && waited < kMaxYieldMs; ++waited) usleep(1000);
}

void CheckpointTask::FreeInSteps(int old) {
    // Freeing a file of 100 MB at its close makes one journal commit carry all of its blocks
    // (and, on a file system mounted with discard, their discards); a sync of the log waits
    // for that commit. Cut down a few megabytes at a time, each step synced here, an edit's
    // sync waits for one step at most, and no step starts while an edit waits for the log.
    struct stat st;
    if (fstat(old, &st) != 0 || st.st_nlink != 0 || !S_ISREG(st.st_mode)) return;
    if (static_cast<uint64_t>(st.st_size) <= freeStep_) return;
    // Never cut a file that someone still reads (a reader that mapped it would fault, a copy
    // would come out short): a write lease is granted only when no other open file or mapping
    // holds the inode. No name leads to it any more, so nobody can open it afterwards; the lease
    // is given back at once (its break would signal this process).
    if (fcntl(old, F_SETLEASE, F_WRLCK) != 0) return;
    fcntl(old, F_SETLEASE, F_UNLCK);
    uint64_t size = static_cast<uint64_t>(st.st_size);
    while (size > 0) {
        size = size > freeStep_ ? size - freeStep_ : 0;
        YieldToWaitingEdits();
        // A failure leaves the rest to the close.
        if (!fileio::Truncate(old, size) || !fileio::Sync(old)) return;
    }
}

uint64_t CheckpointTask::FileId(const std::string& path) {
    struct stat st;
    if (stat(path.c_str(), &st) != 0) return 0;
    return static_cast<uint64_t>(st.st_ino) ^ (static_cast<uint64_t>(st.st_dev) << 40);
}

bool CheckpointTask::Run() {
    if (done_) return false;
    std::lock_guard<std::mutex> lock(state_->running);
    const std::string temp = NewFilePath(path_);
    WriteError error;
    auto fail = [&error](const std::string& path) {
        if (!error.failed()) error = WriteError{path, errno != 0 ? errno : EIO};
        return false;
    };
    bool ok = false;
    const int fd = fileio::OpenFile(temp, O_WRONLY | O_CREAT | O_TRUNC);
    if (fd < 0) fail(temp);
    if (fd >= 0) {
        // The snapshot goes out in slices; its checksum is taken on the way. Each slice is
        // handed to the disk (sync_file_range) while the next is written, and waited for after
        // that, so at most two slices are ever on their way, and every megabyte that arrived is
        // synced (out of the disk's cache): a sync of the edit log meanwhile waits for little
        // more than a megabyte, and the final sync for nothing much. While an edit waits for
        // its append, no new slice goes to the disk: the edit's sync does not queue behind the
        // checkpoint's writes.
        std::string buffer;
        buffer.reserve(kSlice);
        uint64_t written = 0;
        uint32_t crc = fileio::Crc(nullptr, 0);
        bool failed = false;
        uint64_t handedOver = 0;  // bytes whose write-back has started
        uint64_t waitedFor = 0;   // bytes known to be on the disk
        uint64_t flushedTo = 0;   // bytes synced out of the disk's cache
        auto handOver = [&] {
            if (written - handedOver < kSlice) return;
            YieldToWaitingEdits();
            sync_file_range(fd, static_cast<off_t>(handedOver),
                            static_cast<off_t>(written - handedOver), SYNC_FILE_RANGE_WRITE);
            if (handedOver > waitedFor) {
                sync_file_range(fd, static_cast<off_t>(waitedFor),
                                static_cast<off_t>(handedOver - waitedFor),
                                SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE |
                                    SYNC_FILE_RANGE_WAIT_AFTER);
                waitedFor = handedOver;
            }
            handedOver = written;
            if (waitedFor - flushedTo >= kFlushEvery) {
                failed = !fileio::Sync(fd);
                if (failed) fail(temp);
                flushedTo = waitedFor;
            }
        };
        auto writeOut = [&](const char* data, size_t size) {
            if (failed || size == 0) return;
            crc = fileio::CrcUpdate(crc, data, size);
            failed = !fileio::WriteAll(fd, data, size, written);
            if (failed) {
                fail(temp);
                return;
            }
            written += size;
            handOver();
        };
        snapshot_.ForEachPiece([&](std::string_view piece) {
            while (!piece.empty() && !failed) {
                if (buffer.empty() && piece.size() >= kSlice) {
                    // A large record goes out from where it is, a slice at a time.
                    writeOut(piece.data(), kSlice);
                    piece.remove_prefix(kSlice);
                    continue;
                }
                const size_t take = std::min(kSlice - buffer.size(), piece.size());
                buffer.append(piece.substr(0, take));
                piece.remove_prefix(take);
                if (buffer.size() == kSlice) {
                    writeOut(buffer.data(), buffer.size());
                    buffer.clear();
                }
            }
        });
        writeOut(buffer.data(), buffer.size());
        ok = !failed && (fileio::Sync(fd) || fail(temp));
        close(fd);
        // After failed appends the log is cut back to its last good group first; an empty log
        // then needs no marker, as the old file with it is the last durable state.
        if (ok && afterFailedAppends_) ok = log_->DropUnsynced() || fail(log_->lastError().path);
        // The log learns what the new file holds before the file takes its place, so that
        // recovery never replays an edit twice (doc/journal.md).
        // The old file stays open across the rename, so that freeing its blocks happens below,
        // on this thread, and not inside the rename, which holds the folder. Writable when it
        // is to be cut down in steps.
        int old = freeStep_ > 0 ? open(path_.c_str(), O_RDWR | O_CLOEXEC) : -1;
        if (old < 0) old = open(path_.c_str(), O_RDONLY | O_CLOEXEC);
        const bool needMarker = !afterFailedAppends_ || log_->size() > 0;
        if (ok && needMarker && !log_->AppendMarker(seq_, written, crc)) {
            errno = log_->lastError().code;
            ok = fail(log_->lastError().path);
        }
        ok = ok && (fileio::Rename(temp, path_) || fail(path_));
        if (ok) state_->fileId = FileId(path_);
        // Until the folder is synced the rename may not survive a power cut.
        ok = ok && (fileio::SyncFolderOf(path_) || fail(path_));
        if (ok) log_->ResetIfNothingAfter(seq_);
        if (old >= 0) {
            if (ok && freeStep_ > 0) FreeInSteps(old);
            close(old);
        }
    }
    if (!ok) unlink(temp.c_str());
    {
        std::lock_guard<std::mutex> errorLock(state_->errorMutex);
        if (!ok) state_->error = error;
        state_->failing = !ok;
    }
    done_ = true;
    --state_->started;
    return ok;
}

}  // namespace qm
