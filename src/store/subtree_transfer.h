// Moving a subtree from one tree store into another (a delete into the recycle bin, a restore
// from it) in the order that survives a crash at any moment: the notes are durable in the
// target before their removal is logged in the source, so they are never in neither store.
#pragma once

#include <functional>

namespace qm {

class TreeStore;

struct SubtreeTransfer {
    int count = 0;     // records removed from the source
    int depth = 0;     // depth the subtree's root had in the source
    int first = -1;    // target index of the first record inserted; -1 when none went in
    int inserted = 0;  // records inserted (a root of depth 1 stays behind: only its children go)
};

// Copies the subtree of `index` in `source` into `target` as the insert form of
// TreeStore::MoveSubtree places a block (last child of `to`, or its sibling before it), then
// removes it from `source`. The insertion is its own durable group in the target, synced before
// the removal is logged; `inTarget` runs inside that group after the insertion (the command's
// other edits of the target, such as the new parent's icon), given the index of the first
// record inserted. The removal joins a TreeStore::Transaction the caller holds on the source
// (with the command's other edits there), else it is its own group.
// Returns false and leaves the notes where they are when `index` or `to` does not exist, the
// target has an open transaction (its sync would come too late), or the copy cannot be written
// to the target's disk while the source's removal would be (its writes are failing, or the
// insertion's own write failed: then it is taken back, but edits made by `inTarget` stay).
bool TransferSubtree(TreeStore& source, int index, TreeStore& target, int to, bool asSibling,
                     SubtreeTransfer* result,
                     const std::function<void(int first)>& inTarget = nullptr);

}  // namespace qm
