#include "app/notes/note_properties.h"

#include <QFile>

#include "app/notes/external_path_change.h"
#include "app/notes/note_session.h"
#include "app/notes/properties_dialog.h"
#include "app/widgets/message_box.h"
#include "app/widgets/reveal_in_file_manager.h"
#include "common/qt_text.h"
#include "store/tree_store.h"

namespace qm {

NoteProperties::NoteProperties(NoteSession* session, QWidget* window)
    : QObject(window), session_(session), window_(window) {
    connect(session_, &NoteSession::noteShown, this, [this] {
        if (dialog_ != nullptr) refill();
    });
}

int NoteProperties::note() const {
    // The editor's note, not the tree's selection: "修改" must act on the body on screen.
    return session_->loadedNote();
}

void NoteProperties::open() {
    if (dialog_ == nullptr) {
        dialog_ = new PropertiesDialog(window_);
        dialog_->setAttribute(Qt::WA_DeleteOnClose);
        connect(dialog_, &PropertiesDialog::changeRequested, this, &NoteProperties::applyPath);
        connect(dialog_, &PropertiesDialog::revealRequested, this,
                [this](const QString& path) { RevealInFileManager(resolve(path)); });
    }
    refill();
    dialog_->show();
    dialog_->raise();
    dialog_->activateWindow();
}

void NoteProperties::refill() {
    TreeStore& store = session_->notebook();
    PathAndTimes times;
    NotePropertiesText text;
    if (note() >= 0 && store.GetPathAndTimes(note(), &times)) {
        text.title = FromGb(store.ReadNode(note(), kFieldTitle));
        text.externalPath = FromGb(times.externalPath);
        text.created = FromGb(times.created);
        text.modified = FromGb(times.modified);
        text.accessed = FromGb(times.accessed);
    }
    dialog_->fill(text);
}

QString NoteProperties::resolve(const QString& path) const {
    if (path.isEmpty()) return {};
    return QFile::decodeName(session_->notebook().ResolvePath(ToGb(path)).c_str());
}

bool NoteProperties::applyPath(const QString& path) {
    const int index = note();
    if (index < 0) return false;
    QWidget* owner = dialog_ != nullptr ? static_cast<QWidget*>(dialog_) : window_;
    // The editor's text goes to the old place first, so that nothing of it is lost and the
    // editor never writes an old body over the newly tied file afterwards.
    session_->saveCurrentNote(true);
    const PathChangeOutcome outcome = ChangeExternalPath(
        session_->notebook(), index, ToGb(path), [owner](const std::string& resolved) {
            const QString text = QStringLiteral(
                                     "文件已存在：\r\n%1\r\n要用这个文件的内容作为笔记内容吗？"
                                     "（选“否”则不作修改）")
                                     .arg(QFile::decodeName(resolved.c_str()));
            return MessageBox::question(owner, text) == QMessageBox::Yes;
        });
    if (outcome == PathChangeOutcome::kCancelled) return false;
    const bool ok = outcome != PathChangeOutcome::kFailed;
    // Reloading shows the body from its new place and refills the dialog from the store, so
    // a failed change shows the path the note still has.
    session_->reloadLoadedNote();
    MessageBox::information(
        owner, QStringLiteral("修改") + (ok ? QStringLiteral("真") : QStringLiteral("假")));
    return ok && outcome == PathChangeOutcome::kChanged;
}

}  // namespace qm
