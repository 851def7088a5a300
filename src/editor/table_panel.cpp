#include "editor/table_panel.h"

#include <QMouseEvent>
#include <QPainter>

#include "editor/note_editor.h"
#include "editor/tag_table.h"

namespace qm {

TablePanel::TablePanel(NoteEditor& editor, QWidget* parent)
    : QWidget(parent, Qt::Popup), editor_(editor) {
    setObjectName(QStringLiteral("表格面板"));
    setFixedSize(kPanelSize, kPanelSize);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
}

void TablePanel::popUp(const QPoint& globalTopLeft) {
    track(QPoint(-1, -1));
    move(globalTopLeft);
    show();
    raise();
    activateWindow();
    setFocus();
}

void TablePanel::track(const QPoint& pos) {
    const int columns = TableCellCount(pos.x());
    const int rows = TableCellCount(pos.y());
    if (columns == columns_ && rows == rows_) return;
    columns_ = columns;
    rows_ = rows;
    update();
}

void TablePanel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    painter.setPen(QColor(0xC0, 0xC0, 0xC0));
    for (int row = 0; row < kCells; ++row) {
        for (int column = 0; column < kCells; ++column) {
            const QRect box(column * kCellSize, row * kCellSize, kCellSize - 1, kCellSize - 1);
            const bool chosen = column < columns_ && row < rows_;
            painter.setBrush(chosen ? QColor(0xFF, 0xFF, 0x00) : QColor(Qt::white));
            painter.drawRect(box);
        }
    }
}

void TablePanel::mouseMoveEvent(QMouseEvent* event) { track(event->position().toPoint()); }

void TablePanel::mousePressEvent(QMouseEvent* event) {
    if (!rect().contains(event->position().toPoint())) {
        QWidget::mousePressEvent(event);  // a popup closes on a click outside
        return;
    }
    if (event->button() != Qt::LeftButton) return;
    track(event->position().toPoint());
    editor_.insertText(TableSnippet(rows_, columns_));
    hide();
    editor_.focus();
}

void TablePanel::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    emit closed();
}

}  // namespace qm
