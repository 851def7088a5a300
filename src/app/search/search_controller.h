// The search feature: puts the search bar into the window (toolbar button 2 "查找", a bar of
// height 26 along the bottom) and runs its commands: the tree search by title or by title and
// body, its stop request, the search in the editor, the "找不到了" notice and the history.
#pragma once

#include <QObject>
#include <memory>

#include "store/tree_store.h"

class QPushButton;
class QWidget;

namespace qm {

class MainToolBar;
class NoteSearch;
class NoteSession;
class NoteTrees;
class SearchBar;
class SettingsStore;
class WindowLayout;

class SearchController : public QObject {
    Q_OBJECT
public:
    static constexpr int kToolBarButton = 2;
    static constexpr int kNotFoundMs = 500;  // how long a button says "找不到了"
    static const char* const kSearchingCaption;
    static const char* const kStoppingCaption;
    static const char* const kNotFoundCaption;

    // Creates the bar in the window's client area, registers it with the layout and adds the
    // toolbar button; restores the bar's settings. Everything passed in must outlive the
    // controller.
    SearchController(MainToolBar* toolBar, WindowLayout& layout, QWidget* clientArea,
                     NoteTrees* trees, SettingsStore* settings, QObject* parent = nullptr);
    ~SearchController() override;

    // The loaded note and its editor, which "查找编辑框" searches and a body hit is shown in.
    // Without one, every search in the editor finds nothing.
    void setNoteSession(NoteSession* session) { session_ = session; }

    // "查找树" (also Enter in the query box): while a search runs, asks it to stop ("正在停止")
    // and returns at once; otherwise searches ("查找中..") by title, or by title and body when
    // that option is checked, from the selected item on. A hit is selected, which loads the
    // note; a body hit is then looked up in the editor. No hit: "找不到了" for 500 ms. An
    // invalid regular expression: a warning naming the engine's error, and no search.
    void searchTree();

    // "查找编辑框": the query from the end of the editor's selection on, wrapping to the top
    // once. Returns true and selects the match when found (the query goes into the history);
    // otherwise the button says "找不到了" for 500 ms and the result is false.
    bool findInEditor();

    // True while the tree-search button does not show its rest caption "查找树".
    bool treeSearchRunning() const;

    SearchBar* bar() const { return bar_; }
    NoteSearch& search() { return *search_; }

private:
    SearchResult runTreeSearch();
    void showHit(const SearchResult& hit);
    // Shows "找不到了" on `button` for kNotFoundMs, keeping the window responsive, then
    // `restCaption`.
    void showNotFound(QPushButton* button, const char* restCaption);

    NoteTrees* trees_;
    SearchBar* bar_;
    std::unique_ptr<NoteSearch> search_;
    NoteSession* session_ = nullptr;
};

}  // namespace qm
