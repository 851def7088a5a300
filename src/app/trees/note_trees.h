// The two note trees of the window: the recycle-bin and notebook stores ("回收站.qm",
// "笔记本.qm" in the program folder), their models and their views ("树型框回收站",
// "树型框笔记本"). Opens them on first activation and reselects the last note.
#pragma once

#include <QObject>
#include <QString>
#include <memory>

class QWidget;

namespace qm {

class NoteTreeView;
class OutlineModel;
class TreeStore;

class NoteTrees : public QObject {
    Q_OBJECT
public:
    struct OpenOutcome {
        bool recycleBinWritable = false;  // false: the store works from memory alone
        bool notebookWritable = false;
        bool recycleBinRootFailed = false;  // the root "回收站" could not be added
        bool notebookRootFailed = false;    // the root "笔记本" could not be added
    };

    // Creates the stores (recycle bin first) and the two views as children of `viewParent`.
    // Nothing is opened yet.
    NoteTrees(const QString& programFolder, QWidget* viewParent);
    // The recycle-bin store closes its file first, then the notebook store.
    ~NoteTrees() override;

    // Opens the recycle bin, then the notebook: each file is loaded, shown in its view, and
    // given its root (image 2) when it holds no node. A missing recycle-bin root is only
    // noted; a notebook without a root must end the program (the caller's decision).
    OpenOutcome open();

    // Selects the notebook item stored as "树型框选中项": truncated to an integer, and item 0
    // when it lies outside the tree (or is no number); then expands item 0. Returns the
    // selected node, -1 when the tree is empty.
    int reselect(double storedItem);

    TreeStore& notebook() { return *notebook_; }
    TreeStore& recycleBin() { return *recycleBin_; }
    OutlineModel* notebookModel() const { return notebookModel_; }
    OutlineModel* recycleBinModel() const { return recycleBinModel_; }
    NoteTreeView* notebookView() const { return notebookView_; }
    NoteTreeView* recycleBinView() const { return recycleBinView_; }

private:
    QString folder_;
    std::unique_ptr<TreeStore> recycleBin_;
    std::unique_ptr<TreeStore> notebook_;
    OutlineModel* recycleBinModel_;
    OutlineModel* notebookModel_;
    NoteTreeView* recycleBinView_;
    NoteTreeView* notebookView_;
};

// The index "树型框选中项" names in a tree of `itemCount` items: the stored number truncated,
// or 0 when that lies below 0, beyond the last item, or is no finite number.
int ItemToReselect(double storedItem, int itemCount);

}  // namespace qm
