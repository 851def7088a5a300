#include "app/widgets/file_dialog.h"

#include <QFileDialog>
#include <QQueue>

namespace qm {

namespace {

struct TestState {
    QQueue<QString> names;
    int answered = 0;
};

TestState& State() {
    static TestState state;
    return state;
}

// Takes the queued answer, if any.
bool TakeQueued(QString* name) {
    TestState& state = State();
    if (state.names.isEmpty()) return false;
    *name = state.names.dequeue();
    ++state.answered;
    return true;
}

}  // namespace

QString FileDialog::getSaveFileName(QWidget* parent, const QString& caption,
                                    const QString& startPath, const QString& filter) {
    QString name;
    if (TakeQueued(&name)) return name;
    return QFileDialog::getSaveFileName(parent, caption, startPath, filter);
}

QString FileDialog::getExistingDirectory(QWidget* parent, const QString& caption,
                                         const QString& startFolder) {
    QString name;
    if (TakeQueued(&name)) return name;
    // Qt's own dialog: it has the edit field for a typed path on every desktop.
    return QFileDialog::getExistingDirectory(parent, caption, startFolder,
                                             QFileDialog::DontUseNativeDialog);
}

void FileDialog::setNextFileName(const QString& name) { State().names.enqueue(name); }

int FileDialog::answeredCount() { return State().answered; }

void FileDialog::reset() {
    State().names.clear();
    State().answered = 0;
}

}  // namespace qm
