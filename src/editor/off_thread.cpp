#include "editor/off_thread.h"

#include <QCursor>
#include <QEventLoop>
#include <QGuiApplication>
#include <QThread>
#include <memory>

namespace qm {

void RunOffThread(const std::function<void()>& work) {
    QEventLoop loop;
    const std::unique_ptr<QThread> thread(QThread::create(work));
    // Queued, so a worker that ends before the loop runs still ends it.
    QObject::connect(thread.get(), &QThread::finished, &loop, &QEventLoop::quit,
                     Qt::QueuedConnection);
    thread->start();
    // The pointer tells why clicks and keys wait.
    QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    QGuiApplication::restoreOverrideCursor();
    thread->wait();
}

}  // namespace qm
