// Files and folders dropped from a file manager onto the window: the widgets it watches take
// drops of local paths (the editor among them, which would otherwise insert "file://" text)
// and hand the paths on once the drop has returned.
#pragma once

#include <QObject>
#include <QStringList>
#include <functional>

class QMimeData;
class QWidget;

namespace qm {

class DropTarget : public QObject {
    Q_OBJECT
public:
    using Handler = std::function<void(const QStringList& paths)>;

    explicit DropTarget(Handler handler, QObject* parent = nullptr);

    // Takes drops of local paths on `widget`, and on the viewports of the scroll areas inside
    // it, before the widget itself sees them.
    void watch(QWidget* widget);

    // The local file paths of a drag, in drop order; empty when it carries none.
    static QStringList localPaths(const QMimeData* mime);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    Handler handler_;
};

}  // namespace qm
