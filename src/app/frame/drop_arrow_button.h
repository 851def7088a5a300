// A tool button with a drop-down arrow whose arrow is a second command of its own instead of
// a menu ("删除" and its arrow that shows the recycle bin).
#pragma once

#include <QToolButton>

class QMenu;

namespace qm {

class DropArrowButton : public QToolButton {
    Q_OBJECT
public:
    explicit DropArrowButton(QWidget* parent = nullptr);

    // The arrow's area in the button's coordinates.
    QRect arrowRect() const;

signals:
    void arrowClicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;

private:
    QMenu* placeholder_;  // never shown: its presence makes the style draw the arrow
};

}  // namespace qm
