#include "app/frame/main_tool_bar.h"

#include <QMenu>
#include <QStyle>
#include <QToolButton>

#include "app/frame/drop_arrow_button.h"

namespace qm {

MainToolBar::MainToolBar(QWidget* parent) : QToolBar(parent) {
    setObjectName(QStringLiteral("工具条"));
    setMovable(false);
    setFloatable(false);
    setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    setIconSize(QSize(20, 20));

    addButton(kNew, QStringLiteral("新建"), QStringLiteral("新建一个笔记"), false,
              style()->standardIcon(QStyle::SP_FileIcon));

    auto* deleteAction =
        new QAction(style()->standardIcon(QStyle::SP_TrashIcon), QStringLiteral("删除"), this);
    deleteAction->setToolTip(QStringLiteral("删除选中笔记（包括子层笔记），点击三角显示回收站"));
    deleteButton_ = new DropArrowButton(this);
    deleteButton_->setObjectName(QStringLiteral("删除"));
    deleteButton_->setDefaultAction(deleteAction);
    deleteButton_->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    connect(deleteButton_, &DropArrowButton::arrowClicked, this,
            &MainToolBar::recycleBinToggleRequested);
    // The toolbar holds the button's widget action; button(1) hands out the command itself.
    placed_.insert(kDelete, insertWidget(insertionPoint(kDelete), deleteButton_));
    commands_.insert(kDelete, deleteAction);
    updateSeparators();

    for (const int separator : {3, 7, 12}) {
        auto* action = new QAction(this);
        action->setSeparator(true);
        place(separator, action);
    }
}

QAction* MainToolBar::addButton(int index, const QString& caption, const QString& toolTip,
                                bool checkable, const QIcon& icon) {
    if (placed_.contains(index)) return nullptr;
    auto* action = new QAction(icon, caption, this);
    action->setToolTip(toolTip);
    action->setCheckable(checkable);
    place(index, action);
    if (checkable) {
        connect(action, &QAction::triggered, this,
                [this, index](bool checked) { emit checkButtonClicked(index, checked); });
    }
    return action;
}

QAction* MainToolBar::setTrailingMenu(const QString& caption, const QString& toolTip, QMenu* menu) {
    if (trailing_ != nullptr) {
        removeAction(trailing_);
        trailing_ = nullptr;
    }
    auto* button = new QToolButton(this);
    button->setObjectName(caption);
    button->setText(caption);
    button->setToolTip(toolTip);
    button->setIcon(style()->standardIcon(QStyle::SP_FileDialogDetailedView));
    button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    button->setPopupMode(QToolButton::InstantPopup);
    button->setMenu(menu);
    trailing_ = addWidget(button);
    return trailing_;
}

void MainToolBar::updateSeparators() {
    bool buttonBefore = false;   // since the last shown separator
    QAction* pending = nullptr;  // a separator waiting for a button after it
    for (QAction* action : std::as_const(placed_)) {
        if (action->isSeparator()) {
            action->setVisible(false);
            if (buttonBefore && pending == nullptr) pending = action;
            continue;
        }
        if (pending != nullptr) {
            pending->setVisible(true);
            pending = nullptr;
        }
        buttonBefore = true;
    }
}

QAction* MainToolBar::insertionPoint(int index) const {
    const auto next = placed_.upperBound(index);
    return next != placed_.end() ? next.value() : trailing_;
}

void MainToolBar::place(int index, QAction* action) {
    insertAction(insertionPoint(index), action);
    placed_.insert(index, action);
    commands_.insert(index, action);
    updateSeparators();
}

}  // namespace qm
