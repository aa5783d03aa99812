// The wake-up of MainThreadQueue on Windows: an auto-reset event object.
#include "MainThreadQueue.h"

#include <QWinEventNotifier>

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <system_error>

namespace tessaro {

MainThreadQueue::MainThreadQueue(QObject* parent) : QObject(parent) {
    m_wakeEvent = ::CreateEventA(nullptr, FALSE, FALSE, nullptr);
    if (!m_wakeEvent) {
        throw std::system_error(static_cast<int>(::GetLastError()), std::system_category(),
                                "CreateEvent");
    }
    m_notifier = new QWinEventNotifier(m_wakeEvent, this);
    // Queued: the notifier renews its wait only after its signal returns, so a
    // handler that throws out of a direct call would leave it deaf for good.
    connect(m_notifier, &QWinEventNotifier::activated, this, [this] {
        QMetaObject::invokeMethod(this, &MainThreadQueue::runNext, Qt::QueuedConnection);
    });
}

MainThreadQueue::~MainThreadQueue() {
    delete m_notifier;
    ::CloseHandle(m_wakeEvent);
}

void MainThreadQueue::wake() {
    ::SetEvent(m_wakeEvent);
}

// The notifier's wait has already reset the auto-reset event.
void MainThreadQueue::clearWake() {}

} // namespace tessaro
