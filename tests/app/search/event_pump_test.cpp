// The event pump of long loops: events are handled on the first call and then at most once
// per interval; a wait handles events while it lasts.
#include "app/search/event_pump.h"

#include <QElapsedTimer>
#include <QtTest>

class EventPumpTest : public QObject {
    Q_OBJECT
private slots:
    void handlesEventsAtMostOncePerInterval_data();
    void handlesEventsAtMostOncePerInterval();
    void waitHandlesEventsWhileItLasts();

private:
    // Posts an event that counts itself when handled.
    void post() {
        QMetaObject::invokeMethod(
            this, [this] { ++handled_; }, Qt::QueuedConnection);
    }
    int handled_ = 0;
};

void EventPumpTest::handlesEventsAtMostOncePerInterval_data() {
    QTest::addColumn<int>("intervalMs");
    QTest::addColumn<int>("secondCallHandles");  // events handled by a call right after the first
    QTest::newRow("every call") << 0 << 1;
    QTest::newRow("a long interval") << 60000 << 0;
}

void EventPumpTest::handlesEventsAtMostOncePerInterval() {
    QFETCH(int, intervalMs);
    QFETCH(int, secondCallHandles);
    handled_ = 0;
    QCoreApplication::processEvents();
    qm::EventPump pump(intervalMs);
    post();
    pump();
    QCOMPARE(handled_, 1);  // the first call always handles events
    QCOMPARE(pump.rounds(), 1);
    post();
    pump();
    QCOMPARE(handled_, 1 + secondCallHandles);
    QCOMPARE(pump.rounds(), 1 + secondCallHandles);
    QCoreApplication::processEvents();  // leaves nothing behind for the next row
}

void EventPumpTest::waitHandlesEventsWhileItLasts() {
    handled_ = 0;
    QTimer::singleShot(20, this, [this] { ++handled_; });
    post();
    QElapsedTimer clock;
    clock.start();
    qm::WaitProcessingEvents(100);
    QVERIFY(clock.elapsed() >= 100);
    QCOMPARE(handled_, 2);  // the posted event and the timer that fell due in the wait
}

QTEST_GUILESS_MAIN(EventPumpTest)
#include "event_pump_test.moc"
