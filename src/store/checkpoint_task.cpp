#include "store/checkpoint_task.h"

#include <fcntl.h>
#include <unistd.h>

#include <utility>

#include "common/edit_log.h"
#include "common/file_calls.h"

namespace qm {

CheckpointTask::CheckpointTask(std::string path, ImageSnapshot snapshot, uint64_t seq,
                               std::shared_ptr<EditLog> log, std::shared_ptr<CheckpointState> state)
    : path_(std::move(path)),
      snapshot_(std::move(snapshot)),
      seq_(seq),
      log_(std::move(log)),
      state_(std::move(state)) {
    ++state_->started;
}

CheckpointTask::~CheckpointTask() {
    if (!done_) --state_->started;
}

bool CheckpointTask::Run() {
    if (done_) return false;
    std::lock_guard<std::mutex> lock(state_->running);
    const std::string temp = NewFilePath(path_);
    bool ok = false;
    const int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd >= 0) {
        // The snapshot goes out in large writes; its checksum is taken on the way.
        constexpr size_t kBuffer = 1 << 20;
        std::string buffer;
        buffer.reserve(kBuffer);
        uint64_t written = 0;
        uint32_t crc = fileio::Crc(nullptr, 0);
        bool failed = false;
        // The written bytes go to the disk 2 MB at a time while the next ones are written, so
        // that dirty pages never pile up: a sync of the edit log meanwhile (which the file
        // system may have to order after them) and the final sync each wait for a few MB only.
        constexpr uint64_t kWriteBack = 2u << 20;
        uint64_t handedOver = 0;  // bytes whose write-back has started
        uint64_t waitedFor = 0;   // bytes known to be on the disk
        auto flush = [&] {
            if (failed || buffer.empty()) return;
            crc = fileio::CrcUpdate(crc, buffer.data(), buffer.size());
            failed = !fileio::WriteAll(fd, buffer.data(), buffer.size(), written);
            written += buffer.size();
            buffer.clear();
            if (failed || written - handedOver < kWriteBack) return;
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
        };
        snapshot_.ForEachPiece([&](std::string_view piece) {
            if (buffer.size() + piece.size() > kBuffer) flush();
            if (piece.size() >= kBuffer) {
                buffer.assign(piece);
                flush();
            } else {
                buffer.append(piece);
            }
        });
        flush();
        ok = !failed && fileio::Sync(fd);
        close(fd);
        // The log learns what the new file holds before the file takes its place, so that
        // recovery never replays an edit twice (doc/journal.md).
        // The old file stays open across the rename, so that freeing its blocks happens at the
        // close below, on this thread, and not inside the rename, which holds the folder.
        const int old = open(path_.c_str(), O_RDONLY | O_CLOEXEC);
        ok = ok && log_->AppendMarker(seq_, written, crc) && fileio::Rename(temp, path_);
        if (ok) {
            fileio::SyncFolderOf(path_);
            log_->ResetIfNothingAfter(seq_);
        }
        if (old >= 0) close(old);
    }
    if (!ok) unlink(temp.c_str());
    done_ = true;
    --state_->started;
    return ok;
}

}  // namespace qm
