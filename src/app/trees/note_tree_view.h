// A tree view over an OutlineModel ("树型框笔记本" or "树型框回收站"): shows the stored
// expansion after every reload and writes the user's expand and collapse back to the store.
// Expansion and selection made by the program itself are not written back.
//
// Opening many items at once ("*" on an item, expandAll) runs in slices: each slice opens a
// batch of items while the view's layout waits, so the view lays itself out once per slice
// rather than once per item, and the window answers between slices. Escape, a collapse by the
// user or any change of the model's rows stops it; the items opened so far stay open.
#pragma once

#include <QTreeView>
#include <vector>

class QTimer;

namespace qm {

class OutlineModel;

class NoteTreeView : public QTreeView {
    Q_OBJECT
public:
    // `objectName` is the control name ("树型框笔记本" / "树型框回收站").
    NoteTreeView(const QString& objectName, OutlineModel* model, QWidget* parent = nullptr);
    ~NoteTreeView() override;

    OutlineModel* outlineModel() const { return model_; }

    // Expands a node without writing to the store. Returns false when it does not exist.
    bool expandNode(int node);
    // Expands the given nodes without writing to the store, with one layout of the view for
    // all of them. Nodes that do not exist are passed over.
    void expandNodes(const std::vector<int>& nodes);
    // Makes `node` the current, selected item. Returns false when it does not exist.
    bool selectNode(int node);
    // The selected node, -1 when none.
    int selectedNode() const;

    // Opens every item of the tree, quietly (nothing is written to the store). Hides
    // QTreeView::expandAll, whose single pass freezes the window on a large tree. A tree that
    // fits in one slice is open when the call returns; a larger one goes on slice by slice
    // from the event loop (see isExpanding()).
    void expandAll();
    // Opens `node` and every item below it, slice by slice; with `byUser` each opened item is
    // written to the store as the user's. Returns false when the node does not exist.
    bool expandSubtree(int node, bool byUser);
    // True while a slice-by-slice expansion has items left.
    bool isExpanding() const { return expandNext_ >= 0; }
    // Stops a running expansion; the items opened so far stay open.
    void stopExpanding();
    // The most items one slice opens (it also ends after a few dozen milliseconds).
    void setExpandSlice(int items) { expandSlice_ = items > 0 ? items : 1; }

    void setModel(QAbstractItemModel* model) override;

signals:
    // A slice-by-slice expansion ended: `completed` is false when it was stopped.
    void expandingFinished(bool completed);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    // Expands the nodes whose stored state carries the expanded bit, quietly.
    void applyStoredExpansion();
    // The same for nodes [first, first + count) after the model inserted them in place.
    void applyInsertedExpansion(int first, int count);
    void onExpandedChanged(const QModelIndex& index, bool expanded);
    // Runs an expansion of nodes [first, last] (a subtree or the whole tree).
    void startExpanding(int first, int last, bool byUser);
    // Opens the next slice of a running expansion.
    void expandSliceNow();
    void finishExpanding(bool completed);

    OutlineModel* model_;
    bool quiet_ = false;  // set while the program itself expands items
    // The running expansion: the next node and the last one to look at (nodes in pre-order,
    // so a subtree is a range), -1 when none runs.
    int expandNext_ = -1;
    int expandLast_ = -1;
    bool expandByUser_ = false;
    int expandSlice_ = 20000;
    QTimer* expandTimer_;
};

}  // namespace qm
