// Brings the tree files up to date from their edit logs without stopping the window: a
// checkpoint starts on a worker thread when a store's log is past its limit or has been quiet
// for a few seconds; before a backup copies the notebook file the checkpoint runs at once.
// (A clean close checkpoints in the store itself; checkpointBeforeEnd leaves it nothing to do.)
#pragma once

#include <QObject>
#include <QTimer>
#include <cstdint>
#include <memory>
#include <vector>

class QThread;

namespace qm {

class TreeStore;

class CheckpointScheduler : public QObject {
    Q_OBJECT
public:
    // The stores must outlive this object's use of them (its timer and checkpointNow).
    CheckpointScheduler(std::vector<TreeStore*> stores, QObject* parent = nullptr);
    // Waits for a checkpoint still running.
    ~CheckpointScheduler() override;

    // How long a log must stay unchanged before it is checkpointed (default 3 s).
    void setIdleDelay(int milliseconds) { idleDelay_ = milliseconds; }

    // Starts a background checkpoint of the first store with logged edits, if none runs.
    // Returns whether one was started.
    bool startNow();
    // Waits for a running checkpoint, then checkpoints every store on this thread. True when
    // every file holds its image.
    bool checkpointNow();
    // The same at the end of the program, with the window answering meanwhile: the running
    // checkpoint is waited for and each store is checkpointed on a worker (writing a large
    // notebook takes seconds). No checkpoint starts by itself afterwards.
    bool checkpointBeforeEnd();
    bool running() const { return worker_ != nullptr; }

signals:
    // A background checkpoint ended (ok: the file now holds the snapshot).
    void checkpointFinished(bool ok);

private:
    void tick();
    bool start(TreeStore* store);
    void waitForWorker();

    struct Watch {
        TreeStore* store;
        uint64_t lastLogSize = 0;
        qint64 quietSince = 0;  // ms since the epoch when the log last changed
    };
    std::vector<Watch> watches_;
    QTimer timer_;
    QThread* worker_ = nullptr;
    int generation_ = 0;  // of the worker, so a late finish of a deleted one is ignored
    int idleDelay_ = 3000;
};

}  // namespace qm
