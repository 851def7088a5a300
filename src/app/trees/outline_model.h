// One item model for both note trees, over a TreeStore's outline rows: tree item n is node n.
// It keeps only what indexing needs (the parsed rows and the parent/child arrays) and is
// rebuilt from BuildOutline by reload() after the store changes.
#pragma once

#include <QAbstractItemModel>
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

    int nodeCount() const { return static_cast<int>(rows_.size()); }
    // The item of node `node`; invalid when out of range.
    QModelIndex indexOfNode(int node) const;
    // The node of an item; -1 for an invalid index.
    static int nodeOf(const QModelIndex& index);
    // The parsed row of a node; nullptr when out of range.
    const OutlineRow* row(int node) const;

    // The user expanded or collapsed the item: writes "2" or "0" into the record's expand
    // field and keeps the row in step. Returns false and changes nothing when the node is
    // out of range or the store refuses.
    bool storeExpanded(int node, bool expanded);

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    const std::vector<int>& childrenOf(int node) const;

    TreeStore* store_;
    std::vector<OutlineRow> rows_;
    std::vector<QString> titles_;             // rows_' titles, converted once
    std::vector<int> parents_;                // per node, -1 at the top
    std::vector<int> positions_;              // per node, its row among its siblings
    std::vector<std::vector<int>> children_;  // per node, then one more entry for the top
};

}  // namespace qm
