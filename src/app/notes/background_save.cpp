#include "app/notes/background_save.h"

#include <QEventLoop>
#include <QThread>

#include "common/charset.h"
#include "store/tree_store.h"

namespace qm {

BackgroundSave::BackgroundSave(const TreeStore* store, QObject* parent)
    : QObject(parent), store_(store) {}

BackgroundSave::~BackgroundSave() {
    if (thread_ == nullptr) return;
    thread_->wait();
    delete thread_;
}

bool BackgroundSave::start(Job job) {
    if (running()) return false;
    job_ = std::make_shared<Job>(std::move(job));
    result_ = std::make_shared<Outcome>();
    // The worker owns nothing of the window: the job, the outcome and a store call that only
    // writes a file.
    thread_ = QThread::create([store = store_, job = job_, outcome = result_] {
        outcome->note = job->note;
        outcome->changes = job->changes;
        outcome->generation = job->generation;
        outcome->path = job->path;
        std::string text = Utf8ToGb18030(job->utf8);
        job->utf8.clear();
        job->utf8.shrink_to_fit();
        outcome->same = text == job->reference;
        if (!outcome->same) {
            outcome->written = store->WriteExternalFile(job->path, text);
            outcome->text = std::move(text);
        }
    });
    connect(thread_, &QThread::finished, this, &BackgroundSave::onThreadFinished);
    thread_->start(QThread::LowPriority);
    return true;
}

void BackgroundSave::onThreadFinished() {
    if (thread_ == nullptr) return;
    thread_->wait();
    delete thread_;
    thread_ = nullptr;
    job_.reset();
    outcome_ = std::move(*result_);
    result_.reset();
    emit finished();
}

void BackgroundSave::wait() {
    if (!running()) return;
    QEventLoop loop;
    connect(this, &BackgroundSave::finished, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
}

}  // namespace qm
