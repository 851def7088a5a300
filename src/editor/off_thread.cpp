#include "editor/off_thread.h"

#include <QCursor>
#include <QEventLoop>
#include <QGuiApplication>
#include <QThread>
#include <memory>

namespace qm {

void RunOffThread(const std::function<void()>& work, bool answerTimers) {
    QEventLoop loop;
    const std::unique_ptr<QThread> thread(QThread::create(work));
    // Queued, so a worker that ends before the loop runs still ends it.
    QObject::connect(thread.get(), &QThread::finished, &loop, &QEventLoop::quit,
                     Qt::QueuedConnection);
    thread->start();
    // The pointer tells why clicks and keys wait.
    QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    QEventLoop::ProcessEventsFlags flags = QEventLoop::ExcludeUserInputEvents;
    if (!answerTimers) flags |= QEventLoop::X11ExcludeTimers;  // honoured on every Unix dispatcher
    loop.exec(flags);
    QGuiApplication::restoreOverrideCursor();
    thread->wait();
}

void RunOffThreadAnsweringInput(const std::function<void()>& work) {
    QEventLoop loop;
    const std::unique_ptr<QThread> thread(QThread::create(work));
    QObject::connect(thread.get(), &QThread::finished, &loop, &QEventLoop::quit,
                     Qt::QueuedConnection);
    thread->start();
    loop.exec();
    thread->wait();
}

}  // namespace qm
