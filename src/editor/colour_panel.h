// The colour panel of the tag bar: a popup grid of 100 colour cells; a click inserts the
// cell's "#RRGGBB" at the editor's caret.
#pragma once

#include <QWidget>

namespace qm {

class NoteEditor;

class ColourPanel : public QWidget {
    Q_OBJECT
public:
    static constexpr int kCellSize = 32;
    static constexpr int kColumns = 10;
    static constexpr int kPanelSize = 322;

    // A popup (closed by a click outside it); hidden until popUp().
    explicit ColourPanel(NoteEditor& editor, QWidget* parent = nullptr);

    // Shows the panel with its top-left corner at `globalTopLeft` and gives it the focus.
    void popUp(const QPoint& globalTopLeft);
    // The cell under `pos` (panel coordinates), or -1 outside the grid.
    static int cellAt(const QPoint& pos);
    // The cell drawn raised (the last one the pointer entered), or -1.
    int markedCell() const { return marked_; }

signals:
    // The panel closed (after a choice, a click outside or losing the focus).
    void closed();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    NoteEditor& editor_;
    int marked_ = -1;
};

}  // namespace qm
