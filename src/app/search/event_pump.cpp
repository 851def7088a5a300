#include "app/search/event_pump.h"

#include <QCoreApplication>
#include <QThread>

namespace qm {

void EventPump::operator()() {
    if (sinceLast_.isValid() && sinceLast_.elapsed() < intervalMs_) return;
    QCoreApplication::processEvents();
    ++rounds_;
    // Timed from the end of the round, so that a slow round does not make the next one due
    // at once.
    sinceLast_.start();
}

void WaitProcessingEvents(int ms) {
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < ms) {
        QCoreApplication::processEvents();
        QThread::msleep(10);
    }
}

}  // namespace qm
