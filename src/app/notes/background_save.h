// The automatic save of a large note, off the window's thread: a copy of the editor text
// (UTF-8) is converted to GB18030, compared with the text last saved and, when it differs,
// written into the note's body file, while the user goes on typing. The session updates the
// record when it is told the job is done.
#pragma once

#include <QObject>
#include <memory>
#include <string>

class QThread;

namespace qm {

class TreeStore;

class BackgroundSave : public QObject {
    Q_OBJECT
public:
    struct Job {
        int note = -1;
        unsigned long changes = 0;     // the editor's change count of the copy
        unsigned long generation = 0;  // of the session's saved text the copy is compared with
        std::string utf8;              // the editor text
        std::string reference;         // the text last loaded or saved (GB18030)
        std::string path;              // the body file's stored path
    };
    struct Outcome {
        int note = -1;
        unsigned long changes = 0;
        unsigned long generation = 0;
        std::string path;
        std::string text;  // the converted text (empty when it equals the reference)
        bool same = false;
        bool written = false;  // the file holds `text`
    };

    // `store` resolves and writes the body file (WriteExternalFile); it must outlive this object.
    explicit BackgroundSave(const TreeStore* store, QObject* parent = nullptr);
    // Waits for a job still running.
    ~BackgroundSave() override;
    BackgroundSave(const BackgroundSave&) = delete;
    BackgroundSave& operator=(const BackgroundSave&) = delete;

    bool running() const { return thread_ != nullptr; }
    // Starts `job` on a worker. Does nothing (returns false) while another one runs.
    bool start(Job job);
    // Returns when no job runs any more and `finished` has been delivered; the window answers
    // meanwhile, user input waits.
    void wait();

    // What the job that ended last found and wrote (moved out).
    Outcome takeOutcome() { return std::move(outcome_); }

signals:
    // A job is done: takeOutcome() tells what it found and wrote.
    void finished();

private:
    void onThreadFinished();

    const TreeStore* store_;
    QThread* thread_ = nullptr;
    std::shared_ptr<Job> job_;
    std::shared_ptr<Outcome> result_;  // filled by the worker
    Outcome outcome_;                  // the last result, once the worker is gone
};

}  // namespace qm
