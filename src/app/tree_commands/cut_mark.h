// The cut mark of the note trees: which item "剪切" marked, and in which tree. Lives only
// while the program runs.
#pragma once

namespace qm {

enum class TreeKind { kNotebook, kRecycleBin };

struct CutMark {
    int index = -1;  // -1: nothing is cut
    TreeKind source = TreeKind::kNotebook;

    bool empty() const { return index < 0; }
    bool in(TreeKind tree) const { return !empty() && source == tree; }
};

}  // namespace qm
