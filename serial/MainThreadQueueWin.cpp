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
    if (!m_wakeEvent)
        throw std::system_error(static_cast<int>(::GetLastError()), std::system_category(),
                                "CreateEvent");
    m_notifier = new QWinEventNotifier(m_wakeEvent, this);
    connect(m_notifier, &QWinEventNotifier::activated, this, &MainThreadQueue::runNext);
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
