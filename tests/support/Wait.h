// Waits that keep the main thread's event loop running: the serial
// component's handlers and the window's timers run there.
#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTimer>

#include <functional>

namespace tessaro::test {

// Until `done` holds or the bound passes. Posted handlers run as soon as they
// arrive (QTest::qWaitFor would sleep 10 ms between rounds); the tick wakes the
// loop to look at the clock and at state that other threads change.
inline bool waitUntil(const std::function<bool()>& done, int boundMs = 3000) {
    QDeadlineTimer deadline(boundMs);
    QTimer tick;
    tick.start(5);
    while (!done()) {
        if (deadline.hasExpired()) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

// A fixed stretch of running: to see that something does NOT happen, to count
// what happens in a period, or as a user's pause. Never to wait for something
// to happen: that is waitUntil's job.
inline void runEventLoopFor(int ms) {
    waitUntil([] { return false; }, ms);
}

} // namespace tessaro::test
