// A checkpoint of a tree file: writes a snapshot of the store's image beside the file, records
// in the log that the new file holds every edit up to the snapshot, renames it over the file
// and empties the log when nothing came after. Runs on any thread while the store goes on
// editing; checkpoints of one store run one at a time.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "common/write_error.h"
#include "store/record_image.h"

namespace qm {

class EditLog;

// Shared by a store and its checkpoints.
struct CheckpointState {
    std::mutex running;           // one checkpoint at a time
    std::atomic<int> started{0};  // begun and not yet finished
    // The last checkpoint failed (set and cleared by the checkpoints, read by the store).
    std::atomic<bool> failing{false};
    // The identity (device and inode) of the file as the last checkpoint left it.
    std::atomic<uint64_t> fileId{0};
    std::mutex errorMutex;
    WriteError error;  // why it failed
};

class CheckpointTask {
public:
    // With `afterFailedAppends` the log first drops what failed appends left in it (and may
    // be empty: then no marker is needed, the file alone holds every edit).
    CheckpointTask(std::string path, ImageSnapshot snapshot, uint64_t seq,
                   std::shared_ptr<EditLog> log, std::shared_ptr<CheckpointState> state,
                   bool afterFailedAppends = false);
    ~CheckpointTask();
    CheckpointTask(const CheckpointTask&) = delete;
    CheckpointTask& operator=(const CheckpointTask&) = delete;

    // The file the checkpoint replaces is freed `stepBytes` at a time, each step synced, after
    // the rename (instead of all at once when it is closed): for a checkpoint that runs while
    // edits go on, whose syncs would otherwise wait for the whole file's blocks to be freed.
    // Off (0) by default. Only an old file that no name and nobody else holds any more is cut.
    void FreeReplacedFileInSteps(uint64_t stepBytes) { freeStep_ = stepBytes; }
    // The step a background checkpoint uses.
    static constexpr uint64_t kFreeStep = 4u << 20;

    // Writes the file; true when it now holds the snapshot. On failure the log still holds
    // every edit that reached it, the old file stays, and the state keeps the reason. Runs
    // once.
    bool Run();

    // The path of the file being written before it replaces the tree file.
    static std::string NewFilePath(const std::string& path) { return path + ".new"; }
    // The identity of the file at `path`, 0 when there is none.
    static uint64_t FileId(const std::string& path);

private:
    // Waits while an edit waits for the log (50 ms at most), so that the edit's sync
    // does not queue behind the checkpoint's next disk call.
    void YieldToWaitingEdits() const;
    void FreeInSteps(int old);

    std::string path_;
    ImageSnapshot snapshot_;
    uint64_t seq_;
    std::shared_ptr<EditLog> log_;
    std::shared_ptr<CheckpointState> state_;
    bool afterFailedAppends_;
    uint64_t freeStep_ = 0;
    bool done_ = false;
};

}  // namespace qm
