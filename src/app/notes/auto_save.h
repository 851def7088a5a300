// Automatic saving of the loaded note, so that nothing typed is lost: the text is written
// 2 seconds after the last change, at the latest 2 seconds after the first unsaved change
// (so that typing without a pause is saved too), and at once when the window loses the focus,
// is hidden or minimized. Writes go through NoteSession::saveUnsavedChanges (the rules of a forced
// save, no backup count, the editor left untouched) and only when the text differs from the
// text last loaded or saved; a text of a megabyte or more is saved in the background.
#pragma once

#include <QObject>
#include <QTimer>

class QWidget;

namespace qm {

class NoteSession;

class AutoSave : public QObject {
    Q_OBJECT
public:
    static constexpr int kDelayMs = 2000;

    // Watches the session's editor and `window`; both must outlive this object.
    AutoSave(NoteSession* session, QWidget* window, QObject* parent = nullptr);

    // The quiet time after the last change before the save (tests shorten it).
    void setDelay(int milliseconds) { timer_.setInterval(milliseconds); }
    int delay() const { return timer_.interval(); }
    // The longest an unsaved change waits while changes keep coming (default 2 s).
    void setLongestWait(int milliseconds) { deadline_.setInterval(milliseconds); }
    int longestWait() const { return deadline_.interval(); }
    // A change waits for its save.
    bool pending() const { return timer_.isActive() || deadline_.isActive(); }

    // Saves now when the text has unsaved changes. Returns true when it wrote.
    bool saveNow();

signals:
    // An automatic save wrote the loaded note.
    void saved();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    NoteSession* session_;
    QWidget* window_;
    QTimer timer_;     // the quiet time, started again by every change
    QTimer deadline_;  // started by the first unsaved change only
};

}  // namespace qm
