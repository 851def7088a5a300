// Keeping the window responsive inside a long loop on the user-interface thread: the loop
// calls an EventPump at its fixed points, and waits go in 10 ms steps with events between.
#pragma once

#include <QElapsedTimer>

namespace qm {

// Processes the pending window events when called, but at most once per interval: a body
// search calls it before each of 100,000 notes, and handling events that often would cost
// more than the search itself. The first call always processes events.
class EventPump {
public:
    explicit EventPump(int intervalMs = 10) : intervalMs_(intervalMs) {}

    void operator()();

    // How many times events were processed so far.
    int rounds() const { return rounds_; }

private:
    int intervalMs_;
    int rounds_ = 0;
    QElapsedTimer sinceLast_;
};

// Waits `ms` milliseconds in sleeps of 10 ms, processing pending events before each sleep.
void WaitProcessingEvents(int ms);

}  // namespace qm
