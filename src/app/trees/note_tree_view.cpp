#include "app/trees/note_tree_view.h"

#include "app/trees/outline_model.h"

namespace qm {

NoteTreeView::NoteTreeView(const QString& objectName, OutlineModel* model, QWidget* parent)
    : QTreeView(parent), model_(model) {
    setObjectName(objectName);
    setHeaderHidden(true);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setModel(model);
    connect(model, &QAbstractItemModel::modelReset, this, &NoteTreeView::applyStoredExpansion);
    connect(model, &OutlineModel::subtreeInserted, this, &NoteTreeView::applyInsertedExpansion);
    connect(this, &QTreeView::expanded, this,
            [this](const QModelIndex& index) { onExpandedChanged(index, true); });
    connect(this, &QTreeView::collapsed, this,
            [this](const QModelIndex& index) { onExpandedChanged(index, false); });
    applyStoredExpansion();
}

bool NoteTreeView::expandNode(int node) {
    const QModelIndex index = model_->indexOfNode(node);
    if (!index.isValid()) return false;
    const bool wasQuiet = quiet_;
    quiet_ = true;
    expand(index);
    quiet_ = wasQuiet;
    return true;
}

bool NoteTreeView::selectNode(int node) {
    const QModelIndex index = model_->indexOfNode(node);
    if (!index.isValid()) return false;
    // Making the item current opens its collapsed parents: the program's doing, not the user's.
    const bool wasQuiet = quiet_;
    quiet_ = true;
    setCurrentIndex(index);
    quiet_ = wasQuiet;
    return true;
}

int NoteTreeView::selectedNode() const { return OutlineModel::nodeOf(currentIndex()); }

void NoteTreeView::applyStoredExpansion() {
    for (int node = 0; node < model_->nodeCount(); ++node) {
        if ((model_->row(node)->state & kStateExpanded) != 0) expandNode(node);
    }
}

void NoteTreeView::applyInsertedExpansion(int first, int count) {
    for (int node = first; node < first + count; ++node) {
        const OutlineRow* row = model_->row(node);
        if (row != nullptr && (row->state & kStateExpanded) != 0) expandNode(node);
    }
}

void NoteTreeView::onExpandedChanged(const QModelIndex& index, bool expanded) {
    if (quiet_) return;
    model_->storeExpanded(OutlineModel::nodeOf(index), expanded);
}

}  // namespace qm
