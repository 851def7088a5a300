// Keeps the user told about files that cannot be written: one message per failure episode
// (the file and the system's reason), a mark in the window caption while changes exist only
// in memory, retries every few seconds, the question at the end of the program while changes
// are still only in memory, and the notices about tree files that opened without writing.
#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <vector>

class QWidget;

namespace qm {

class SettingsStore;
class TreeStore;
struct WriteError;

class WriteFailureWatch : public QObject {
    Q_OBJECT
public:
    static constexpr int kRetryMs = 3000;
    // Added to the caption while changes exist only in memory.
    static const char* const kUnsavedMark;
    // Added while a tree file opened without writing (another program holds it, read-only).
    static const char* const kReadOnlyMark;

    // A tree store and the name the user knows it by ("笔记本").
    struct Tree {
        TreeStore* store;
        QString name;
    };

    // Watches the stores and the settings (all must outlive this object); `window` carries the
    // caption mark and parents the messages.
    WriteFailureWatch(std::vector<Tree> trees, SettingsStore* settings, QWidget* window,
                      QObject* parent = nullptr);

    void setRetryInterval(int milliseconds) { timer_.setInterval(milliseconds); }

    // After the tree files were opened: a file that exists but cannot be read is reported and
    // false returned (the program must end without touching it); a file that opened without
    // writing gets a notice that changes made here cannot be saved.
    bool reportOpenProblems();

    // Tries every failing file again now; true when nothing is failing any more.
    bool retryNow();
    // Some tree store holds changes that exist only in memory.
    bool unsaved() const;
    // Some file (tree or settings) is failing to be written.
    bool failing() const;

    // Before the program ends: true when it may end. While changes exist only in memory it
    // asks: try again, save a copy of the tree files to a folder the user chooses, quit and
    // lose them, or go back to the program (false).
    bool confirmEnd();
    // The same end with nobody to ask (a shutdown signal, the session ending): tries again, and
    // while changes still exist only in memory writes copies into the first of `folders` that
    // takes them. Returns the folder used, empty when none was needed or none took them.
    QString endUnattended(const QStringList& folders);

    // Looks at every file now: a message for each new failure episode, the caption mark.
    void check();

    // A backup copy could not be written: told at once (each backup is its own episode; the
    // notebook itself is not affected).
    void reportBackupFailure(const WriteError& error);

    // Writes a copy of every tree store with unsaved changes into `folder` (named after its
    // file); false with a message text when one cannot be written.
    bool saveCopies(const QString& folder, QString* error) const;

private:
    // A new failure of one file: shown once, until the file can be written again.
    void report(const QString& name, const WriteError& error, bool unsaved);
    void updateCaption();

    std::vector<Tree> trees_;
    SettingsStore* settings_;
    QWidget* window_;
    QTimer timer_;
    std::vector<bool> treeEpisodes_;  // a message was shown for the tree's current failure
    bool settingsEpisode_ = false;
    bool checking_ = false;
    bool checkPosted_ = false;
    bool endConfirmed_ = false;
};

// The system's reason for an errno value as the messages show it.
QString ReasonText(const WriteError& error);

}  // namespace qm
