// The commands that change the shape of the two note trees: new note, rename, delete into the
// recycle bin, cut and paste (moves inside the notebook and restores from the recycle bin),
// purge from the recycle bin, and the icon bookkeeping of parents. Each command changes the
// store first and then the model in place (rows inserted, removed, moved or refreshed), so
// that tree item n is always node n while the views keep their open items, current item and
// selection; only a store that had to get a new root rebuilds its view.
#pragma once

#include <QObject>
#include <QString>

#include "app/tree_commands/cut_mark.h"
#include "app/tree_commands/index_shift.h"

class QWidget;

namespace qm {

class NoteSession;
class NoteTreeView;
class NoteTrees;
class OutlineModel;
class TitleEditor;
class TreeStore;

class TreeCommands : public QObject {
    Q_OBJECT
public:
    enum class ChildChange { kGained, kLost };

    // `trees` and `session` must outlive the commands; message boxes open over `dialogParent`.
    TreeCommands(NoteTrees* trees, NoteSession* session, QWidget* dialogParent);
    ~TreeCommands() override;

    // Adds an empty note "新笔记" + (item count + 1), icon 1, as the last child of `parent`;
    // when `given` is false the parent is the notebook selection instead; a parent below 0
    // means the root. Then the new note is selected (which loads it) and its title opened for
    // editing. Returns its index; -1 after the message "添加失败", with the tree unchanged.
    int newNote(int parent, bool given);
    // "新建": a child of the selection. "同级新建": a child of the selection's parent (of the
    // root when the root is selected).
    int newChildNote() { return newNote(-1, false); }
    int newSiblingNote();

    // Opens the title of notebook item `node` for editing. Returns false for the root and for
    // an item that does not exist.
    bool startRename(int node);
    // Stores `title` as the title of notebook item `node` and shows it. Returns false, with
    // the old title kept, for an empty title or when the store refuses.
    bool renameNote(int node, const QString& title);

    // Moves the selected notebook subtree into the recycle bin, as the last child of its root
    // (deleting the root moves only its children and leaves a new empty root). The editor is
    // emptied, the loaded note and the cut mark are forgotten, and the item that followed the
    // subtree (else the last item) is selected and loaded. Returns the number of notes
    // removed; 0 with nothing changed when nothing is selected or the store refuses.
    int deleteNote();

    // Marks the selected item of the notebook or of the recycle bin for a later paste. Does
    // nothing without a selection.
    void cutNote();
    void cutRecycledNote();

    // Saves the loaded note, then moves the cut notebook subtree, or restores the cut
    // recycle-bin subtree, as the last child of the selected notebook item or as its sibling.
    // A sibling stands after the selection's subtree when a notebook note moves down, else
    // right before the selection. The pasted note is selected and loaded and the cut mark
    // cleared. Returns false after the message "粘贴失败！" (nothing cut, a target inside the
    // cut subtree or the cut note itself, stale indexes); the stores, trees and cut mark stay.
    bool pasteNote(bool asSibling);

    // Removes recycle-bin subtree `index` for good; an emptied recycle bin gets a new root
    // "回收站". Returns false, changing nothing, when the index does not exist.
    bool purgeRecycledNote(int index);
    // "彻底删除": purges the recycle-bin selection, then drops a cut mark in the recycle bin.
    bool purgeSelectedRecycledNote();

    // Icon bookkeeping of item `parent` (> 0; roots keep icon 2): a parent that gained a child
    // shows icon 0, one left without children icon 1; the store's image field follows.
    // Returns true when the icon changed.
    bool fixParentIcon(TreeKind tree, int parent, ChildChange change);

    // Rebuilds the view of `tree` from its store: the expansion the store records, the
    // current item kept when it still exists.
    void refreshTree(TreeKind tree);

    const CutMark& cutMark() const { return cut_; }
    // The caption of "剪切" in the menu of `tree`: "已剪切 " + title + "[" + index + "]"
    // while that tree's item is cut, else "剪切".
    QString cutCaption(TreeKind tree) const;

    TitleEditor* titleEditor() const { return titleEditor_; }

signals:
    // Node `node` of the notebook got a new title (its path changed).
    void noteRenamed(int node);

protected:
    // F2 in the notebook tree renames its selection.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    TreeStore& store(TreeKind tree) const;
    OutlineModel* model(TreeKind tree) const;
    NoteTreeView* view(TreeKind tree) const;
    int parentOf(TreeKind tree, int node) const;
    enum Keep { kKeepNothing = 0, kKeepExpanded = 1, kKeepCurrent = 2, kKeepBoth = 3 };
    // Rebuilds the model of `tree` from its store (which reopens the items the store records
    // as expanded). With kKeepExpanded the items the view had opened are opened again, with
    // kKeepCurrent the current item is selected again (in the notebook quietly: no save, no
    // load), each at its index moved by `shift`.
    void rebuild(TreeKind tree, const IndexShift& shift, int keep);
    // Gives an empty store a new root ("笔记本" or "回收站", icon 2). False when that fails.
    bool ensureRoot(TreeKind tree);
    // Ends an open title edit before a command changes the tree under it.
    void endRename();
    // Moves recycle-bin subtree `from` into the notebook (PasteNote's placement at *to, which
    // then holds the first restored item). False, changing nothing, when it cannot.
    bool restoreRecycledNote(int from, int* to, bool asSibling);
    // The recycle bin's view after subtree `index` (`count` items, under `parent`) left its
    // store: items removed, the parent's icon, a new root, the selection (`current` before).
    void recycledRemoved(int index, int count, int parent, int current);

    NoteTrees* trees_;
    NoteSession* session_;
    QWidget* dialogParent_;
    TitleEditor* titleEditor_;
    CutMark cut_;
};

}  // namespace qm
