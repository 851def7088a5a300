#include "app/tree_commands/tree_commands.h"

#include <QEvent>
#include <QKeyEvent>
#include <QWidget>
#include <string>

#include "app/notes/note_session.h"
#include "app/tree_commands/title_editor.h"
#include "app/tree_commands/tree_view_state.h"
#include "app/trees/note_tree_view.h"
#include "app/trees/note_trees.h"
#include "app/trees/outline_model.h"
#include "app/widgets/message_box.h"
#include "common/qt_text.h"
#include "editor/note_editor.h"
#include "store/subtree_transfer.h"
#include "store/tree_store.h"

namespace qm {

TreeCommands::TreeCommands(NoteTrees* trees, NoteSession* session, QWidget* dialogParent)
    : QObject(dialogParent),
      trees_(trees),
      session_(session),
      dialogParent_(dialogParent),
      titleEditor_(new TitleEditor(trees->notebookView())) {
    connect(titleEditor_, &TitleEditor::finished, this,
            [this](int node, const QString& text) { renameNote(node, text); });
    trees_->notebookView()->installEventFilter(this);
}

TreeCommands::~TreeCommands() = default;

TreeStore& TreeCommands::store(TreeKind tree) const {
    return tree == TreeKind::kNotebook ? trees_->notebook() : trees_->recycleBin();
}

OutlineModel* TreeCommands::model(TreeKind tree) const {
    return tree == TreeKind::kNotebook ? trees_->notebookModel() : trees_->recycleBinModel();
}

NoteTreeView* TreeCommands::view(TreeKind tree) const {
    return tree == TreeKind::kNotebook ? trees_->notebookView() : trees_->recycleBinView();
}

int TreeCommands::parentOf(TreeKind tree, int node) const {
    const OutlineModel* m = model(tree);
    return OutlineModel::nodeOf(m->parent(m->indexOfNode(node)));
}

void TreeCommands::rebuild(TreeKind tree, const IndexShift& shift, int keep) {
    NoteTreeView* v = view(tree);
    const TreeViewState state = TreeViewState::Capture(*v);
    model(tree)->reload();
    if ((keep & kKeepExpanded) != 0) state.restoreExpansion(*v, shift);
    const int current = state.current(shift);
    if ((keep & kKeepCurrent) == 0 || current < 0) return;
    if (tree == TreeKind::kNotebook) {
        session_->selectQuietly(current);
    } else {
        v->selectNode(current);
    }
}

void TreeCommands::refreshTree(TreeKind tree) { rebuild(tree, IndexShift::None(), kKeepCurrent); }

bool TreeCommands::ensureRoot(TreeKind tree) {
    TreeStore& s = store(tree);
    if (s.NodeCount() != 0) return true;
    NodeFields root;
    root.title =
        ToGb(tree == TreeKind::kNotebook ? QStringLiteral("笔记本") : QStringLiteral("回收站"));
    root.image = 2;
    return s.AddNode(std::nullopt, root) >= 0;
}

void TreeCommands::endRename() { titleEditor_->finish(); }

bool TreeCommands::fixParentIcon(TreeKind tree, int parent, ChildChange change) {
    if (parent <= 0) return false;  // a root keeps its own icon
    OutlineModel* m = model(tree);
    const OutlineRow* row = m->row(parent);
    if (row == nullptr) return false;
    const char* image = nullptr;
    if (change == ChildChange::kGained && row->image != 0) image = "0";
    if (change == ChildChange::kLost && row->image != 1 &&
        m->rowCount(m->indexOfNode(parent)) == 0) {
        image = "1";
    }
    if (image == nullptr || !store(tree).SetField(parent, kFieldImage, image)) return false;
    m->refreshRow(parent);
    return true;
}

int TreeCommands::newNote(int parent, bool given) {
    endRename();
    TreeStore& notebook = trees_->notebook();
    if (!given) parent = trees_->notebookView()->selectedNode();
    if (parent < 0) parent = 0;
    const QString title = QStringLiteral("新笔记%1").arg(trees_->notebookModel()->nodeCount() + 1);

    // The new note goes behind the parent's subtree; a loaded note further down would move
    // by one under the session, so its text is saved now and the session lets go of it.
    SubtreeSpan span;
    const bool loadedMoves =
        notebook.LocateSubtree(parent, &span) > 0 && session_->loadedNote() > span.lastIndex;
    if (loadedMoves) session_->saveCurrentNote(true);

    NodeFields fields;
    fields.title = ToGb(title);
    fields.image = 1;
    int added = -1;
    {
        // The note and its parent's icon: one durable group.
        const TreeStore::Transaction scope(notebook);
        added = notebook.AddNode(parent, fields);
        if (added >= 0) {
            if (loadedMoves) session_->forgetLoadedNote();
            if (cut_.in(TreeKind::kNotebook) && cut_.index >= added) ++cut_.index;
            trees_->notebookModel()->insertSubtree(added, 1);
            fixParentIcon(TreeKind::kNotebook, parent, ChildChange::kGained);
        }
    }
    if (added < 0) {
        MessageBox::warning(dialogParent_, QStringLiteral("添加失败"));
        return -1;
    }
    trees_->notebookView()->selectNode(added);
    startRename(added);
    return added;
}

int TreeCommands::newSiblingNote() {
    const int selected = trees_->notebookView()->selectedNode();
    return newNote(parentOf(TreeKind::kNotebook, selected), true);
}

bool TreeCommands::startRename(int node) {
    if (node <= 0) return false;  // the root keeps its title
    return titleEditor_->begin(node);
}

bool TreeCommands::renameNote(int node, const QString& title) {
    if (node <= 0 || title.isEmpty()) return false;
    const std::string text = ToGb(title);
    TreeStore& notebook = trees_->notebook();
    if (notebook.GetField(node, kFieldTitle) == text) return true;  // left as it was
    if (!notebook.SetField(node, kFieldTitle, text)) return false;
    trees_->notebookModel()->refreshRow(node);
    emit noteRenamed(node);
    return true;
}

int TreeCommands::deleteNote() {
    endRename();
    NoteTreeView* notebookView = trees_->notebookView();
    OutlineModel* notebookModel = trees_->notebookModel();
    TreeStore& notebook = trees_->notebook();
    const int cur = notebookView->selectedNode();
    if (cur < 0) return 0;
    const int parent = parentOf(TreeKind::kNotebook, cur);
    // The rows the recycle bin will show, taken before the items go.
    const int last = notebookModel->lastInSubtree(cur);
    std::vector<OutlineRow> rows = notebookModel->rowsOf(cur, last - cur + 1);

    // The recycle bin takes the subtree as the last child of its root (a deleted notebook root
    // brings only its children), durably before the notebook lets it go, so that a crash in
    // between leaves it in both stores rather than in neither. The notebook's side (removal,
    // the parent's icon, a new root) is one group of its own.
    ensureRoot(TreeKind::kRecycleBin);
    if (session_->loadedNote() == cur) session_->moveLoadedBodyToFile();
    int count = 0;
    {
        const TreeStore::Transaction scope(notebook);
        SubtreeTransfer moved;
        if (!TransferSubtree(notebook, cur, trees_->recycleBin(), 0, false, &moved)) {
            // Nothing left the notebook (the recycle bin cannot be written, say); a root made
            // for the recycle bin above is shown.
            if (trees_->recycleBinModel()->nodeCount() != trees_->recycleBin().NodeCount()) {
                refreshTree(TreeKind::kRecycleBin);
            }
            return 0;
        }
        count = moved.count;

        if (NoteEditor* editor = session_->editor()) editor->loadText({});
        session_->forgetLoadedNote();
        cut_ = {};

        OutlineModel* recycleModel = trees_->recycleBinModel();
        if (recycleModel->nodeCount() == 0) {
            refreshTree(TreeKind::kRecycleBin);  // the root itself was new
        } else if (moved.inserted > 0) {
            if (moved.depth == 1 && !rows.empty()) rows.erase(rows.begin());
            NodeRecord first;
            trees_->recycleBin().ReadNode(moved.first, 0, &first);
            const int shift = first.depth - rows.front().depth;
            for (OutlineRow& row : rows) row.depth += shift;
            recycleModel->insertOutlineRows(moved.first, std::move(rows));
        }
        trees_->recycleBinView()->expandNode(0);

        if (notebook.NodeCount() == 0) {
            // The whole notebook went: a new root, and the view starts over.
            ensureRoot(TreeKind::kNotebook);
            refreshTree(TreeKind::kNotebook);
        } else {
            // The item that will follow the subtree (else the one before it, the new last
            // item) becomes current before the items go, so the view never lands on a third
            // one; it is loaded once they are gone.
            const int next = last + 1 < notebookModel->nodeCount() ? last + 1 : cur - 1;
            session_->selectQuietly(next);
            notebookModel->removeSubtree(cur, count);
            fixParentIcon(TreeKind::kNotebook, parent, ChildChange::kLost);
        }
    }
    const int selected = cur < notebookModel->nodeCount() ? cur : notebookModel->nodeCount() - 1;
    if (!session_->selectQuietly(selected)) return count;
    session_->showSelectedNote();
    return count;
}

void TreeCommands::cutNote() {
    const int selected = trees_->notebookView()->selectedNode();
    if (selected >= 0) cut_ = {selected, TreeKind::kNotebook};
}

void TreeCommands::cutRecycledNote() {
    const int selected = trees_->recycleBinView()->selectedNode();
    if (selected >= 0) cut_ = {selected, TreeKind::kRecycleBin};
}

bool TreeCommands::pasteNote(bool asSibling) {
    endRename();
    TreeStore& notebook = trees_->notebook();
    int to = trees_->notebookView()->selectedNode();
    session_->saveCurrentNote(true);

    bool pasted = false;
    int from = cut_.index;
    if (cut_.in(TreeKind::kNotebook)) {
        // The move and both icons: one durable group.
        const TreeStore::Transaction scope(notebook);
        const OutlineRow* row = trees_->notebookModel()->row(from);
        const int formerDepth = row != nullptr ? row->depth : 0;
        pasted = notebook.MoveSubtree(&from, &to, asSibling);
        if (pasted) {
            // The loaded note's text is saved, and its index may have moved with the subtree:
            // the session lets go of it, and loads the pasted note below.
            session_->forgetLoadedNote();
            trees_->notebookModel()->moveSubtree(cut_.index, to);
            fixParentIcon(TreeKind::kNotebook, parentOf(TreeKind::kNotebook, to),
                          ChildChange::kGained);
            // The former parent: from the item before the vacated place up through the
            // parents, the first one a level above the moved note's old depth.
            for (int node = from - 1; node >= 0; node = parentOf(TreeKind::kNotebook, node)) {
                if (trees_->notebookModel()->row(node)->depth == formerDepth - 1) {
                    fixParentIcon(TreeKind::kNotebook, node, ChildChange::kLost);
                    break;
                }
            }
        }
    } else if (cut_.in(TreeKind::kRecycleBin)) {
        pasted = restoreRecycledNote(from, &to, asSibling);
    }
    if (!pasted) {
        MessageBox::warning(dialogParent_, QStringLiteral("粘贴失败！"));
        return false;
    }
    cut_ = {};
    trees_->notebookView()->selectNode(to);
    return true;
}

bool TreeCommands::restoreRecycledNote(int from, int* to, bool asSibling) {
    TreeStore& recycleBin = trees_->recycleBin();
    // A recycle-bin root stays behind: alone it has nothing to restore.
    SubtreeSpan span;
    const int records = recycleBin.LocateSubtree(from, &span);
    if (records < 0 || (span.depth == 1 && records == 1)) return false;
    // The new parent, read before the notebook's rows move under it.
    const int newParent = asSibling ? parentOf(TreeKind::kNotebook, *to) : *to;
    NoteTreeView* recycleView = trees_->recycleBinView();
    const int binParent = parentOf(TreeKind::kRecycleBin, from);
    const int current = recycleView->selectedNode();

    // The notebook holds the notes durably (with its new parent's icon, one group) before the
    // recycle bin lets them go (with its own bookkeeping, one group).
    const TreeStore::Transaction scope(recycleBin);
    SubtreeTransfer moved;
    const bool ok = TransferSubtree(
        recycleBin, from, trees_->notebook(), *to, asSibling, &moved, [&](int first) {
            // The loaded note's text is saved, and its index may have moved: the session lets
            // go of it, and the pasted note is loaded afterwards.
            session_->forgetLoadedNote();
            trees_->notebookModel()->insertSubtree(first, span.depth == 1 ? records - 1 : records);
            fixParentIcon(TreeKind::kNotebook, newParent, ChildChange::kGained);
        });
    if (!ok) {
        // A failed write of the insertion took it back from the store: the view follows, and
        // the selected note (saved above) is loaded again.
        if (trees_->notebookModel()->nodeCount() != trees_->notebook().NodeCount()) {
            refreshTree(TreeKind::kNotebook);
            session_->showSelectedNote();
        }
        return false;
    }
    *to = moved.first;
    recycledRemoved(from, moved.count, binParent, current);
    return true;
}

bool TreeCommands::purgeRecycledNote(int index) {
    TreeStore& recycleBin = trees_->recycleBin();
    const int parent = parentOf(TreeKind::kRecycleBin, index);
    const int current = trees_->recycleBinView()->selectedNode();
    // The removal, the parent's icon and a new root: one durable group.
    const TreeStore::Transaction scope(recycleBin);
    const int count = recycleBin.DeleteSubtree(index);
    if (count <= 0) return false;
    recycledRemoved(index, count, parent, current);
    return true;
}

void TreeCommands::recycledRemoved(int index, int count, int parent, int current) {
    TreeStore& recycleBin = trees_->recycleBin();
    NoteTreeView* recycleView = trees_->recycleBinView();
    const IndexShift shift = IndexShift::Removed(index, count);
    if (recycleBin.NodeCount() != 0) {
        trees_->recycleBinModel()->removeSubtree(index, count);
        fixParentIcon(TreeKind::kRecycleBin, parent, ChildChange::kLost);
    }
    if (recycleBin.NodeCount() == 0) {
        ensureRoot(TreeKind::kRecycleBin);
        refreshTree(TreeKind::kRecycleBin);
    }
    // A purged selection passes to the item that followed it, else to the last item.
    if (current >= 0 && shift.map(current) < 0 && !recycleView->selectNode(index)) {
        recycleView->selectNode(trees_->recycleBinModel()->nodeCount() - 1);
    }
}

bool TreeCommands::purgeSelectedRecycledNote() {
    const bool purged = purgeRecycledNote(trees_->recycleBinView()->selectedNode());
    if (cut_.in(TreeKind::kRecycleBin)) cut_ = {};
    return purged;
}

QString TreeCommands::cutCaption(TreeKind tree) const {
    if (!cut_.in(tree)) return QStringLiteral("剪切");
    const QString title = model(tree)->indexOfNode(cut_.index).data(Qt::DisplayRole).toString();
    return QStringLiteral("已剪切 ") + title + QLatin1Char('[') + QString::number(cut_.index) +
           QLatin1Char(']');
}

bool TreeCommands::eventFilter(QObject* watched, QEvent* event) {
    // The event's type is looked at first: the views send events to their filters while the
    // window is torn down, after the trees are gone.
    if (event->type() == QEvent::KeyPress && watched == trees_->notebookView() &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_F2) {
        startRename(trees_->notebookView()->selectedNode());
        return true;
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace qm
