#include "app/trees/note_tree_view.h"

#include <QElapsedTimer>
#include <QKeyEvent>
#include <QScopedValueRollback>
#include <QTimer>
#include <algorithm>

#include "app/trees/outline_model.h"

namespace qm {

namespace {

// How long one slice of an expansion may open items before the window answers again; the
// view's layout that follows each slice comes on top.
constexpr qint64 kSliceMs = 60;

}  // namespace

NoteTreeView::NoteTreeView(const QString& objectName, OutlineModel* model, QWidget* parent)
    : QTreeView(parent), model_(model), expandTimer_(new QTimer(this)) {
    setObjectName(objectName);
    setHeaderHidden(true);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setModel(model);
    expandTimer_->setSingleShot(true);
    expandTimer_->setInterval(0);
    connect(expandTimer_, &QTimer::timeout, this, &NoteTreeView::expandSliceNow);
    connect(model, &QAbstractItemModel::modelReset, this, &NoteTreeView::applyStoredExpansion);
    connect(model, &OutlineModel::subtreeInserted, this, &NoteTreeView::applyInsertedExpansion);
    // A running expansion walks node numbers: any change of the rows ends it.
    const auto stop = [this] { stopExpanding(); };
    connect(model, &QAbstractItemModel::modelAboutToBeReset, this, stop);
    connect(model, &QAbstractItemModel::rowsAboutToBeInserted, this, stop);
    connect(model, &QAbstractItemModel::rowsAboutToBeRemoved, this, stop);
    connect(model, &QAbstractItemModel::rowsAboutToBeMoved, this, stop);
    connect(this, &QTreeView::expanded, this,
            [this](const QModelIndex& index) { onExpandedChanged(index, true); });
    connect(this, &QTreeView::collapsed, this,
            [this](const QModelIndex& index) { onExpandedChanged(index, false); });
    applyStoredExpansion();
}

NoteTreeView::~NoteTreeView() { expandTimer_->stop(); }

void NoteTreeView::setModel(QAbstractItemModel* model) {
    stopExpanding();
    QTreeView::setModel(model);
}

bool NoteTreeView::expandNode(int node) {
    const QModelIndex index = model_->indexOfNode(node);
    if (!index.isValid()) return false;
    const QScopedValueRollback<bool> quiet(quiet_, true);
    expand(index);
    return true;
}

void NoteTreeView::expandNodes(const std::vector<int>& nodes) {
    if (nodes.empty()) return;
    // With a layout pending, expand() only records the item: the view lays itself out once,
    // on its next paint or query, instead of inserting rows item by item.
    scheduleDelayedItemsLayout();
    const QScopedValueRollback<bool> quiet(quiet_, true);
    for (const int node : nodes) {
        const QModelIndex index = model_->indexOfNode(node);
        if (index.isValid()) expand(index);
    }
}

bool NoteTreeView::selectNode(int node) {
    const QModelIndex index = model_->indexOfNode(node);
    if (!index.isValid()) return false;
    // Making the item current opens its collapsed parents: the program's doing, not the user's.
    const QScopedValueRollback<bool> quiet(quiet_, true);
    setCurrentIndex(index);
    return true;
}

int NoteTreeView::selectedNode() const { return OutlineModel::nodeOf(currentIndex()); }

void NoteTreeView::expandAll() {
    if (model_->nodeCount() > 0) startExpanding(0, model_->nodeCount() - 1, false);
}

bool NoteTreeView::expandSubtree(int node, bool byUser) {
    const int last = model_->lastInSubtree(node);
    if (last < 0) return false;
    startExpanding(node, last, byUser);
    return true;
}

void NoteTreeView::startExpanding(int first, int last, bool byUser) {
    stopExpanding();
    expandNext_ = first;
    expandLast_ = last;
    expandByUser_ = byUser;
    expandSliceNow();
}

void NoteTreeView::stopExpanding() {
    if (isExpanding()) finishExpanding(false);
}

void NoteTreeView::finishExpanding(bool completed) {
    expandTimer_->stop();
    expandNext_ = -1;
    expandLast_ = -1;
    emit expandingFinished(completed);
}

void NoteTreeView::expandSliceNow() {
    if (!isExpanding()) return;
    if (model() != model_) {
        finishExpanding(false);
        return;
    }
    QElapsedTimer clock;
    clock.start();
    // The items of the slice are only recorded; the view lays itself out once after it.
    scheduleDelayedItemsLayout();
    const int end = std::min(expandLast_, model_->nodeCount() - 1);
    {
        const QScopedValueRollback<bool> quiet(quiet_, !expandByUser_);
        int visited = 0;
        while (expandNext_ <= end) {
            // Leaves too, as QTreeView does: a leaf that gains children later shows them open.
            expand(model_->indexOfNode(expandNext_++));
            if (++visited >= expandSlice_ ||
                ((visited & 255) == 0 && clock.elapsed() >= kSliceMs)) {
                break;
            }
        }
    }
    // A write refused by the store may not stop the walk, but a stop from a handler does.
    if (!isExpanding()) return;
    if (expandNext_ > end) {
        finishExpanding(true);
    } else {
        expandTimer_->start();
    }
}

void NoteTreeView::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && isExpanding()) {
        stopExpanding();
        event->accept();
        return;
    }
    if (event->key() == Qt::Key_Asterisk && currentIndex().isValid()) {
        // "*" opens the current item's whole subtree, as the user's own expansion.
        expandSubtree(selectedNode(), true);
        event->accept();
        return;
    }
    QTreeView::keyPressEvent(event);
}

void NoteTreeView::applyStoredExpansion() {
    std::vector<int> nodes;
    for (int node = 0; node < model_->nodeCount(); ++node) {
        if ((model_->row(node)->state & kStateExpanded) != 0) nodes.push_back(node);
    }
    expandNodes(nodes);
}

void NoteTreeView::applyInsertedExpansion(int first, int count) {
    std::vector<int> nodes;
    for (int node = first; node < first + count; ++node) {
        const OutlineRow* row = model_->row(node);
        if (row != nullptr && (row->state & kStateExpanded) != 0) nodes.push_back(node);
    }
    expandNodes(nodes);
}

void NoteTreeView::onExpandedChanged(const QModelIndex& index, bool expanded) {
    if (quiet_) return;
    if (!expanded) stopExpanding();  // the user closes items: the rest stay as they are
    model_->storeExpanded(OutlineModel::nodeOf(index), expanded);
}

}  // namespace qm
