// The note path commands around the notebook tree: the path bar and its menu "路径菜单",
// manual editing of a path, "复制路径", "跳到已复制路径", and the "显示路径栏" mark that
// shows the bar and is kept in the settings file. A jump selects the note in the notebook
// tree like a click, which loads it.
#pragma once

#include <QObject>
#include <QString>
#include <memory>
#include <string>
#include <string_view>

class QMenu;
class QPoint;
class QWidget;

namespace qm {

class NoteSession;
class NoteTreeView;
class OutlinePathTree;
class PathBar;
class SectionedMenu;
class SettingsStore;

class PathCommands : public QObject {
    Q_OBJECT
public:
    // The view (with its model) and the settings store must outlive this object; the bar is
    // made as a child of `barParent`. Restores "显示路径栏" (shown when the key is missing)
    // from section "主界面" without writing it.
    PathCommands(NoteTreeView* notebookView, SettingsStore* settings, QWidget* barParent);
    ~PathCommands() override;

    PathBar* bar() const { return bar_; }
    QMenu* menu() const { return menu_; }
    bool pathBarShown() const { return shown_; }

    // Adds "复制路径" and the check entry "显示路径栏" (kept in step with the mark) to
    // `section` of the notebook's context menu.
    void addNotebookEntries(SectionedMenu& menu, int section);
    // Shows the path of every note the session is about to load, and keeps the notebook
    // selection where it is while the edit box is open. The session must outlive this.
    void followSession(NoteSession* session);

    // The path text (GB18030) of notebook node `node`, with `replacementTitle` (GB18030) for
    // its own title when not empty; empty when the node does not exist.
    std::string notePath(int node, std::string_view replacementTitle = {}) const;
    // The path of the notebook selection; empty when nothing is selected.
    std::string selectionPath() const;
    // The notebook node a path text names; -1 only for an empty notebook.
    int resolvePath(std::string_view path) const;

    // Shows the path of `node` in the bar (a rename passes the new title, UTF-8 QString).
    void showPathOf(int node, const QString& replacementTitle = {});
    // Resolves a path text (GB18030) and selects the result in the notebook tree. Returns the
    // node selected, -1 when the notebook is empty.
    int jumpTo(std::string_view path);

    // "复制路径": the clipboard gets the selection's path (the empty text without one).
    void copyPath();
    // "跳到已复制路径": jumps to the clipboard's text.
    void jumpToCopiedPath();
    // "编辑路径" or a click on the empty rest of the bar: the edit box over the bar with the
    // selection's path.
    void openEditor();
    // Enter in the edit box or its losing the focus: an unchanged path only closes the box;
    // another one is jumped to and the new selection's path shown.
    void applyEditor();
    // True while the edit box is shown: the notebook selection must then stay where it is.
    bool editorOpen() const;

    // Sets the "显示路径栏" mark, stores it and announces it.
    void setPathBarShown(bool shown);
    // "关闭路径栏" and the context-menu entry: flips the mark.
    void togglePathBar();

signals:
    // The bar must be shown or hidden (the window lays itself out again).
    void pathBarShownChanged(bool shown);

private:
    void buildMenu();
    void onSegmentClicked(int k);
    void showMenu(const QPoint& globalPos);

    NoteTreeView* view_;
    SettingsStore* settings_;
    std::unique_ptr<OutlinePathTree> tree_;
    PathBar* bar_;
    QMenu* menu_ = nullptr;
    bool shown_ = true;
};

}  // namespace qm
