// One item model for both note trees, over a TreeStore's outline rows: tree item n is node n.
// It keeps only what indexing needs (the parsed rows and the parent/child links). reload()
// rebuilds it from BuildOutline; after a single edit of the store the calls insertSubtree,
// removeSubtree, moveSubtree and refreshRow change it in place with row insertions, removals,
// moves and data changes, so views keep their open items, current item and selection.
#pragma once

#include <QAbstractItemModel>
#include <QString>
#include <deque>
#include <vector>

#include "app/trees/outline_rows.h"

namespace qm {

class TreeStore;

class OutlineModel : public QAbstractItemModel {
    Q_OBJECT
public:
    enum Role {
        kNodeRole = Qt::UserRole + 1,  // int: the node index
        kImageRole,                    // int: the record's image number
        kStateRole,                    // int: the state flags
        kDepthRole,                    // int: the record's depth
    };

    // The store must outlive the model; the model is empty until reload().
    explicit OutlineModel(TreeStore* store, QObject* parent = nullptr);

    // Rebuilds every item from the store's outline rows (a model reset).
    void reload();
    // The store's outline rows parsed for reload(Snapshot), the slow part of a reload: runs on
    // any thread while nothing else uses the store (BuildOutline may repair records).
    struct Snapshot {
        std::vector<OutlineRow> rows;
        std::vector<int> parents;
        std::vector<QString> titles;
    };
    static Snapshot ReadSnapshot(TreeStore* store);
    // Rebuilds every item from a snapshot of this model's store taken since its last edit.
    void reload(Snapshot snapshot);

    // In-place updates after one edit of the store. Each returns true when the model now shows
    // the store's change; a change the model cannot follow row by row (rows that would take
    // other parents than the edit implies, indexes out of range) rebuilds it with reload()
    // and returns false.
    //
    // The store holds `count` new records from node `firstNode` on: one or more whole
    // subtrees, all of them children of one parent (the new notes, a restore, a delete into
    // the recycle bin, an import).
    bool insertSubtree(int firstNode, int count);
    // The same when the caller already has the new rows (as the store's outline gives them).
    bool insertOutlineRows(int firstNode, std::vector<OutlineRow> rows);
    // The store removed the subtree of `node`: its items go. Returns false (and reloads) when
    // `count`, the number of records the store removed, is not the subtree's size.
    bool removeSubtree(int node, int count);
    // The store moved the subtree of `fromNode` so that its root is now node `toNode`, with
    // all its depths shifted by the same amount.
    bool moveSubtree(int fromNode, int toNode);
    // Node `node` changed a field that the row shows (title, image, state): re-read it.
    bool refreshRow(int node);

    int nodeCount() const { return static_cast<int>(order_.size()); }
    // The item of node `node`; invalid when out of range.
    QModelIndex indexOfNode(int node) const;
    // The node of an item; -1 for an invalid index.
    static int nodeOf(const QModelIndex& index);
    // The parsed row of a node; nullptr when out of range.
    const OutlineRow* row(int node) const;
    // The node of the last item in the subtree of `node` (itself for a leaf); -1 when out of
    // range.
    int lastInSubtree(int node) const;
    // The rows of nodes [first, first + count), copied; empty when out of range.
    std::vector<OutlineRow> rowsOf(int first, int count) const;

    // The user expanded or collapsed the item: writes "2" or "0" into the record's expand
    // field and keeps the row in step. Returns false and changes nothing when the node is
    // out of range or the store refuses.
    bool storeExpanded(int node, bool expanded);

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    // Answered from a small table by slot: the tree view asks it for every open row on each
    // layout, and the items themselves are too large to stay in the cache.
    bool hasChildren(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

signals:
    // Nodes [first, first + count) were inserted by insertSubtree or insertOutlineRows (their items
    // exist now); views open those whose rows carry the expanded bit.
    void subtreeInserted(int first, int count);

private:
    // One item, kept in a slot that does not change while the item lives, so the model's
    // indexes (which carry the slot) stay valid when node numbers shift.
    struct Item {
        OutlineRow row;
        QString title;              // row.title, converted once
        int parent = -1;            // slot of the parent, -1 at the top
        int position = 0;           // row among its siblings
        int node = -1;              // pre-order index; -1 while the slot is free
        std::vector<int> children;  // slots
    };

    int newSlot();
    void freeSlot(int slot);
    std::vector<int>& childrenOfSlot(int slot) { return slot < 0 ? top_ : items_[slot].children; }
    const std::vector<int>& childrenOfSlot(int slot) const {
        return slot < 0 ? top_ : items_[static_cast<size_t>(slot)].children;
    }
    QModelIndex indexOfSlot(int slot) const;
    // Brings hasChildren_ in step with the children of `slot` (nothing for the top, -1).
    void noteChildren(int slot);
    // Sets the node number of the slots of order_[from, to).
    void renumber(int from, int to);
    // Positions of the children of `parentSlot` from `from` on.
    void renumberPositions(int parentSlot, int from);
    // Where a row of depth `depth` goes when it is inserted right after node `before` (-1: at
    // the very start): the parent slot and its row among that parent's children.
    void placeAfter(int before, int depth, int* parentSlot, int* position) const;
    bool fallBack();

    TreeStore* store_;
    // By slot. A deque: a new item never moves the others, where a vector's growth would move
    // all of them (a quarter of a second for 500,000 items, on the first note added).
    std::deque<Item> items_;
    // By slot: 1 while the item has children (kept in step with Item::children).
    std::vector<unsigned char> hasChildren_;
    std::vector<int> freeSlots_;
    std::vector<int> order_;  // node -> slot
    std::vector<int> top_;    // slots of the top-level items
};

}  // namespace qm
