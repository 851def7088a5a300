#include "app/tree_commands/tree_menus.h"

#include <QMenu>
#include <QPoint>

#include "app/tree_commands/tree_commands.h"
#include "app/trees/note_tree_view.h"
#include "app/trees/note_trees.h"
#include "app/trees/outline_model.h"

namespace qm {

TreeMenus::TreeMenus(TreeCommands* commands, NoteTrees* trees, QWidget* parent)
    : QObject(parent),
      commands_(commands),
      trees_(trees),
      notebook_(
          std::make_unique<SectionedMenu>(QStringLiteral("菜单"), kNotebookSectionCount, parent)),
      recycleBin_(std::make_unique<SectionedMenu>(QStringLiteral("菜单回收站"), 1, parent)) {
    SectionedMenu& n = *notebook_;
    n.addEntry(kCreate, QStringLiteral("新建"), [commands] { commands->newChildNote(); });
    n.addEntry(kCreate, QStringLiteral("同级新建"), [commands] { commands->newSiblingNote(); });
    n.addEntry(kCreate, QStringLiteral("删除"), [commands] { commands->deleteNote(); });
    n.addEntry(
        kCutPaste, QStringLiteral("剪切"), [commands] { commands->cutNote(); },
        [this] { return canCutNote(); },
        [commands] { return commands->cutCaption(TreeKind::kNotebook); });
    n.addEntry(
        kCutPaste, QStringLiteral("粘贴"), [commands] { commands->pasteNote(false); },
        [this] { return canPaste(); });
    n.addEntry(
        kCutPaste, QStringLiteral("同级粘贴"), [commands] { commands->pasteNote(true); },
        [this] { return canPasteAsSibling(); });

    SectionedMenu& r = *recycleBin_;
    r.addEntry(
        0, QStringLiteral("剪切"), [commands] { commands->cutRecycledNote(); },
        [this] { return canCutRecycledNote(); },
        [commands] { return commands->cutCaption(TreeKind::kRecycleBin); });
    r.addEntry(0, QStringLiteral("彻底删除"),
               [commands] { commands->purgeSelectedRecycledNote(); });

    for (const TreeKind tree : {TreeKind::kNotebook, TreeKind::kRecycleBin}) {
        NoteTreeView* view =
            tree == TreeKind::kNotebook ? trees_->notebookView() : trees_->recycleBinView();
        view->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(view, &QWidget::customContextMenuRequested, this,
                [this, tree](const QPoint& pos) { openAt(tree, pos); });
    }
}

TreeMenus::~TreeMenus() = default;

bool TreeMenus::openAt(TreeKind tree, const QPoint& pos) {
    const bool notebook = tree == TreeKind::kNotebook;
    NoteTreeView* view = notebook ? trees_->notebookView() : trees_->recycleBinView();
    const int node = OutlineModel::nodeOf(view->indexAt(pos));
    if (node < 0) return false;
    view->selectNode(node);
    SectionedMenu& menu = notebook ? *notebook_ : *recycleBin_;
    menu.refresh();
    menu.menu()->popup(view->viewport()->mapToGlobal(pos));
    return true;
}

bool TreeMenus::canCutNote() const { return trees_->notebookView()->selectedNode() >= 1; }

bool TreeMenus::canPaste() const {
    const CutMark& cut = commands_->cutMark();
    if (cut.empty()) return false;
    return !(cut.in(TreeKind::kNotebook) && cut.index == trees_->notebookView()->selectedNode());
}

bool TreeMenus::canPasteAsSibling() const { return canPaste() && canCutNote(); }

bool TreeMenus::canCutRecycledNote() const { return trees_->recycleBinView()->selectedNode() >= 1; }

}  // namespace qm
