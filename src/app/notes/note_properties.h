// "属性": the properties dialog of the loaded note, made on first use, refilled on every note
// load while it is open, and the "修改" and ".." commands behind it.
#pragma once

#include <QObject>
#include <QPointer>

#include "app/notes/properties_dialog.h"

class QWidget;

namespace qm {

class NoteSession;

class NoteProperties : public QObject {
    Q_OBJECT
public:
    // `session` must outlive this object; the dialog is owned by `window`.
    NoteProperties(NoteSession* session, QWidget* window);

    // Opens the dialog (or refills the open one) for the loaded note.
    void open();
    // The open dialog; nullptr after "关闭" or before the first "属性".
    PropertiesDialog* dialog() const { return dialog_; }

    // "修改" with `path` (as typed): saves the loaded note, ties it to the path under the
    // store's rules (an existing file is asked about), reloads it and tells the result as
    // "修改真" or "修改假". Returns false when nothing changed.
    bool applyPath(const QString& path);
    // The file-system path of a path as typed or stored (relative to the program folder).
    QString resolve(const QString& path) const;

private:
    // The note the dialog is about: the loaded note, or the selection when none is loaded.
    int note() const;
    void refill();

    NoteSession* session_;
    QWidget* window_;
    QPointer<PropertiesDialog> dialog_;
};

}  // namespace qm
