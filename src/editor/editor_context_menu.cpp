#include "editor/editor_context_menu.h"

#include <QMenu>

#include "editor/note_editor.h"

namespace qm {

namespace {

// Nothing is selected and there is no character on the caret's line to delete after it.
bool NothingToDelete(const NoteEditor& editor) {
    if (editor.selectionLength() != 0) return false;
    const int caret = editor.selectionStart();
    if (caret >= editor.textLength()) return true;
    const std::string next = editor.getTextRange(caret, caret + 1);
    return next == "\r" || next == "\n";
}

}  // namespace

std::unique_ptr<QMenu> CreateEditorContextMenu(NoteEditor& editor, QWidget* parent) {
    auto menu = std::make_unique<QMenu>(parent);
    const bool emptySelection = editor.selectionLength() == 0;
    const auto add = [&](const char* caption, bool enabled, void (NoteEditor::*command)()) {
        QAction* action = menu->addAction(QString::fromUtf8(caption));
        action->setEnabled(enabled);
        QObject::connect(action, &QAction::triggered, &editor, command);
    };
    add("撤销", editor.canUndo(), &NoteEditor::undo);
    add("重做", editor.canRedo(), &NoteEditor::redo);
    menu->addSeparator();
    add("剪切", !emptySelection, &NoteEditor::cut);
    add("复制", !emptySelection, &NoteEditor::copy);
    add("粘贴", true, &NoteEditor::paste);
    add("删除", !NothingToDelete(editor), &NoteEditor::clear);
    menu->addSeparator();
    add("全选", true, &NoteEditor::selectAll);
    return menu;
}

}  // namespace qm
