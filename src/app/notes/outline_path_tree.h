// The notebook tree as its view shows it, for note paths: the rows of an OutlineModel, which
// are already in memory, so a path costs no reads of the store.
#pragma once

#include "app/notes/note_path.h"

namespace qm {

class OutlineModel;

class OutlinePathTree : public PathTree {
public:
    // The model must outlive this object.
    explicit OutlinePathTree(const OutlineModel* model) : model_(model) {}
    int nodeCount() const override;
    int depthOf(int node) const override;
    std::string titleOf(int node) const override;
    // The model's parent link: no walk back over the rows (a top-level note near the end of a
    // large notebook would otherwise scan the whole outline for every path shown).
    int parentOf(int node) const override;

private:
    const OutlineModel* model_;
};

}  // namespace qm
