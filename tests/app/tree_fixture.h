// Shared by the tree command and tree menu tests: tree files written before a start, outlines
// read back as short text, and the check that a view shows its store item for item.
#pragma once

#include <QString>
#include <QStringList>
#include <filesystem>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

#include "app/trees/outline_model.h"
#include "app/trees/outline_rows.h"
#include "common/qt_text.h"
#include "store/tree_store.h"
#include "support/temp_dir.h"

namespace qm::testing {

// One record of a tree file written by WriteTree, in pre-order.
struct TreeRow {
    int depth;
    const char* title;  // UTF-8
    int image;
    int expand = 0;         // the stored expandState
    const char* body = "";  // UTF-8
};

// Writes a tree file holding `rows` (each row's parent is the nearest row above it one level
// up), replacing any file there. Returns false when a row has no parent.
inline bool WriteTree(const std::string& path, std::initializer_list<TreeRow> rows) {
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
    TreeStore store;
    store.Open(path);
    store.BuildOutline();
    std::vector<int> lastAtDepth;
    int index = 0;
    for (const TreeRow& row : rows) {
        NodeFields fields;
        fields.title = ToGb(QString::fromUtf8(row.title));
        fields.image = row.image;
        fields.expandState = row.expand;
        fields.body = ToGb(QString::fromUtf8(row.body));
        std::optional<int> parent;
        if (row.depth > 1) {
            if (static_cast<int>(lastAtDepth.size()) < row.depth - 1) return false;
            parent = lastAtDepth[static_cast<size_t>(row.depth - 2)];
        }
        if (store.AddNode(parent, fields) != index) return false;
        lastAtDepth.resize(static_cast<size_t>(row.depth));
        lastAtDepth.back() = index++;
    }
    return true;
}

// The outline as text: one entry per node, "." per level below the top, then the title, "#"
// and the image: "笔记本#2|.A#0|..A1#1|.B#1".
inline QString OutlineText(const std::string& outlineRows) {
    QStringList items;
    for (const OutlineRow& row : ParseOutlineRows(outlineRows)) {
        items << QString(row.depth - 1, QLatin1Char('.')) + FromGb(row.title) + QLatin1Char('#') +
                     QString::number(row.image);
    }
    return items.join(QLatin1Char('|'));
}

inline QString OutlineText(const TreeStore& store) {
    return OutlineText(store.BuildOutlineQuick());
}

// The outline of a tree file on disk, read without changing it.
inline QString FileOutline(const std::string& path) {
    TreeStore store;
    if (!store.Load(path)) return QStringLiteral("<unreadable>");
    return OutlineText(store);
}

// Empty when the model shows the store item for item (title, image, depth, parent by depth);
// else what differs.
inline QString ModelMismatch(const OutlineModel& model, const TreeStore& store) {
    const std::vector<OutlineRow> rows = ParseOutlineRows(store.BuildOutlineQuick());
    if (model.nodeCount() != static_cast<int>(rows.size())) {
        return QStringLiteral("model has %1 items, store %2 nodes")
            .arg(model.nodeCount())
            .arg(rows.size());
    }
    const std::vector<int> parents = OutlineParents(rows);
    for (int node = 0; node < model.nodeCount(); ++node) {
        const QModelIndex index = model.indexOfNode(node);
        const OutlineRow& row = rows[static_cast<size_t>(node)];
        if (index.data().toString() != FromGb(row.title) ||
            index.data(OutlineModel::kImageRole).toInt() != row.image ||
            index.data(OutlineModel::kDepthRole).toInt() != row.depth ||
            OutlineModel::nodeOf(index.parent()) != parents[static_cast<size_t>(node)]) {
            return QStringLiteral("item %1 differs from its node").arg(node);
        }
        if (model.hasChildren(index) != (model.rowCount(index) > 0)) {
            return QStringLiteral("item %1 tells wrongly whether it has children").arg(node);
        }
    }
    // Walked the way a view walks it (rows under parents), the model meets the nodes in order.
    int expected = 0;
    std::vector<QModelIndex> pending{QModelIndex()};
    while (!pending.empty()) {
        const QModelIndex parent = pending.back();
        pending.pop_back();
        if (parent.isValid()) {
            if (OutlineModel::nodeOf(parent) != expected || model.indexOfNode(expected) != parent) {
                return QStringLiteral("item %1 is met out of order").arg(expected);
            }
            ++expected;
        }
        for (int row = model.rowCount(parent) - 1; row >= 0; --row) {
            pending.push_back(model.index(row, 0, parent));
        }
    }
    if (expected != model.nodeCount()) return QStringLiteral("items unreachable from the top");
    return {};
}

}  // namespace qm::testing
