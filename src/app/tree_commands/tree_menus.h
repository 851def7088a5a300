// The context menus of the note trees: "菜单" over the notebook and "菜单回收站" over the
// recycle bin. A right click on an item selects it (in the notebook this loads the note), sets
// the entries' states and captions and opens the tree's menu; a right click beside the items
// opens nothing. Features that come later add their entries to the notebook menu's sections.
#pragma once

#include <QObject>
#include <QString>
#include <memory>

#include "app/tree_commands/cut_mark.h"
#include "app/widgets/sectioned_menu.h"

class QPoint;
class QWidget;

namespace qm {

class NoteTrees;
class TreeCommands;

class TreeMenus : public QObject {
    Q_OBJECT
public:
    // The sections of "菜单", in their order, each after a separator.
    enum NotebookSection : int {
        kCreate,        // 新建, 同级新建, 删除
        kCutPaste,      // 剪切, 粘贴, 同级粘贴
        kImportExport,  // 导入, 导出
        kProperties,    // 属性
        kPath,          // 复制路径, 显示路径栏
        kRestart,       // 重新运行本软件
        kNotebookSectionCount
    };

    // Fills both menus with the tree commands and opens them on right clicks in the trees.
    // `commands` and `trees` must outlive the menus, which are children of `parent`.
    TreeMenus(TreeCommands* commands, NoteTrees* trees, QWidget* parent);
    ~TreeMenus() override;

    SectionedMenu& notebookMenu() { return *notebook_; }
    SectionedMenu& recycleBinMenu() { return *recycleBin_; }

    // A right click at `pos` (viewport coordinates) of `tree`: selects the item there, applies
    // the menu's rules and pops the menu up. Returns false, showing nothing, beside the items.
    bool openAt(TreeKind tree, const QPoint& pos);

    // The rules of the entries, for both menus.
    bool canCutNote() const;         // a notebook item other than the root is selected
    bool canPaste() const;           // something is cut, and not the selected notebook item
    bool canPasteAsSibling() const;  // as canPaste, and the selection is not the root
    bool canCutRecycledNote() const;

private:
    TreeCommands* commands_;
    NoteTrees* trees_;
    std::unique_ptr<SectionedMenu> notebook_;
    std::unique_ptr<SectionedMenu> recycleBin_;
};

}  // namespace qm
