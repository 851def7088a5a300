#include "app/trees/outline_model.h"

#include <QFont>

#include "app/trees/tree_icons.h"
#include "common/qt_text.h"
#include "store/tree_store.h"

namespace qm {

OutlineModel::OutlineModel(TreeStore* store, QObject* parent)
    : QAbstractItemModel(parent), store_(store), children_(1) {}

void OutlineModel::reload() {
    beginResetModel();
    rows_ = ParseOutlineRows(store_->BuildOutline());
    parents_ = OutlineParents(rows_);
    titles_.clear();
    titles_.reserve(rows_.size());
    for (const OutlineRow& r : rows_) titles_.push_back(FromGb(r.title));
    const size_t top = rows_.size();
    children_.assign(rows_.size() + 1, {});
    positions_.assign(rows_.size(), 0);
    for (size_t node = 0; node < rows_.size(); ++node) {
        const int p = parents_[node];
        std::vector<int>& siblings = children_[p < 0 ? top : static_cast<size_t>(p)];
        positions_[node] = static_cast<int>(siblings.size());
        siblings.push_back(static_cast<int>(node));
    }
    endResetModel();
}

const std::vector<int>& OutlineModel::childrenOf(int node) const {
    return children_[node < 0 ? rows_.size() : static_cast<size_t>(node)];
}

QModelIndex OutlineModel::indexOfNode(int node) const {
    if (node < 0 || node >= nodeCount()) return {};
    return createIndex(positions_[static_cast<size_t>(node)], 0, static_cast<quintptr>(node));
}

int OutlineModel::nodeOf(const QModelIndex& index) {
    return index.isValid() ? static_cast<int>(index.internalId()) : -1;
}

const OutlineRow* OutlineModel::row(int node) const {
    if (node < 0 || node >= nodeCount()) return nullptr;
    return &rows_[static_cast<size_t>(node)];
}

bool OutlineModel::storeExpanded(int node, bool expanded) {
    if (node < 0 || node >= nodeCount()) return false;
    if (!store_->SetField(node, kFieldExpandState, expanded ? "2" : "0")) return false;
    rows_[static_cast<size_t>(node)].state = expanded ? kStateExpanded : 0;
    const QModelIndex item = indexOfNode(node);
    emit dataChanged(item, item, {kStateRole, Qt::FontRole});
    return true;
}

QModelIndex OutlineModel::index(int row, int column, const QModelIndex& parent) const {
    if (column != 0 || row < 0 || (parent.isValid() && parent.column() != 0)) return {};
    const std::vector<int>& siblings = childrenOf(nodeOf(parent));
    if (row >= static_cast<int>(siblings.size())) return {};
    return createIndex(row, 0, static_cast<quintptr>(siblings[static_cast<size_t>(row)]));
}

QModelIndex OutlineModel::parent(const QModelIndex& child) const {
    const int node = nodeOf(child);
    if (node < 0 || node >= nodeCount()) return {};
    return indexOfNode(parents_[static_cast<size_t>(node)]);
}

int OutlineModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid() && parent.column() != 0) return 0;
    const int node = nodeOf(parent);
    if (node >= nodeCount()) return 0;
    return static_cast<int>(childrenOf(node).size());
}

int OutlineModel::columnCount(const QModelIndex&) const { return 1; }

QVariant OutlineModel::data(const QModelIndex& index, int role) const {
    const OutlineRow* r = row(nodeOf(index));
    if (r == nullptr) return {};
    switch (role) {
        case Qt::DisplayRole:
            return titles_[static_cast<size_t>(nodeOf(index))];
        case Qt::DecorationRole:
            return TreeIcon(r->image);
        case Qt::FontRole: {
            if ((r->state & kStateBold) == 0) return {};
            QFont font;
            font.setBold(true);
            return font;
        }
        case kNodeRole:
            return nodeOf(index);
        case kImageRole:
            return r->image;
        case kStateRole:
            return r->state;
        case kDepthRole:
            return r->depth;
        default:
            return {};
    }
}

Qt::ItemFlags OutlineModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    return Qt::ItemIsSelectable | Qt::ItemIsEnabled;
}

}  // namespace qm
