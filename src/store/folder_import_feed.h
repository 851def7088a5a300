// A folder walk on a worker thread: it reads and decodes the files while the caller's thread
// takes the items one by one and builds the records, so that thread never waits on the disk.
#pragma once

#include <functional>
#include <memory>
#include <thread>

#include "store/folder_walk.h"

namespace qm {

class ImportFeed {
public:
    // Starts `run` (one or more walks over the given ImportWalk) on a worker thread. The walk's
    // stop and steps are the feed's own: options.control is ignored.
    // `prepare`, when given, runs on the worker thread on each item before it is queued (the
    // import writes its long bodies into their files there); it must hold its own state, as a
    // walk stopped inside a long read may outlive the feed.
    ImportFeed(ImportWalkOptions options, std::function<void(ImportWalk&)> run,
               std::function<void(ImportItem&)> prepare = {});
    // Stops the walk. A walk busy reading a file ends that read in the background.
    ~ImportFeed();
    ImportFeed(const ImportFeed&) = delete;
    ImportFeed& operator=(const ImportFeed&) = delete;

    // The next item, waiting up to `waitMs` for it. False when none came in that time, or
    // when the walk has ended and every item was taken (then done() is true).
    bool Next(ImportItem* item, int waitMs);
    bool done() const;
    // The walk ends at its next step and queues nothing more.
    void Stop();

private:
    struct Shared;
    std::shared_ptr<Shared> shared_;
    std::thread thread_;
};

}  // namespace qm
