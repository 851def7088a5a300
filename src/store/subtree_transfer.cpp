#include "store/subtree_transfer.h"

#include <string>

#include "store/tree_store.h"

namespace qm {

bool TransferSubtree(TreeStore& source, int index, TreeStore& target, int to, bool asSibling,
                     SubtreeTransfer* result, const std::function<void(int first)>& inTarget) {
    // A target whose writes are failing would hold the copy in memory alone.
    if (target.inTransaction() || (!target.editsDurable() && source.editsDurable())) return false;
    std::string block;
    int count = 0;
    int depth = 0;
    if (!source.GetSubtreeBytes(index, &block, &count, &depth)) return false;
    if (to < 0 || to >= target.NodeCount()) return false;
    // A root carried along stays behind: with no children nothing goes into the target.
    const int inserted = depth == 1 ? count - 1 : count;
    int first = to;
    if (inserted > 0) {
        {
            const TreeStore::Transaction scope(target);
            if (!target.MoveSubtree(block, count, depth, &first, asSibling)) return false;
            if (inTarget) inTarget(first);
        }
        if (!target.editsDurable() && source.editsDurable()) {
            // This very write failed: the copy exists in the target's memory alone, and a crash
            // after a durable removal would lose the notes. The insertion is taken back (the
            // edits of `inTarget` stay) and the source left as it is.
            for (int gone = 0; gone < inserted;) {
                const int removed = target.DeleteSubtree(first);
                if (removed <= 0) break;
                gone += removed;
            }
            return false;
        }
    } else {
        first = -1;
    }
    if (source.DeleteSubtree(index) != count) return false;
    if (result != nullptr) {
        result->count = count;
        result->depth = depth;
        result->first = first;
        result->inserted = inserted;
    }
    return true;
}

}  // namespace qm
