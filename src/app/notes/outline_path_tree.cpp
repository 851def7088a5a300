#include "app/notes/outline_path_tree.h"

#include "app/trees/outline_model.h"

namespace qm {

int OutlinePathTree::nodeCount() const { return model_->nodeCount(); }

int OutlinePathTree::depthOf(int node) const {
    const OutlineRow* row = model_->row(node);
    return row != nullptr ? row->depth : 0;
}

std::string OutlinePathTree::titleOf(int node) const {
    const OutlineRow* row = model_->row(node);
    return row != nullptr ? row->title : std::string();
}

}  // namespace qm
