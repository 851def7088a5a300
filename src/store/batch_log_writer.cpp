#include "store/batch_log_writer.h"

#include <chrono>

#include "common/edit_log.h"

namespace qm {

BatchLogWriter::BatchLogWriter(std::shared_ptr<EditLog> log)
    : log_(std::move(log)), thread_([this] { Run(); }) {}

BatchLogWriter::~BatchLogWriter() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        closing_ = true;
        queue_.clear();
        changed_.notify_all();
    }
    thread_.join();
}

void BatchLogWriter::Add(std::shared_ptr<const std::string> piece) {
    std::lock_guard<std::mutex> lock(mutex_);
    queue_.push_back(std::move(piece));
    changed_.notify_all();
}

bool BatchLogWriter::Idle(int waitMs) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(waitMs),
                             [this] { return failed_ || (queue_.empty() && !writing_); });
}

bool BatchLogWriter::Finish() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return failed_ || (queue_.empty() && !writing_); });
    return !failed_;
}

void BatchLogWriter::Run() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return closing_ || (!queue_.empty() && !failed_); });
        if (closing_) return;
        std::shared_ptr<const std::string> piece = std::move(queue_.front());
        queue_.pop_front();
        writing_ = true;
        lock.unlock();
        // Written and synced here, so that the seal's own sync finds nothing left to flush.
        const bool written = log_->AppendPiece(*piece);
        lock.lock();
        writing_ = false;
        if (!written) {
            failed_ = true;
            queue_.clear();
        }
        changed_.notify_all();
    }
}

}  // namespace qm
