// The table panel of the tag bar: a popup 10 x 10 grid that shows the table size under the
// pointer; a click inserts a table of that many rows and columns.
#pragma once

#include <QWidget>

namespace qm {

class NoteEditor;

class TablePanel : public QWidget {
    Q_OBJECT
public:
    static constexpr int kCellSize = 32;
    static constexpr int kCells = 10;
    static constexpr int kPanelSize = 322;

    // A popup (closed by a click outside it); hidden until popUp().
    explicit TablePanel(NoteEditor& editor, QWidget* parent = nullptr);

    // Shows the panel at `globalTopLeft` with a 1 x 1 choice and gives it the focus.
    void popUp(const QPoint& globalTopLeft);
    // The choice as drawn now: columns and rows, each 1..10.
    int columns() const { return columns_; }
    int rows() const { return rows_; }

signals:
    void closed();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    // Chooses the size for a pointer at `pos`; repaints when it changed.
    void track(const QPoint& pos);

    NoteEditor& editor_;
    int columns_ = 1;
    int rows_ = 1;
};

}  // namespace qm
