#include "editor/off_thread.h"

#include <QCursor>
#include <QEventLoop>
#include <QGuiApplication>
#include <QThread>
#include <memory>

namespace qm {

namespace {

// Runs `work` on a new thread while the window's events of `flags` are processed; returns when
// it has finished.
void RunAndProcess(const std::function<void()>& work, QEventLoop::ProcessEventsFlags flags) {
    QEventLoop loop;
    const std::unique_ptr<QThread> thread(QThread::create(work));
    // Queued, so a worker that ends before the loop runs still ends it.
    QObject::connect(thread.get(), &QThread::finished, &loop, &QEventLoop::quit,
                     Qt::QueuedConnection);
    thread->start();
    loop.exec(flags);
    thread->wait();
}

}  // namespace

void RunOffThread(const std::function<void()>& work, bool answerTimers) {
    // The pointer tells why clicks and keys wait.
    QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    QEventLoop::ProcessEventsFlags flags = QEventLoop::ExcludeUserInputEvents;
    if (!answerTimers) flags |= QEventLoop::X11ExcludeTimers;  // honoured on every Unix dispatcher
    RunAndProcess(work, flags);
    QGuiApplication::restoreOverrideCursor();
}

void RunOffThreadAnsweringInput(const std::function<void()>& work) {
    RunAndProcess(work, QEventLoop::AllEvents);
}

}  // namespace qm
