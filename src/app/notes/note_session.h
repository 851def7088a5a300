// The loaded note: which notebook note the editor shows, when the editor text is written back
// to the notebook store, and where a long body lives (in the tree file or in a file of its own
// under "外部存储"). Only the notebook tree drives the editor.
#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace qm {

class BackgroundSave;
class NoteEditor;
class NoteTreeView;
struct NodeRecord;
class SettingsStore;
class TreeStore;

class NoteSession : public QObject {
    Q_OBJECT
public:
    // Bodies longer than this many bytes are kept in a file under "外部存储".
    static constexpr int kExternalThreshold = 102400;

    // All four must outlive the session. Nothing is loaded until showSelectedNote().
    NoteSession(NoteEditor* editor, TreeStore* notebook, NoteTreeView* notebookView,
                SettingsStore* settings, QObject* parent = nullptr);
    ~NoteSession() override;
    NoteSession(const NoteSession&) = delete;
    NoteSession& operator=(const NoteSession&) = delete;

    // Node index of the note in the editor; -1 when none (at start and after a delete).
    int loadedNote() const { return loadedNote_; }
    // The body as last loaded into or saved from the editor (GB18030): the reference for
    // "changed".
    const std::string& loadedText() const { return loadedText_; }

    // The notebook tree's selection changed (also called once at start-up): unless a
    // selectQuietly is pending or a blocker keeps the loaded note, saves the note being left,
    // loads the selected one into the editor and stores "树型框选中项".
    void showSelectedNote();
    // Writes the editor text back into the loaded note. Does nothing without a loaded note, or
    // when the tree still selects it and `force` is false. A changed text is written as the
    // body (moved to or from "外部存储" at the threshold) and counts as a changed save; an
    // unchanged text writes only the selection (fields 9 and 10).
    void saveCurrentNote(bool force);
    // The automatic save: when the editor text differs from the text last loaded or saved,
    // writes it as a forced saveCurrentNote does, but without counting a changed save; the
    // next save of this note by a switch, F12 or closing counts it. Returns true when it
    // wrote. Never touches the editor.
    bool saveUnsavedChanges();
    // The automatic save of a text of a megabyte or more runs in the background (the user goes
    // on typing): saveUnsavedChanges starts it and returns false; backgroundSaved follows when
    // the note holds the text. Every other save, load or forget waits for it first.
    void waitForBackgroundSave();
    // Selects `item` in the notebook tree without saving or loading anything for that one
    // selection change. Returns false and changes nothing when the item does not exist.
    bool selectQuietly(int item);
    // Reads the loaded note from the store into the editor again without saving the editor's
    // text (after its body file changed under it). Does nothing without a loaded note.
    void reloadLoadedNote();
    // The loaded note is gone (deleted): loaded note = -1, nothing is saved for it.
    void forgetLoadedNote();
    // Before the loaded note leaves the notebook: a body of a megabyte or more still kept in
    // its record goes into a file of its own (on a worker), so that the move carries a short
    // record instead of copying and logging the whole body while the window waits. Unsaved
    // editor changes are not written. Returns true when the body is in a file afterwards.
    bool moveLoadedBodyToFile();

    // While held, the editor shows something other than the note (automatic typing plays it
    // back): saves leave the stored note as it is, since it already holds the full text.
    void setTextHeld(bool held) { textHeld_ = held; }
    bool textHeld() const { return textHeld_; }

    // A check run before a user selection change is handled. Returning true keeps the loaded
    // note selected (reselected quietly); when the check also sets *warning, that text is shown
    // in a warning box.
    using SelectionBlocker = std::function<bool(QString* warning)>;
    void addSelectionBlocker(SelectionBlocker blocker);

    // True while a note is laid into the editor or a large text is saved off the window's
    // thread (the window answers meanwhile): saves asked for then are skipped (the text they
    // would write is the one being loaded or saved) and a selection change waits for the end.
    bool busy() const { return busy_; }

    NoteEditor* editor() const { return editor_; }
    TreeStore& notebook() const { return *notebook_; }

    // Called after every save that changed a note's text (the save counter of the backups).
    void setChangedSaveHandler(std::function<void()> handler);

    // A new name "外部存储\" + eight characters from A-Z and 0-9 + ".txt" (GB18030).
    static std::string NewExternalName();

signals:
    // The selected item's path belongs in the path bar (before the note being left is saved).
    void pathShowRequested(int index);
    // Note `index` is about to replace the editor text (link styling restyles in full then).
    void noteLoading(int index);
    // Note `index` was loaded into the editor.
    void noteShown(int index);
    // A background save has written the loaded note.
    void backgroundSaved();

private:
    // F12 released in the editor: forced save, then the beep.
    void onEditorKeyReleased(int key);
    bool blocked();
    // Writes a long body into the body file `path` on a worker while the window paints and
    // answers timers (user input waits). False when the file could not be written.
    bool writeBodyFile(const std::string& path, const std::string& text);
    // Writes `text` (differing from loadedText_) into the loaded note as a changed save.
    // False, with "笔记保存失败！" shown once per run of failures, when the store refuses.
    // `changes` is the editor's change count when `text` was read.
    bool writeChangedText(std::string text, unsigned long changes);
    // The editor text when it differs from loadedText_, with the editor's change count at the
    // time it was read; nullopt when it is the same. A large text is converted and compared
    // off the window's thread.
    std::optional<std::string> changedText(unsigned long* changes);
    // Reads the loaded note's record, and its body into loadedText_ (a body file on a worker).
    NodeRecord readLoadedNote();
    // Starts the background save of the editor text; false when it cannot run there (the body
    // stays in the record: a Windows drive path).
    bool startBackgroundSave();
    void onBackgroundSaved();
    // Puts loadedText_ into the editor (a new document) with the saved selection.
    void showLoadedText(const NodeRecord& record);

    NoteEditor* editor_;
    TreeStore* notebook_;
    NoteTreeView* view_;
    SettingsStore* settings_;
    int loadedNote_ = -1;
    std::string loadedText_;
    bool uncounted_ = false;  // an automatic save changed the loaded note; not yet counted
    bool failureShown_ = false;
    bool suppressNext_ = false;
    bool textHeld_ = false;
    bool busy_ = false;
    // The editor's change count when its text last equalled loadedText_: while it stays the
    // same, a save need not read the text to know it is unchanged.
    unsigned long savedChanges_ = 0;
    unsigned long loadedGeneration_ = 0;  // grows whenever loadedText_ changes
    BackgroundSave* background_;
    bool backgroundNewPath_ = false;  // the running job writes a file no record names yet
    bool saveAgain_ = false;          // an automatic save was asked for while one ran
    std::vector<SelectionBlocker> blockers_;
    std::function<void()> changedSaveHandler_;
};

}  // namespace qm
