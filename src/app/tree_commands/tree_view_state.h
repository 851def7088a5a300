// What a note tree view shows beyond its store: the items opened by the program (the store
// knows only those the user opened) and the current item. Taken before the view's model is
// rebuilt and laid back over the new tree, moved by the change.
#pragma once

#include <vector>

#include "app/tree_commands/index_shift.h"

namespace qm {

class NoteTreeView;

class TreeViewState {
public:
    // Records the expanded items and the current item of `view`.
    static TreeViewState Capture(const NoteTreeView& view);

    // Expands again, without writing to the store, every recorded item that still exists
    // at its moved index. The current item is left alone.
    void restoreExpansion(NoteTreeView& view, const IndexShift& shift) const;

    // The recorded current item at its moved index; -1 when there was none or it is gone.
    int current(const IndexShift& shift) const { return shift.map(current_); }

private:
    std::vector<int> expanded_;
    int current_ = -1;
};

}  // namespace qm
