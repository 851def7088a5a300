// The main window's layout: the toolbar on top, an optional path bar, the note trees left of
// a movable splitter, the feature bars stacked above the editor area right of it and the
// bottom bars (the search bar) under everything. Feature bars register themselves with
// addBar() and are placed by relayout() without this class knowing them.
#pragma once

#include <QRect>
#include <QSize>
#include <vector>

class QWidget;

namespace qm {

// Where a registered bar goes.
enum class BarPlace {
    kEditorColumn,  // right of the splitter, above the editor, stacked by `order`
    kBottom,        // full width at the bottom of the window (the search bar)
};

// The geometry rules, separate from the widgets so that the numbers can be checked alone.
struct LayoutInput {
    QSize client;
    int toolBarHeight = 48;
    int pathBarHeight = 0;  // 0: no path bar shown
    int splitterLeft = 262;
    int splitterWidth = 5;
    bool recycleBinShown = false;
    std::vector<int> columnBarHeights;  // the shown editor-column bars, top to bottom
    std::vector<int> bottomBarHeights;  // the shown bottom bars, top to bottom
};

struct LayoutResult {
    QRect toolBar;
    QRect pathBar;
    QRect splitter;
    QRect notebookTree;
    QRect recycleBinTree;  // empty when the recycle bin is hidden
    std::vector<QRect> columnBars;
    std::vector<QRect> bottomBars;
    QRect editorArea;
};

// Widths and heights that would come out negative in a tiny window are 0.
LayoutResult ComputeLayout(const LayoutInput& input);

class WindowLayout {
public:
    static constexpr int kToolBarHeight = 48;
    static constexpr int kSplitterWidth = 5;
    static constexpr int kDefaultSplitterLeft = 262;  // the designed width of the trees

    struct Bar {
        int button = -1;  // the toolbar button whose check state shows the bar
        QWidget* widget = nullptr;
        int height = 26;
        BarPlace place = BarPlace::kEditorColumn;
        int order = 0;  // smaller first (top to bottom)
    };

    void setToolBar(QWidget* toolBar) { toolBar_ = toolBar; }
    void setTrees(QWidget* notebook, QWidget* recycleBin);
    void setSplitter(QWidget* splitter) { splitter_ = splitter; }
    void setEditorArea(QWidget* editorArea) { editorArea_ = editorArea; }

    // The path bar hook: the bar widget and its height; shown when setPathBarShown(true).
    void setPathBar(QWidget* pathBar, int height);
    void setPathBarShown(bool shown) { pathBarShown_ = shown; }
    bool pathBarShown() const { return pathBarShown_ && pathBar_ != nullptr; }

    // Registers a feature bar; it starts hidden. Replaces an earlier bar of the same button.
    void addBar(const Bar& bar);
    bool hasBar(int button) const;
    // Shows or hides the bar of `button` at the next relayout. Returns false when no bar is
    // registered for it (a check button without a bar, like the calculator).
    bool setBarShown(int button, bool shown);
    bool barShown(int button) const;

    void setRecycleBinShown(bool shown) { recycleBinShown_ = shown; }
    bool recycleBinShown() const { return recycleBinShown_; }

    void setSplitterLeft(int left) { splitterLeft_ = left; }
    int splitterLeft() const { return splitterLeft_; }

    // Places every widget for a client area of `client`.
    void relayout(const QSize& client);

private:
    struct Entry {
        Bar bar;
        bool shown = false;
    };
    std::vector<const Entry*> shownBars(BarPlace place) const;

    QWidget* toolBar_ = nullptr;
    QWidget* pathBar_ = nullptr;
    int pathBarHeight_ = 26;
    bool pathBarShown_ = false;
    QWidget* notebookTree_ = nullptr;
    QWidget* recycleBinTree_ = nullptr;
    QWidget* splitter_ = nullptr;
    QWidget* editorArea_ = nullptr;
    std::vector<Entry> bars_;
    bool recycleBinShown_ = false;
    int splitterLeft_ = kDefaultSplitterLeft;
};

}  // namespace qm
