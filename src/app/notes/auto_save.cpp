#include "app/notes/auto_save.h"

#include <QEvent>
#include <QWidget>

#include "app/notes/note_session.h"
#include "editor/note_editor.h"

namespace qm {

AutoSave::AutoSave(NoteSession* session, QWidget* window, QObject* parent)
    : QObject(parent), session_(session), window_(window) {
    timer_.setSingleShot(true);
    timer_.setInterval(kDelayMs);
    connect(&timer_, &QTimer::timeout, this, &AutoSave::saveNow);
    deadline_.setSingleShot(true);
    deadline_.setInterval(kDelayMs);
    connect(&deadline_, &QTimer::timeout, this, &AutoSave::saveNow);
    // Every change starts the quiet time again; the first one since the last save also starts
    // the longest wait. A note just loaded has nothing to save.
    connect(session_->editor(), &NoteEditor::textModified, this, [this] {
        timer_.start();
        if (!deadline_.isActive()) deadline_.start();
    });
    connect(session_, &NoteSession::noteShown, &timer_, &QTimer::stop);
    connect(session_, &NoteSession::noteShown, &deadline_, &QTimer::stop);
    // A large text is saved in the background; its end is a save as well.
    connect(session_, &NoteSession::backgroundSaved, this, &AutoSave::saved);
    window_->installEventFilter(this);
}

bool AutoSave::saveNow() {
    timer_.stop();
    deadline_.stop();
    if (!session_->saveUnsavedChanges()) return false;
    emit saved();
    return true;
}

bool AutoSave::eventFilter(QObject* watched, QEvent* event) {
    if (watched == window_) {
        switch (event->type()) {
            case QEvent::WindowDeactivate:
            case QEvent::Hide:
                saveNow();
                break;
            case QEvent::WindowStateChange:
                if (window_->isMinimized()) saveNow();
                break;
            default:
                break;
        }
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace qm
