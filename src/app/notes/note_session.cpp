#include "app/notes/note_session.h"

#include <QApplication>
#include <QPointer>
#include <QTimer>

#include "app/notes/background_save.h"
#include "app/trees/note_tree_view.h"
#include "app/widgets/message_box.h"
#include "app/widgets/settings_adapters.h"
#include "common/charset.h"
#include "editor/note_editor.h"
#include "editor/off_thread.h"
#include "settings/settings_keys.h"
#include "settings/settings_store.h"
#include "store/external_file.h"
#include "store/tree_store.h"

namespace qm {

namespace {

// "外部存储\" in GB18030: the prefix of the names this class gives to long bodies.
const std::string& ExternalPrefix() {
    static const std::string prefix = settings::Gb("外部存储\\");
    return prefix;
}

bool IsOwnExternalPath(const std::string& path) {
    return path.compare(0, ExternalPrefix().size(), ExternalPrefix()) == 0;
}

// Marks the session busy for the scope's life (scopes nest).
class BusyScope {
public:
    explicit BusyScope(bool* busy) : busy_(busy), was_(*busy) { *busy_ = true; }
    ~BusyScope() { *busy_ = was_; }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    bool* busy_;
    bool was_;
};

}  // namespace

NoteSession::NoteSession(NoteEditor* editor, TreeStore* notebook, NoteTreeView* notebookView,
                         SettingsStore* settings, QObject* parent)
    : QObject(parent),
      editor_(editor),
      notebook_(notebook),
      view_(notebookView),
      settings_(settings),
      background_(new BackgroundSave(notebook, this)) {
    connect(editor_, &NoteEditor::keyReleased, this, &NoteSession::onEditorKeyReleased);
    connect(background_, &BackgroundSave::finished, this, &NoteSession::onBackgroundSaved);
    // A note of hundreds of megabytes kept in its record is copied out and its record rebuilt
    // (accessed time, selection) on a worker while the window paints; its timers wait, as
    // they use the store.
    // The store may outlive this session while the window is torn down (and the session may
    // outlive the store): after the session the work runs where it is asked for.
    notebook_->SetLongWorkRunner(
        [session = QPointer<NoteSession>(this)](const std::function<void()>& work) {
            if (session == nullptr) {
                work();
                return;
            }
            const BusyScope busy(&session->busy_);
            RunOffThread(work, false);
        });
}

NoteSession::~NoteSession() = default;

std::string NoteSession::NewExternalName() { return qm::NewExternalName(); }

void NoteSession::addSelectionBlocker(SelectionBlocker blocker) {
    blockers_.push_back(std::move(blocker));
}

void NoteSession::setChangedSaveHandler(std::function<void()> handler) {
    changedSaveHandler_ = std::move(handler);
}

bool NoteSession::selectQuietly(int item) {
    if (view_->selectedNode() == item) return true;  // no selection change would follow
    suppressNext_ = true;
    const bool selected = view_->selectNode(item);
    // The view reports the change synchronously; a flag still set here met no change and must
    // not swallow the user's next click.
    suppressNext_ = false;
    return selected;
}

void NoteSession::forgetLoadedNote() {
    waitForBackgroundSave();
    loadedNote_ = -1;
    uncounted_ = false;
}

bool NoteSession::moveLoadedBodyToFile() {
    if (loadedNote_ < 0 || busy_) return false;
    waitForBackgroundSave();
    if (loadedText_.size() < kOffThreadBytes) return false;
    // loadedText_ is the record's body as long as the record names no file.
    if (!notebook_->GetField(loadedNote_, kFieldExternalPath).empty()) return false;
    const std::string path = NewExternalName();
    if (!writeBodyFile(path, loadedText_)) return false;  // the record keeps the body
    NodeFields fields;
    fields.body = std::string();
    fields.bodyInFile = true;
    fields.externalPath = path;
    return notebook_->UpdateNode(loadedNote_, fields);
}

bool NoteSession::blocked() {
    for (const SelectionBlocker& blocker : blockers_) {
        QString warning;
        if (!blocker(&warning)) continue;
        selectQuietly(loadedNote_);
        if (!warning.isEmpty()) MessageBox::warning(view_->window(), warning);
        return true;
    }
    return false;
}

void NoteSession::showSelectedNote() {
    if (suppressNext_) {
        suppressNext_ = false;
        return;
    }
    if (busy_) {
        // Selected by the program while a large text is loaded or saved: handled after it.
        QTimer::singleShot(0, this, &NoteSession::showSelectedNote);
        return;
    }
    const int selected = view_->selectedNode();
    if (selected < 0) return;  // a cleared view has nothing to show
    if (blocked()) return;

    emit pathShowRequested(selected);
    saveCurrentNote(false);   // the note being left; the tree already selects the new one
    waitForBackgroundSave();  // (when the save above had nothing to do)

    loadedNote_ = selected;
    uncounted_ = false;
    const NodeRecord record = readLoadedNote();
    showLoadedText(record);

    UseMainSection(*settings_);
    settings::Write(*settings_, settings::kSelectedTreeItem, selected);
}

void NoteSession::reloadLoadedNote() {
    if (loadedNote_ < 0) return;
    if (busy_) return;
    waitForBackgroundSave();
    const NodeRecord record = readLoadedNote();
    showLoadedText(record);
}

NodeRecord NoteSession::readLoadedNote() {
    ++loadedGeneration_;
    NodeRecord record;
    notebook_->ReadNode(loadedNote_, 0, &record, true, true);
    if (record.bodyFile.empty()) {
        loadedText_ = std::move(record.body);
    } else {
        // A body file may hold hundreds of megabytes: read and decoded on a worker.
        const BusyScope busy(&busy_);
        std::string text;
        RunOffThread(
            [this, &record, &text] { text = notebook_->ReadExternalFile(record.bodyFile); });
        loadedText_ = std::move(text);
    }
    return record;
}

void NoteSession::showLoadedText(const NodeRecord& record) {
    emit noteLoading(loadedNote_);
    {
        const BusyScope busy(&busy_);
        editor_->loadText(loadedText_);
    }
    savedChanges_ = editor_->changeCount();
    editor_->showRange(record.selStart, record.selLength);
    emit noteShown(loadedNote_);
}

void NoteSession::saveCurrentNote(bool force) {
    if (loadedNote_ < 0 || busy_) return;
    waitForBackgroundSave();
    if (textHeld_) return;  // the editor holds part of the note; the store holds all of it
    if (view_->selectedNode() == loadedNote_ && !force) return;
    if (busy_) return;  // the text is being loaded or saved right now

    unsigned long changes = 0;
    std::optional<std::string> text = changedText(&changes);
    if (!text) {
        notebook_->SetField(loadedNote_, kFieldSelStart, std::to_string(editor_->selectionStart()));
        notebook_->SetField(loadedNote_, kFieldSelLength,
                            std::to_string(editor_->selectionLength()));
    } else {
        writeChangedText(std::move(*text), changes);
    }
    // Changes an automatic save already wrote count here, as if this save had written them.
    if (uncounted_) {
        uncounted_ = false;
        if (changedSaveHandler_) changedSaveHandler_();
    }
}

bool NoteSession::saveUnsavedChanges() {
    if (loadedNote_ < 0 || textHeld_ || busy_) return false;
    if (background_->running()) {
        saveAgain_ = true;  // started again when the running one ends
        return false;
    }
    if (editor_->changeCount() == savedChanges_) return false;
    if (static_cast<size_t>(editor_->textLength()) >= kOffThreadBytes && startBackgroundSave()) {
        return false;
    }
    unsigned long changes = 0;
    std::optional<std::string> text = changedText(&changes);
    if (!text) return false;
    return writeChangedText(std::move(*text), changes);
}

void NoteSession::waitForBackgroundSave() {
    if (!background_->running()) return;
    const BusyScope busy(&busy_);
    background_->wait();
}

bool NoteSession::startBackgroundSave() {
    std::string path = notebook_->GetField(loadedNote_, kFieldExternalPath);
    const bool newPath = path.empty();
    if (newPath) path = NewExternalName();
    if (IsDrivePath(path)) return false;
    BackgroundSave::Job job;
    job.note = loadedNote_;
    job.changes = editor_->changeCount();
    job.generation = loadedGeneration_;
    {
        // The copies the worker goes on from (the typing may change the editor text meanwhile)
        // are made on a worker too: hundreds of megabytes of them held the window for a second.
        // User input waits only for the copying.
        const std::string_view utf8 = editor_->textUtf8View();
        const BusyScope busy(&busy_);
        RunOffThread(
            [&] {
                job.utf8.assign(utf8);
                job.reference = loadedText_;
            },
            false);
    }
    job.path = path;
    if (!background_->start(std::move(job))) return false;
    backgroundNewPath_ = newPath;
    return true;
}

void NoteSession::onBackgroundSaved() {
    BackgroundSave::Outcome outcome = background_->takeOutcome();
    // The result counts only for the note and the text it started from, and while the record
    // still names the file it wrote (the properties dialog may have changed it meanwhile).
    bool current = outcome.note == loadedNote_ && outcome.generation == loadedGeneration_;
    if (current) {
        const std::string stored = notebook_->GetField(loadedNote_, kFieldExternalPath);
        current = stored == outcome.path || (backgroundNewPath_ && stored.empty());
    }
    if (!current) {
        if (outcome.written && backgroundNewPath_) {
            RemoveFile(notebook_->ResolvePath(outcome.path));  // no record names it
        }
        return;
    }
    if (outcome.same) {
        savedChanges_ = outcome.changes;
    } else if (outcome.written) {
        // A file that could not be written is left to the next save, which goes through the
        // store and reports the failure.
        NodeFields fields;
        fields.body = std::string();
        fields.bodyInFile = true;
        fields.externalPath = outcome.path;
        fields.selStart = editor_->selectionStart();
        fields.selLength = editor_->selectionLength();
        if (notebook_->UpdateNode(loadedNote_, fields)) {
            loadedText_ = std::move(outcome.text);
            ++loadedGeneration_;
            savedChanges_ = outcome.changes;
            uncounted_ = true;
            emit backgroundSaved();
        }
    }
    if (saveAgain_) {
        saveAgain_ = false;
        saveUnsavedChanges();
    }
}

std::optional<std::string> NoteSession::changedText(unsigned long* changes) {
    *changes = editor_->changeCount();
    if (*changes == savedChanges_) return std::nullopt;
    std::string text;
    bool same = false;
    if (static_cast<size_t>(editor_->textLength()) < kOffThreadBytes) {
        text = editor_->getText();
        same = text == loadedText_;
    } else {
        // User input waits meanwhile, so the editor text and loadedText_ stay as they are: the
        // worker reads the document in place instead of a copy made here.
        const std::string_view utf8 = editor_->textUtf8View();
        const BusyScope busy(&busy_);
        RunOffThread(
            [&] {
                text = Utf8ToGb18030(utf8);
                same = text == loadedText_;
            },
            false);
    }
    if (same) {
        savedChanges_ = *changes;
        return std::nullopt;
    }
    return text;
}

bool NoteSession::writeBodyFile(const std::string& path, const std::string& text) {
    const BusyScope busy(&busy_);
    bool written = false;
    RunOffThread([&] { written = notebook_->WriteExternalFile(path, text); });
    return written;
}

bool NoteSession::writeChangedText(std::string text, unsigned long changes) {
    std::string path = notebook_->GetField(loadedNote_, kFieldExternalPath);
    // Only names of our own making move; a file the user chose keeps the body at any length.
    if (text.size() <= static_cast<size_t>(kExternalThreshold)) {
        if (IsOwnExternalPath(path)) path.clear();
    } else if (path.empty()) {
        path = NewExternalName();
    }

    NodeFields fields;
    if (text.size() >= kOffThreadBytes && !path.empty()) {
        // A large body goes into its file first; the record is updated here after it.
        fields.bodyInFile = writeBodyFile(path, text);
    }
    // A body the worker could not write is written (and its failure handled) by the store.
    fields.body = fields.bodyInFile ? std::string() : text;
    fields.externalPath = path;
    fields.selStart = editor_->selectionStart();
    fields.selLength = editor_->selectionLength();
    if (!notebook_->UpdateNode(loadedNote_, fields)) {
        // The text stays unsaved (a later save tries again); told once until a write succeeds.
        if (!failureShown_) {
            failureShown_ = true;
            MessageBox::warning(view_->window(), QStringLiteral("笔记保存失败！"));
        }
        return false;
    }
    failureShown_ = false;
    loadedText_ = std::move(text);
    ++loadedGeneration_;
    savedChanges_ = changes;
    uncounted_ = true;
    return true;
}

void NoteSession::onEditorKeyReleased(int key) {
    if (key != Qt::Key_F12) return;
    saveCurrentNote(true);
    QApplication::beep();  // the audible confirmation of the save
}

}  // namespace qm
