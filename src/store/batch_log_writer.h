// Writes the pieces of an import batch into the edit log on a thread of its own while the
// batch is still being read, so that the commit at the end only seals what is already there.
#pragma once

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace qm {

class EditLog;

class BatchLogWriter {
public:
    // `log` holds an open batch (TreeStore::OpenLoggedBatch).
    explicit BatchLogWriter(std::shared_ptr<EditLog> log);
    // Waits for the piece being written; pieces still queued are not written.
    ~BatchLogWriter();
    BatchLogWriter(const BatchLogWriter&) = delete;
    BatchLogWriter& operator=(const BatchLogWriter&) = delete;

    // Queues whole records to be appended as the batch's next piece. Returns at once. Whenever
    // the queue runs empty the pieces written are synced.
    void Add(std::shared_ptr<const std::string> piece);
    // Waits up to `waitMs` for every queued piece to be written (or the writing to fail).
    // True when nothing is left to write.
    bool Idle(int waitMs);
    // Waits until every queued piece is written. True when all of them were; after a failure
    // the rest are not tried.
    bool Finish();

private:
    void Run();
    bool Done() const;  // under mutex_

    std::shared_ptr<EditLog> log_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::shared_ptr<const std::string>> queue_;
    bool writing_ = false;
    bool synced_ = true;  // every piece written is synced
    bool failed_ = false;
    bool closing_ = false;
    std::thread thread_;
};

}  // namespace qm
