// How the node indexes of a tree move when records are inserted or removed in one place.
#pragma once

namespace qm {

struct IndexShift {
    int at = 0;     // first index inserted or removed
    int delta = 0;  // > 0: records inserted at `at`; < 0: records removed from `at` on

    static IndexShift None() { return {}; }
    static IndexShift Inserted(int at, int count) { return {at, count}; }
    static IndexShift Removed(int at, int count) { return {at, -count}; }

    // Where node `index` stands after the change; -1 when it was removed (or was -1).
    int map(int index) const {
        if (index < 0 || index < at) return index;
        if (delta >= 0) return index + delta;
        return index < at - delta ? -1 : index + delta;
    }
};

}  // namespace qm
