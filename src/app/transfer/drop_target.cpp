#include "app/transfer/drop_target.h"

#include <QAbstractScrollArea>
#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QTimer>
#include <QUrl>
#include <QWidget>

namespace qm {

DropTarget::DropTarget(Handler handler, QObject* parent)
    : QObject(parent), handler_(std::move(handler)) {}

void DropTarget::watch(QWidget* widget) {
    widget->setAcceptDrops(true);
    widget->installEventFilter(this);
    for (QAbstractScrollArea* area : widget->findChildren<QAbstractScrollArea*>()) {
        area->viewport()->installEventFilter(this);
        area->installEventFilter(this);
    }
}

QStringList DropTarget::localPaths(const QMimeData* mime) {
    QStringList paths;
    if (mime == nullptr || !mime->hasUrls()) return paths;
    for (const QUrl& url : mime->urls()) {
        if (url.isLocalFile() && !url.toLocalFile().isEmpty()) paths << url.toLocalFile();
    }
    return paths;
}

bool DropTarget::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove: {
            auto* drag = static_cast<QDragMoveEvent*>(event);
            if (localPaths(drag->mimeData()).isEmpty()) break;
            drag->setDropAction(Qt::CopyAction);
            drag->accept();
            return true;
        }
        case QEvent::Drop: {
            auto* drop = static_cast<QDropEvent*>(event);
            const QStringList paths = localPaths(drop->mimeData());
            if (paths.isEmpty()) break;
            drop->setDropAction(Qt::CopyAction);
            drop->accept();
            // The file manager waits for the drop to return; the import runs after it.
            QTimer::singleShot(0, this, [this, paths] { handler_(paths); });
            return true;
        }
        default:
            break;
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace qm
