#include "editor/tag_bar.h"

#include <QMenu>
#include <QSignalBlocker>
#include <QToolButton>
#include <iterator>

#include "editor/colour_panel.h"
#include "editor/note_editor.h"
#include "editor/table_panel.h"
#include "editor/tag_table.h"

namespace qm {

namespace {

// Short captions standing in for the buttons' pictures, by button index.
const char* const kCaptions[] = {
    "预览",   "",     "B",   "I",    "U",    "字体", "颜色", "",     "空格", "BR",
    "P",      "H",    "",    "链接", "图片", "锚点", "HR",   "注释", "",     "表格",
    "居中",   "引用", "PRE", "列表", "",     "样式", "div",  "span", "",     "脚本",
    "applet", "对象", "",    "表单", "控件", "",     "地图", "框架",
};
static_assert(std::size(kCaptions) == 38, "one caption per button");

}  // namespace

TagBar::TagBar(NoteEditor& editor, QWidget* parent)
    : QToolBar(parent),
      editor_(editor),
      colourPanel_(new ColourPanel(editor, this)),
      tablePanel_(new TablePanel(editor, this)) {
    setObjectName(QStringLiteral("标签代码工具条"));
    setToolButtonStyle(Qt::ToolButtonTextOnly);
    setIconSize(QSize(16, 16));

    for (const TagMenu& entry : TagMenus()) {
        auto* menu = new QMenu(this);
        menu->setObjectName(QString::fromUtf8(entry.name));
        for (const TagSnippet& snippet : entry.entries) {
            QAction* action = menu->addAction(QString::fromUtf8(snippet.toolTip));
            connect(action, &QAction::triggered, this,
                    [this, &snippet] { insertSnippet(snippet); });
        }
        menus_[menu->objectName()] = menu;
    }

    for (const TagSnippet& snippet : TagButtons()) {
        if (snippet.action == TagAction::kSeparator) {
            buttons_[snippet.index] = addSeparator();
            continue;
        }
        QAction* action = addAction(QString::fromUtf8(kCaptions[snippet.index]));
        action->setToolTip(QString::fromUtf8(snippet.toolTip));
        action->setObjectName(QStringLiteral("标签按钮%1").arg(snippet.index));
        buttons_[snippet.index] = action;
        switch (snippet.action) {
            case TagAction::kPreview:
                action->setCheckable(true);
                connect(action, &QAction::triggered, this, &TagBar::previewToggled);
                break;
            case TagAction::kColourPanel:
                action->setCheckable(true);
                connect(action, &QAction::triggered, this, &TagBar::toggleColourPanel);
                break;
            case TagAction::kTablePanel:
                action->setCheckable(true);
                connect(action, &QAction::triggered, this, &TagBar::showTablePanel);
                break;
            case TagAction::kMenu: {
                action->setMenu(menu(QString::fromUtf8(snippet.menu)));
                // The button opens its menu at once and shows pressed while it is open.
                if (auto* tool = qobject_cast<QToolButton*>(widgetForAction(action))) {
                    tool->setPopupMode(QToolButton::InstantPopup);
                }
                break;
            }
            default:
                connect(action, &QAction::triggered, this,
                        [this, &snippet] { insertSnippet(snippet); });
                break;
        }
    }

    connect(colourPanel_, &ColourPanel::closed, this, [this] {
        const QSignalBlocker block(buttons_[kColourButton]);
        buttons_[kColourButton]->setChecked(false);
    });
    connect(tablePanel_, &TablePanel::closed, this, [this] {
        const QSignalBlocker block(buttons_[kTableButton]);
        buttons_[kTableButton]->setChecked(false);
    });
}

TagBar::~TagBar() = default;

QAction* TagBar::button(int index) const {
    const auto it = buttons_.find(index);
    return it == buttons_.end() ? nullptr : it->second;
}

QMenu* TagBar::menu(const QString& name) const {
    const auto it = menus_.find(name);
    return it == menus_.end() ? nullptr : it->second;
}

void TagBar::insertSnippet(const TagSnippet& snippet) {
    editor_.insertText(ComposeSnippet(snippet, editor_.selectedText()));
    editor_.focus();
}

void TagBar::setPreviewPressed(bool pressed) {
    const QSignalBlocker block(buttons_[kPreviewButton]);
    buttons_[kPreviewButton]->setChecked(pressed);
}

void TagBar::toggleColourPanel(bool pressed) {
    if (!pressed) {
        colourPanel_->hide();
        return;
    }
    colourPanel_->popUp(editor_.mapToGlobal(QPoint(kColourPanelLeft, 0)));
}

void TagBar::showTablePanel() {
    buttons_[kTableButton]->setChecked(true);
    tablePanel_->popUp(editor_.mapToGlobal(QPoint(kTablePanelLeft, 0)));
}

}  // namespace qm
