#include "app/notes/outline_path_tree.h"

#include "app/trees/outline_model.h"

namespace qm {

int OutlinePathTree::nodeCount() const { return model_->nodeCount(); }

int OutlinePathTree::depthOf(int node) const {
    const OutlineRow* row = model_->row(node);
    return row != nullptr ? row->depth : 0;
}

int OutlinePathTree::parentOf(int node) const {
    return OutlineModel::nodeOf(model_->parent(model_->indexOfNode(node)));
}

std::string OutlinePathTree::titleOf(int node) const {
    const OutlineRow* row = model_->row(node);
    return row != nullptr ? row->title : std::string();
}

}  // namespace qm
