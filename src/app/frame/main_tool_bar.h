// The main toolbar: buttons addressed by their index (0 "新建", 1 "删除", separators at 3, 7
// and 12); the features add their own buttons (2 查找, 8 字体, ...) at their index, and the
// buttons always stand in index order.
#pragma once

#include <QMap>
#include <QToolBar>

class QMenu;

namespace qm {

class DropArrowButton;

class MainToolBar : public QToolBar {
    Q_OBJECT
public:
    static constexpr int kNew = 0;
    static constexpr int kDelete = 1;

    explicit MainToolBar(QWidget* parent = nullptr);

    // Adds a button at `index`. Returns its action, or nullptr when the index is taken. A
    // check button reports its clicks through checkButtonClicked.
    QAction* addButton(int index, const QString& caption, const QString& toolTip,
                       bool checkable = false, const QIcon& icon = {});
    // The action at `index` (a button or a separator); nullptr when there is none.
    QAction* button(int index) const { return commands_.value(index, nullptr); }

    DropArrowButton* deleteButton() const { return deleteButton_; }

    // A menu button after every indexed button (the settings menu where there is no tray).
    // Returns the button's action; only one is kept.
    QAction* setTrailingMenu(const QString& caption, const QString& toolTip, QMenu* menu);

signals:
    // The user flipped check button `index` to `checked`.
    void checkButtonClicked(int index, bool checked);
    // The arrow of "删除": show or hide the recycle-bin tree.
    void recycleBinToggleRequested();

private:
    // Inserts `action` so that indexes stay in order.
    void place(int index, QAction* action);
    QAction* insertionPoint(int index) const;
    // A separator shows only with buttons on both sides of it, so that the slots of features
    // not built in leave no row of empty separators.
    void updateSeparators();

    QMap<int, QAction*> placed_;    // what stands in the toolbar for each index
    QMap<int, QAction*> commands_;  // what button() hands out
    QAction* trailing_ = nullptr;
    DropArrowButton* deleteButton_ = nullptr;
};

}  // namespace qm
