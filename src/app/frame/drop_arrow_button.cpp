#include "app/frame/drop_arrow_button.h"

#include <QMenu>
#include <QMouseEvent>
#include <QStyle>
#include <QStyleOptionToolButton>

namespace qm {

DropArrowButton::DropArrowButton(QWidget* parent)
    : QToolButton(parent), placeholder_(new QMenu(this)) {
    setMenu(placeholder_);
    setPopupMode(QToolButton::MenuButtonPopup);
}

QRect DropArrowButton::arrowRect() const {
    QStyleOptionToolButton option;
    initStyleOption(&option);
    return style()->subControlRect(QStyle::CC_ToolButton, &option, QStyle::SC_ToolButtonMenu, this);
}

void DropArrowButton::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && arrowRect().contains(event->position().toPoint())) {
        event->accept();
        emit arrowClicked();
        return;
    }
    QToolButton::mousePressEvent(event);
}

}  // namespace qm
