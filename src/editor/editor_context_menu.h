// The note editor's own right-click menu: undo, redo, cut, copy, paste, delete, select all.
#pragma once

#include <memory>

class QMenu;
class QWidget;

namespace qm {

class NoteEditor;

// Builds the menu for the editor's state at this moment: "撤销" greyed when nothing can be
// undone, "重做" when nothing can be redone, "剪切" and "复制" when the selection is empty,
// "删除" when the selection is empty and the caret is at the document end or before a CR or
// LF; "粘贴" and "全选" are always enabled. Each entry runs the matching editor command.
std::unique_ptr<QMenu> CreateEditorContextMenu(NoteEditor& editor, QWidget* parent);

}  // namespace qm
