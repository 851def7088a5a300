// The 5-pixel bar between the note trees and the editor; dragging it moves its left edge.
#pragma once

#include <QWidget>

namespace qm {

class SplitterHandle : public QWidget {
    Q_OBJECT
public:
    explicit SplitterHandle(QWidget* parent = nullptr);

signals:
    // While dragging: the left edge the handle would have (in the parent's coordinates),
    // kept inside the parent.
    void dragging(int left);
    // The drag ended at `left`.
    void moved(int left);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    int leftFor(QMouseEvent* event) const;

    int grabOffset_ = 0;  // where in the handle the mouse took hold
    bool dragging_ = false;
};

}  // namespace qm
