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
    return changed_.wait_for(lock, std::chrono::milliseconds(waitMs), [this] { return Done(); });
}

bool BatchLogWriter::Finish() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return Done(); });
    return !failed_;
}

bool BatchLogWriter::Done() const { return failed_ || (queue_.empty() && !writing_ && synced_); }

void BatchLogWriter::Run() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        changed_.wait(lock,
                      [this] { return closing_ || (!failed_ && (!queue_.empty() || !synced_)); });
        if (closing_) return;
        writing_ = true;
        bool ok = false;
        if (!queue_.empty()) {
            std::shared_ptr<const std::string> piece = std::move(queue_.front());
            queue_.pop_front();
            lock.unlock();
            ok = log_->AppendPiece(*piece);
            lock.lock();
            synced_ = false;
        } else {
            // Caught up: what was written goes to the disk now, not at the seal.
            lock.unlock();
            ok = log_->SyncBatch();
            lock.lock();
            synced_ = ok;
        }
        writing_ = false;
        if (!ok) {
            failed_ = true;
            queue_.clear();
        }
        changed_.notify_all();
    }
}

}  // namespace qm
