#include "editor/colour_panel.h"

#include <qdrawutil.h>

#include <QMouseEvent>
#include <QPainter>

#include "editor/note_editor.h"
#include "editor/tag_table.h"

namespace qm {

ColourPanel::ColourPanel(NoteEditor& editor, QWidget* parent)
    : QWidget(parent, Qt::Popup), editor_(editor) {
    setObjectName(QStringLiteral("颜色面板"));
    setFixedSize(kPanelSize, kPanelSize);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
}

void ColourPanel::popUp(const QPoint& globalTopLeft) {
    move(globalTopLeft);
    show();
    raise();
    activateWindow();
    setFocus();
}

int ColourPanel::cellAt(const QPoint& pos) {
    if (pos.x() < 0 || pos.y() < 0) return -1;
    const int column = pos.x() / kCellSize;
    const int row = pos.y() / kCellSize;
    if (column >= kColumns || row >= kColumns) return -1;
    const int cell = row * kColumns + column;
    return cell < static_cast<int>(PanelColours().size()) ? cell : -1;
}

void ColourPanel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().window());
    const auto& colours = PanelColours();
    for (int cell = 0; cell < static_cast<int>(colours.size()); ++cell) {
        const QRect box((cell % kColumns) * kCellSize, (cell / kColumns) * kCellSize, kCellSize,
                        kCellSize);
        const QBrush fill(QColor(QString::fromLatin1(colours[cell].c_str())));
        // The marked cell stands out raised; the others sit in a shallow sunken border.
        qDrawShadePanel(&painter, box, palette(), cell != marked_, cell == marked_ ? 2 : 1, &fill);
    }
}

void ColourPanel::mouseMoveEvent(QMouseEvent* event) {
    const int cell = cellAt(event->position().toPoint());
    if (cell >= 0 && cell != marked_) {
        marked_ = cell;
        update();
    }
}

void ColourPanel::mousePressEvent(QMouseEvent* event) {
    if (!rect().contains(event->position().toPoint())) {
        QWidget::mousePressEvent(event);  // a popup closes on a click outside
        return;
    }
    const int cell = cellAt(event->position().toPoint());
    if (event->button() != Qt::LeftButton || cell < 0) return;
    editor_.insertText(PanelColours()[cell]);
    hide();
    editor_.focus();
}

void ColourPanel::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    emit closed();
}

}  // namespace qm
