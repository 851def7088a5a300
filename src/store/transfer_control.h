// What a caller gives a folder import or export to keep it stoppable and the window alive.
#pragma once

#include <atomic>
#include <functional>

namespace qm {

struct TransferControl {
    // Read after each note (export) or file and folder (import); the run ends when it is true.
    const std::atomic<bool>* stop = nullptr;
    // Run after each step (the window processes its pending events there).
    std::function<void()> betweenSteps;

    bool stopRequested() const { return stop != nullptr && stop->load(); }
    void step() const {
        if (betweenSteps) betweenSteps();
    }
};

// The deepest record a tree may hold; deeper parts of a folder tree are not imported.
inline constexpr int kMaxTransferDepth = 1000;

}  // namespace qm
