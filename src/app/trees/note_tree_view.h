// A tree view over an OutlineModel ("树型框笔记本" or "树型框回收站"): shows the stored
// expansion after every reload and writes the user's expand and collapse back to the store.
// Expansion and selection made by the program itself are not written back.
#pragma once

#include <QTreeView>

namespace qm {

class OutlineModel;

class NoteTreeView : public QTreeView {
    Q_OBJECT
public:
    // `objectName` is the control name ("树型框笔记本" / "树型框回收站").
    NoteTreeView(const QString& objectName, OutlineModel* model, QWidget* parent = nullptr);

    OutlineModel* outlineModel() const { return model_; }

    // Expands a node without writing to the store. Returns false when it does not exist.
    bool expandNode(int node);
    // Makes `node` the current, selected item. Returns false when it does not exist.
    bool selectNode(int node);
    // The selected node, -1 when none.
    int selectedNode() const;

private:
    // Expands the nodes whose stored state carries the expanded bit, quietly.
    void applyStoredExpansion();
    // The same for nodes [first, first + count) after the model inserted them in place.
    void applyInsertedExpansion(int first, int count);
    void onExpandedChanged(const QModelIndex& index, bool expanded);

    OutlineModel* model_;
    bool quiet_ = false;  // set while the program itself expands items
};

}  // namespace qm
