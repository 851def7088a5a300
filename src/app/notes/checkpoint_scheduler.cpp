#include "app/notes/checkpoint_scheduler.h"

#include <QDateTime>
#include <QEventLoop>
#include <QThread>
#include <atomic>

#include "common/thread_priority.h"
#include "editor/off_thread.h"
#include "store/checkpoint_task.h"
#include "store/tree_store.h"

namespace qm {

namespace {
constexpr int kTickMs = 500;
}  // namespace

CheckpointScheduler::CheckpointScheduler(std::vector<TreeStore*> stores, QObject* parent)
    : QObject(parent) {
    for (TreeStore* store : stores) watches_.push_back({store, 0, 0});
    timer_.setInterval(kTickMs);
    connect(&timer_, &QTimer::timeout, this, &CheckpointScheduler::tick);
    timer_.start();
}

CheckpointScheduler::~CheckpointScheduler() { waitForWorker(); }

void CheckpointScheduler::tick() {
    if (running()) return;
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    for (Watch& w : watches_) {
        const uint64_t size = w.store->LogSize();
        if (size != w.lastLogSize) {
            w.lastLogSize = size;
            w.quietSince = now;
        }
        const bool quiet = now - w.quietSince >= idleDelay_;
        if (w.store->NeedsCheckpoint() || (w.store->HasLoggedEdits() && quiet)) {
            if (start(w.store)) return;
        }
    }
}

bool CheckpointScheduler::startNow() {
    if (running()) return false;
    for (Watch& w : watches_) {
        if (start(w.store)) return true;
    }
    return false;
}

bool CheckpointScheduler::start(TreeStore* store) {
    std::shared_ptr<CheckpointTask> task = store->StartCheckpoint();
    if (task == nullptr) return false;
    // Saves go on meanwhile: the replaced file is freed a step at a time.
    task->FreeReplacedFileInSteps(CheckpointTask::kFreeStep);
    auto ok = std::make_shared<std::atomic<bool>>(false);
    // The task holds its snapshot, the log and nothing of the store, so the store may go on
    // editing (or close) while it runs.
    worker_ = QThread::create([task, ok] {
        // Below the window's thread for the processor: its copying and checksums must not
        // delay the window's events on a busy machine (Qt's LowPriority does not change that
        // under Linux's default policy).
        LowerCurrentThreadPriority();
        ok->store(task->Run());
    });
    const int generation = ++generation_;
    connect(worker_, &QThread::finished, this, [this, ok, generation] {
        // A worker that checkpointNow already waited for and deleted is no longer ours.
        if (generation != generation_ || worker_ == nullptr) return;
        worker_->deleteLater();
        worker_ = nullptr;
        emit checkpointFinished(ok->load());
    });
    worker_->start(QThread::LowPriority);
    return true;
}

void CheckpointScheduler::waitForWorker() {
    if (worker_ == nullptr) return;
    worker_->wait();
    delete worker_;
    worker_ = nullptr;
    ++generation_;
}

bool CheckpointScheduler::checkpointNow() {
    waitForWorker();
    bool ok = true;
    for (Watch& w : watches_) ok = w.store->Checkpoint() && ok;
    return ok;
}

bool CheckpointScheduler::checkpointBeforeEnd() {
    timer_.stop();
    if (running()) {
        // Its end is told through checkpointFinished, after which the worker is no longer ours.
        QEventLoop loop;
        connect(this, &CheckpointScheduler::checkpointFinished, &loop, &QEventLoop::quit);
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
    waitForWorker();
    bool ok = true;
    for (Watch& w : watches_) {
        const std::shared_ptr<CheckpointTask> task = w.store->StartCheckpoint();
        if (task == nullptr) continue;  // nothing logged, or the store's close retries
        bool written = false;
        RunOffThread([&task, &written] { written = task->Run(); });
        ok = written && ok;
    }
    return ok;
}

}  // namespace qm
