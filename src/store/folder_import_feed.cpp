#include "store/folder_import_feed.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>

#include "common/thread_priority.h"

namespace qm {

namespace {
// The walk waits while this much read text is not taken yet: it keeps memory bounded when the
// disk is faster than the records are built.
constexpr size_t kMaxQueuedBytes = size_t{16} << 20;
}  // namespace

struct ImportFeed::Shared {
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<ImportItem> items;
    size_t queuedBytes = 0;
    bool finished = false;
    std::atomic<bool> stop{false};
};

ImportFeed::ImportFeed(ImportWalkOptions options, std::function<void(ImportWalk&)> run,
                       std::function<void(ImportItem&)> prepare)
    : shared_(std::make_shared<Shared>()) {
    std::shared_ptr<Shared> shared = shared_;
    thread_ = std::thread([shared, options = std::move(options), run = std::move(run),
                           prepare = std::move(prepare)]() mutable {
        LowerCurrentThreadPriority();  // the window's thread goes first
        options.control.stop = &shared->stop;
        options.control.betweenSteps = nullptr;
        ImportWalk walk(std::move(options), [&shared, &prepare](ImportItem&& item) {
            if (prepare && !shared->stop.load()) prepare(item);
            const size_t bytes = item.body.size();
            std::unique_lock<std::mutex> lock(shared->mutex);
            shared->changed.wait(
                lock, [&] { return shared->stop.load() || shared->queuedBytes < kMaxQueuedBytes; });
            if (shared->stop.load()) return;
            shared->queuedBytes += bytes;
            shared->items.push_back(std::move(item));
            shared->changed.notify_all();
        });
        run(walk);
        std::lock_guard<std::mutex> lock(shared->mutex);
        shared->finished = true;
        shared->changed.notify_all();
    });
}

ImportFeed::~ImportFeed() {
    Stop();
    bool finished;
    {
        std::lock_guard<std::mutex> lock(shared_->mutex);
        finished = shared_->finished;
    }
    // A walk inside a long read is left to end on its own; it holds its own state.
    if (finished) {
        thread_.join();
    } else {
        thread_.detach();
    }
}

void ImportFeed::Stop() {
    std::lock_guard<std::mutex> lock(shared_->mutex);
    shared_->stop = true;
    shared_->items.clear();
    shared_->queuedBytes = 0;
    shared_->changed.notify_all();
}

bool ImportFeed::Next(ImportItem* item, int waitMs) {
    std::unique_lock<std::mutex> lock(shared_->mutex);
    shared_->changed.wait_for(lock, std::chrono::milliseconds(waitMs),
                              [&] { return !shared_->items.empty() || shared_->finished; });
    if (shared_->items.empty()) return false;
    *item = std::move(shared_->items.front());
    shared_->items.pop_front();
    shared_->queuedBytes -= item->body.size();
    shared_->changed.notify_all();
    return true;
}

bool ImportFeed::done() const {
    std::lock_guard<std::mutex> lock(shared_->mutex);
    return shared_->finished && shared_->items.empty();
}

}  // namespace qm
