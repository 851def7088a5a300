#include "app/frame/window_layout.h"

#include <QWidget>
#include <algorithm>

namespace qm {

namespace {

QRect Box(int x, int y, int w, int h) { return QRect(x, y, std::max(0, w), std::max(0, h)); }

int Sum(const std::vector<int>& heights) {
    int total = 0;
    for (const int h : heights) total += h;
    return total;
}

void Place(QWidget* widget, const QRect& rect, bool shown) {
    if (widget == nullptr) return;
    if (shown) widget->setGeometry(rect);
    widget->setVisible(shown);
}

}  // namespace

LayoutResult ComputeLayout(const LayoutInput& in) {
    const int w = in.client.width();
    const int h = in.client.height();
    LayoutResult out;
    out.toolBar = Box(0, 0, w, in.toolBarHeight);
    int y = in.toolBarHeight;
    if (in.pathBarHeight > 0) {
        out.pathBar = Box(0, y, w, in.pathBarHeight);
        y += in.pathBarHeight;
    }
    const int y0 = y;
    const int hf = Sum(in.bottomBarHeights);
    const int s = in.splitterLeft;
    out.splitter = Box(s, y0, in.splitterWidth, h - hf - y0);
    const int x = s + in.splitterWidth;
    for (const int barHeight : in.columnBarHeights) {
        out.columnBars.push_back(Box(x, y, w - x, barHeight));
        y += barHeight;
    }
    int bottom = h - hf;
    for (const int barHeight : in.bottomBarHeights) {
        out.bottomBars.push_back(Box(0, bottom, w, barHeight));
        bottom += barHeight;
    }
    if (in.recycleBinShown) {
        const int half = std::max(0, (h - y0 - hf) / 2);
        out.notebookTree = Box(0, y0, s, half);
        out.recycleBinTree = Box(0, y0 + half, s, half);
    } else {
        out.notebookTree = Box(0, y0, s, h - y0 - hf);
    }
    out.editorArea = Box(x, y, w - x, h - y - hf);
    return out;
}

void WindowLayout::setTrees(QWidget* notebook, QWidget* recycleBin) {
    notebookTree_ = notebook;
    recycleBinTree_ = recycleBin;
}

void WindowLayout::setPathBar(QWidget* pathBar, int height) {
    pathBar_ = pathBar;
    pathBarHeight_ = height;
}

void WindowLayout::addBar(const Bar& bar) {
    for (Entry& entry : bars_) {
        if (entry.bar.button == bar.button) {
            entry = {bar, false};
            return;
        }
    }
    bars_.push_back({bar, false});
    std::stable_sort(bars_.begin(), bars_.end(),
                     [](const Entry& a, const Entry& b) { return a.bar.order < b.bar.order; });
}

bool WindowLayout::hasBar(int button) const {
    return std::any_of(bars_.begin(), bars_.end(),
                       [button](const Entry& e) { return e.bar.button == button; });
}

bool WindowLayout::setBarShown(int button, bool shown) {
    for (Entry& entry : bars_) {
        if (entry.bar.button == button) {
            entry.shown = shown;
            return true;
        }
    }
    return false;
}

bool WindowLayout::barShown(int button) const {
    for (const Entry& entry : bars_) {
        if (entry.bar.button == button) return entry.shown;
    }
    return false;
}

std::vector<const WindowLayout::Entry*> WindowLayout::shownBars(BarPlace place) const {
    std::vector<const Entry*> shown;
    for (const Entry& entry : bars_) {
        if (entry.shown && entry.bar.place == place) shown.push_back(&entry);
    }
    return shown;
}

void WindowLayout::relayout(const QSize& client) {
    LayoutInput in;
    in.client = client;
    in.toolBarHeight = kToolBarHeight;
    in.pathBarHeight = pathBarShown() ? pathBarHeight_ : 0;
    in.splitterLeft = splitterLeft_;
    in.splitterWidth = kSplitterWidth;
    in.recycleBinShown = recycleBinShown_;
    const std::vector<const Entry*> column = shownBars(BarPlace::kEditorColumn);
    const std::vector<const Entry*> bottom = shownBars(BarPlace::kBottom);
    for (const Entry* e : column) in.columnBarHeights.push_back(e->bar.height);
    for (const Entry* e : bottom) in.bottomBarHeights.push_back(e->bar.height);
    const LayoutResult out = ComputeLayout(in);

    Place(toolBar_, out.toolBar, true);
    Place(pathBar_, out.pathBar, pathBarShown());
    Place(splitter_, out.splitter, true);
    Place(notebookTree_, out.notebookTree, true);
    Place(recycleBinTree_, out.recycleBinTree, recycleBinShown_);
    for (const Entry& entry : bars_) {
        if (!entry.shown) Place(entry.bar.widget, {}, false);
    }
    for (size_t i = 0; i < column.size(); ++i)
        Place(column[i]->bar.widget, out.columnBars[i], true);
    for (size_t i = 0; i < bottom.size(); ++i)
        Place(bottom[i]->bar.widget, out.bottomBars[i], true);
    Place(editorArea_, out.editorArea, true);
}

}  // namespace qm
