#include "app/trees/outline_model.h"

#include <QFont>
#include <algorithm>

#include "app/trees/tree_icons.h"
#include "common/qt_text.h"
#include "store/tree_store.h"

namespace qm {

namespace {

OutlineRow RowOfRecord(const NodeRecord& record) {
    OutlineRow row;
    row.title = record.title;
    row.image = record.image;
    row.selectedImage = record.image;  // the outline repeats the image
    row.itemValue = record.itemValue;
    row.state = record.expandState;
    row.depth = record.depth;
    return row;
}

}  // namespace

OutlineModel::OutlineModel(TreeStore* store, QObject* parent)
    : QAbstractItemModel(parent), store_(store) {}

OutlineModel::Snapshot OutlineModel::ReadSnapshot(TreeStore* store) {
    Snapshot snapshot;
    snapshot.rows = ParseOutlineRows(store->BuildOutline());
    snapshot.parents = OutlineParents(snapshot.rows);
    snapshot.titles.reserve(snapshot.rows.size());
    for (const OutlineRow& row : snapshot.rows) snapshot.titles.push_back(FromGb(row.title));
    return snapshot;
}

void OutlineModel::reload() { reload(ReadSnapshot(store_)); }

void OutlineModel::reload(Snapshot snapshot) {
    beginResetModel();
    std::vector<OutlineRow>& rows = snapshot.rows;
    const std::vector<int>& parents = snapshot.parents;
    items_.clear();
    freeSlots_.clear();
    top_.clear();
    items_.resize(rows.size());
    order_.resize(rows.size());
    for (size_t node = 0; node < rows.size(); ++node) {
        Item& item = items_[node];
        item.row = std::move(rows[node]);
        item.title = std::move(snapshot.titles[node]);
        item.parent = parents[node];
        item.node = static_cast<int>(node);
        std::vector<int>& siblings = childrenOfSlot(item.parent);
        item.position = static_cast<int>(siblings.size());
        siblings.push_back(static_cast<int>(node));
        order_[node] = static_cast<int>(node);
    }
    hasChildren_.assign(items_.size(), 0);
    for (size_t slot = 0; slot < items_.size(); ++slot) noteChildren(static_cast<int>(slot));
    endResetModel();
}

bool OutlineModel::fallBack() {
    reload();
    return false;
}

int OutlineModel::newSlot() {
    if (freeSlots_.empty()) {
        items_.emplace_back();
        hasChildren_.push_back(0);
        return static_cast<int>(items_.size() - 1);
    }
    const int slot = freeSlots_.back();
    freeSlots_.pop_back();
    return slot;
}

void OutlineModel::freeSlot(int slot) {
    Item& item = items_[static_cast<size_t>(slot)];
    item = Item{};
    hasChildren_[static_cast<size_t>(slot)] = 0;
    freeSlots_.push_back(slot);
}

QModelIndex OutlineModel::indexOfSlot(int slot) const {
    if (slot < 0) return {};
    return createIndex(items_[static_cast<size_t>(slot)].position, 0, static_cast<quintptr>(slot));
}

void OutlineModel::noteChildren(int slot) {
    if (slot < 0) return;
    hasChildren_[static_cast<size_t>(slot)] =
        items_[static_cast<size_t>(slot)].children.empty() ? 0 : 1;
}

void OutlineModel::renumber(int from, int to) {
    for (int node = from; node < to; ++node) {
        items_[static_cast<size_t>(order_[static_cast<size_t>(node)])].node = node;
    }
}

void OutlineModel::renumberPositions(int parentSlot, int from) {
    const std::vector<int>& siblings = childrenOfSlot(parentSlot);
    for (size_t i = static_cast<size_t>(from); i < siblings.size(); ++i) {
        items_[static_cast<size_t>(siblings[i])].position = static_cast<int>(i);
    }
}

void OutlineModel::placeAfter(int before, int depth, int* parentSlot, int* position) const {
    // The rows above close, from `before` up through its parents, until one of a smaller
    // depth is open: that one is the parent, and the last closed one the previous sibling.
    int slot = before < 0 ? -1 : order_[static_cast<size_t>(before)];
    int previous = -1;
    while (slot >= 0 && items_[static_cast<size_t>(slot)].row.depth >= depth) {
        previous = slot;
        slot = items_[static_cast<size_t>(slot)].parent;
    }
    *parentSlot = slot;
    *position = previous < 0 ? 0 : items_[static_cast<size_t>(previous)].position + 1;
}

int OutlineModel::lastInSubtree(int node) const {
    if (node < 0 || node >= nodeCount()) return -1;
    int slot = order_[static_cast<size_t>(node)];
    while (!items_[static_cast<size_t>(slot)].children.empty()) {
        slot = items_[static_cast<size_t>(slot)].children.back();
    }
    return items_[static_cast<size_t>(slot)].node;
}

std::vector<OutlineRow> OutlineModel::rowsOf(int first, int count) const {
    std::vector<OutlineRow> rows;
    if (first < 0 || count <= 0 || first + count > nodeCount()) return rows;
    rows.reserve(static_cast<size_t>(count));
    for (int node = first; node < first + count; ++node) {
        rows.push_back(items_[static_cast<size_t>(order_[static_cast<size_t>(node)])].row);
    }
    return rows;
}

bool OutlineModel::insertSubtree(int firstNode, int count) {
    if (firstNode < 0 || count <= 0) return fallBack();
    std::vector<OutlineRow> rows;
    rows.reserve(static_cast<size_t>(count));
    for (int node = firstNode; node < firstNode + count; ++node) {
        NodeRecord record;
        store_->ReadNode(node, 0, &record);  // no body: reads without writing
        rows.push_back(RowOfRecord(record));
    }
    return insertOutlineRows(firstNode, std::move(rows));
}

bool OutlineModel::insertOutlineRows(int firstNode, std::vector<OutlineRow> rows) {
    if (firstNode < 0 || firstNode > nodeCount() || rows.empty()) return fallBack();
    const int depth = rows.front().depth;
    // Every new row hangs below the first one's parent, and the row that follows the block
    // keeps its parent: it may not be deeper than the block's first row.
    for (const OutlineRow& r : rows) {
        if (r.depth < depth) return fallBack();
    }
    if (firstNode < nodeCount() &&
        items_[static_cast<size_t>(order_[static_cast<size_t>(firstNode)])].row.depth > depth) {
        return fallBack();
    }
    int parentSlot = -1;
    int position = 0;
    placeAfter(firstNode - 1, depth, &parentSlot, &position);
    const int roots = static_cast<int>(std::count_if(
        rows.begin(), rows.end(), [depth](const OutlineRow& r) { return r.depth == depth; }));

    beginInsertRows(indexOfSlot(parentSlot), position, position + roots - 1);
    std::vector<int> newSlots;
    newSlots.reserve(rows.size());
    std::vector<int> open;  // the chain of new newSlots from a root down to the row before
    int rootPosition = position;
    for (OutlineRow& r : rows) {
        const int slot = newSlot();
        Item& item = items_[static_cast<size_t>(slot)];
        while (!open.empty() && items_[static_cast<size_t>(open.back())].row.depth >= r.depth) {
            open.pop_back();
        }
        item.row = std::move(r);
        item.title = FromGb(item.row.title);
        if (open.empty()) {
            item.parent = parentSlot;
            item.position = rootPosition++;
        } else {
            std::vector<int>& siblings = items_[static_cast<size_t>(open.back())].children;
            item.parent = open.back();
            item.position = static_cast<int>(siblings.size());
            siblings.push_back(slot);
            noteChildren(open.back());
        }
        open.push_back(slot);
        newSlots.push_back(slot);
    }
    std::vector<int>& siblings = childrenOfSlot(parentSlot);
    std::vector<int> rootSlots;
    rootSlots.reserve(static_cast<size_t>(roots));
    for (const int slot : newSlots) {
        if (items_[static_cast<size_t>(slot)].parent == parentSlot) rootSlots.push_back(slot);
    }
    siblings.insert(siblings.begin() + position, rootSlots.begin(), rootSlots.end());
    noteChildren(parentSlot);
    renumberPositions(parentSlot, position + roots);
    order_.insert(order_.begin() + firstNode, newSlots.begin(), newSlots.end());
    renumber(firstNode, nodeCount());
    endInsertRows();
    emit subtreeInserted(firstNode, static_cast<int>(newSlots.size()));
    return true;
}

bool OutlineModel::removeSubtree(int node, int count) {
    const int last = lastInSubtree(node);
    if (last < 0 || last - node + 1 != count) return fallBack();
    const int slot = order_[static_cast<size_t>(node)];
    const int parentSlot = items_[static_cast<size_t>(slot)].parent;
    const int position = items_[static_cast<size_t>(slot)].position;

    beginRemoveRows(indexOfSlot(parentSlot), position, position);
    std::vector<int>& siblings = childrenOfSlot(parentSlot);
    siblings.erase(siblings.begin() + position);
    noteChildren(parentSlot);
    renumberPositions(parentSlot, position);
    for (int n = node; n <= last; ++n) freeSlot(order_[static_cast<size_t>(n)]);
    order_.erase(order_.begin() + node, order_.begin() + last + 1);
    renumber(node, nodeCount());
    endRemoveRows();
    return true;
}

bool OutlineModel::moveSubtree(int fromNode, int toNode) {
    const int last = lastInSubtree(fromNode);
    const int count = last - fromNode + 1;
    if (last < 0 || toNode < 0 || toNode + count > nodeCount()) return fallBack();
    if (fromNode == toNode) return refreshRow(toNode);  // stays in place
    NodeRecord record;
    store_->ReadNode(toNode, 0, &record);
    const int newDepth = record.depth;
    const int slot = order_[static_cast<size_t>(fromNode)];
    const int delta = newDepth - items_[static_cast<size_t>(slot)].row.depth;

    // Node numbers with the subtree taken out: those behind it move up by `count`.
    const auto outside = [&](int n) { return n < fromNode ? n : n + count; };
    const int before = toNode == 0 ? -1 : outside(toNode - 1);
    const int after = toNode + count < nodeCount() ? outside(toNode) : -1;
    if (after >= 0 &&
        items_[static_cast<size_t>(order_[static_cast<size_t>(after)])].row.depth > newDepth) {
        return fallBack();
    }
    int newParent = -1;
    int destination = 0;  // the row before which it goes, among the children before the move
    placeAfter(before, newDepth, &newParent, &destination);
    const int oldParent = items_[static_cast<size_t>(slot)].parent;
    const int oldPosition = items_[static_cast<size_t>(slot)].position;

    if (!beginMoveRows(indexOfSlot(oldParent), oldPosition, oldPosition, indexOfSlot(newParent),
                       destination)) {
        return fallBack();
    }
    std::vector<int>& oldSiblings = childrenOfSlot(oldParent);
    oldSiblings.erase(oldSiblings.begin() + oldPosition);
    noteChildren(oldParent);
    renumberPositions(oldParent, oldPosition);
    if (newParent == oldParent && destination > oldPosition) --destination;
    std::vector<int>& newSiblings = childrenOfSlot(newParent);
    newSiblings.insert(newSiblings.begin() + destination, slot);
    noteChildren(newParent);
    renumberPositions(newParent, destination);
    items_[static_cast<size_t>(slot)].parent = newParent;
    for (int n = fromNode; n <= last; ++n) {
        items_[static_cast<size_t>(order_[static_cast<size_t>(n)])].row.depth += delta;
    }
    const auto begin = order_.begin();
    if (toNode < fromNode) {
        std::rotate(begin + toNode, begin + fromNode, begin + fromNode + count);
        renumber(toNode, fromNode + count);
    } else {
        std::rotate(begin + fromNode, begin + fromNode + count, begin + toNode + count);
        renumber(fromNode, toNode + count);
    }
    endMoveRows();
    return true;
}

bool OutlineModel::refreshRow(int node) {
    if (node < 0 || node >= nodeCount()) return fallBack();
    NodeRecord record;
    store_->ReadNode(node, 0, &record);
    Item& item = items_[static_cast<size_t>(order_[static_cast<size_t>(node)])];
    if (record.depth != item.row.depth) return fallBack();
    item.row = RowOfRecord(record);
    item.title = FromGb(item.row.title);
    const QModelIndex index = indexOfNode(node);
    emit dataChanged(index, index);
    return true;
}

QModelIndex OutlineModel::indexOfNode(int node) const {
    if (node < 0 || node >= nodeCount()) return {};
    return indexOfSlot(order_[static_cast<size_t>(node)]);
}

int OutlineModel::nodeOf(const QModelIndex& index) {
    if (!index.isValid()) return -1;
    const auto* model = qobject_cast<const OutlineModel*>(index.model());
    if (model == nullptr || index.internalId() >= model->items_.size()) return -1;
    return model->items_[static_cast<size_t>(index.internalId())].node;
}

const OutlineRow* OutlineModel::row(int node) const {
    if (node < 0 || node >= nodeCount()) return nullptr;
    return &items_[static_cast<size_t>(order_[static_cast<size_t>(node)])].row;
}

bool OutlineModel::storeExpanded(int node, bool expanded) {
    if (node < 0 || node >= nodeCount()) return false;
    if (!store_->SetExpandState(node, expanded)) return false;
    items_[static_cast<size_t>(order_[static_cast<size_t>(node)])].row.state =
        expanded ? kStateExpanded : 0;
    const QModelIndex item = indexOfNode(node);
    emit dataChanged(item, item, {kStateRole, Qt::FontRole});
    return true;
}

QModelIndex OutlineModel::index(int row, int column, const QModelIndex& parent) const {
    if (column != 0 || row < 0 || (parent.isValid() && parent.column() != 0)) return {};
    const int parentSlot = parent.isValid() ? static_cast<int>(parent.internalId()) : -1;
    if (parentSlot >= static_cast<int>(items_.size())) return {};
    const std::vector<int>& siblings = childrenOfSlot(parentSlot);
    if (row >= static_cast<int>(siblings.size())) return {};
    return createIndex(row, 0, static_cast<quintptr>(siblings[static_cast<size_t>(row)]));
}

QModelIndex OutlineModel::parent(const QModelIndex& child) const {
    if (!child.isValid() || child.internalId() >= items_.size()) return {};
    return indexOfSlot(items_[static_cast<size_t>(child.internalId())].parent);
}

int OutlineModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid() && parent.column() != 0) return 0;
    const int parentSlot = parent.isValid() ? static_cast<int>(parent.internalId()) : -1;
    if (parentSlot >= static_cast<int>(items_.size())) return 0;
    return static_cast<int>(childrenOfSlot(parentSlot).size());
}

bool OutlineModel::hasChildren(const QModelIndex& parent) const {
    if (!parent.isValid()) return !top_.empty();
    if (parent.column() != 0 || parent.internalId() >= hasChildren_.size()) return false;
    return hasChildren_[static_cast<size_t>(parent.internalId())] != 0;
}

int OutlineModel::columnCount(const QModelIndex&) const { return 1; }

QVariant OutlineModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.internalId() >= items_.size()) return {};
    const Item& item = items_[static_cast<size_t>(index.internalId())];
    if (item.node < 0) return {};
    const OutlineRow& r = item.row;
    switch (role) {
        case Qt::DisplayRole:
            return item.title;
        case Qt::DecorationRole:
            return TreeIcon(r.image);
        case Qt::FontRole: {
            if ((r.state & kStateBold) == 0) return {};
            QFont font;
            font.setBold(true);
            return font;
        }
        case kNodeRole:
            return item.node;
        case kImageRole:
            return r.image;
        case kStateRole:
            return r.state;
        case kDepthRole:
            return r.depth;
        default:
            return {};
    }
}

Qt::ItemFlags OutlineModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    return Qt::ItemIsSelectable | Qt::ItemIsEnabled;
}

}  // namespace qm
