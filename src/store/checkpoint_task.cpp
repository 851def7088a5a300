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
        auto flush = [&] {
            if (failed || buffer.empty()) return;
            crc = fileio::CrcUpdate(crc, buffer.data(), buffer.size());
            failed = !fileio::WriteAll(fd, buffer.data(), buffer.size(), written);
            written += buffer.size();
            buffer.clear();
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
        ok = ok && log_->AppendMarker(seq_, written, crc) && fileio::Rename(temp, path_);
        if (ok) {
            fileio::SyncFolderOf(path_);
            log_->ResetIfNothingAfter(seq_);
        }
    }
    if (!ok) unlink(temp.c_str());
    done_ = true;
    --state_->started;
    return ok;
}

}  // namespace qm
