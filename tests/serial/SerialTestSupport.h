// Helpers shared by the serial tests: bounded waits that keep the main
// thread's event loop running (handlers arrive there), and a recorder that
// takes the component's error boxes instead of showing them.
#pragma once

#include "Serial4.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTimer>

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace tessaro::test {

// Posted handlers run as soon as they arrive (QTest::qWaitFor would sleep
// 10 ms between rounds); the tick wakes the loop to look at the clock and at
// state that other threads change.
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

// Runs the event loop for a while, to show that something does NOT happen.
inline void settle(int ms) {
    waitUntil([] { return false; }, ms);
}

struct ErrorBoxes {
    std::vector<std::pair<std::string, std::string>> shown; // caption, text
    std::function<void()> onShow; // what the user does while a box is open

    ErrorBoxes() {
        previous = setSerialErrorBox([this](const QString& caption, const QString& text) {
            shown.emplace_back(caption.toStdString(), text.toStdString());
            if (onShow) {
                onShow();
            }
        });
    }
    ~ErrorBoxes() { setSerialErrorBox(previous); }
    ErrorBoxes(const ErrorBoxes&) = delete;
    ErrorBoxes& operator=(const ErrorBoxes&) = delete;

private:
    SerialErrorBox previous;
};

} // namespace tessaro::test
