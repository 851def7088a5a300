#include "app/tree_commands/tree_view_state.h"

#include "app/trees/note_tree_view.h"
#include "app/trees/outline_model.h"

namespace qm {

TreeViewState TreeViewState::Capture(const NoteTreeView& view) {
    TreeViewState state;
    const OutlineModel* model = view.outlineModel();
    for (int node = 0; node < model->nodeCount(); ++node) {
        if (view.isExpanded(model->indexOfNode(node))) state.expanded_.push_back(node);
    }
    state.current_ = view.selectedNode();
    return state;
}

void TreeViewState::restoreExpansion(NoteTreeView& view, const IndexShift& shift) const {
    std::vector<int> nodes;
    nodes.reserve(expanded_.size());
    for (const int node : expanded_) {
        const int moved = shift.map(node);
        if (moved >= 0) nodes.push_back(moved);
    }
    view.expandNodes(nodes);  // one layout for all of them
}

}  // namespace qm
