#include "MainThreadQueue.h"

#ifndef _WIN32
#include <QSocketNotifier>

#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>
#include <system_error>
#endif

namespace tessaro {

#ifndef _WIN32
MainThreadQueue::MainThreadQueue(QObject* parent) : QObject(parent) {
    m_wakefd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (m_wakefd < 0) {
        throw std::system_error(errno, std::system_category(), "eventfd");
    }
    m_notifier = new QSocketNotifier(m_wakefd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &MainThreadQueue::runNext);
}

MainThreadQueue::~MainThreadQueue() {
    delete m_notifier;
    ::close(m_wakefd);
}

void MainThreadQueue::wake() {
    const std::uint64_t one = 1;
    (void)::write(m_wakefd, &one, sizeof one);
}

void MainThreadQueue::clearWake() {
    std::uint64_t count = 0;
    (void)::read(m_wakefd, &count, sizeof count);
}
#endif

void MainThreadQueue::post(std::function<void()> call) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_calls.push_back(std::move(call));
    }
    wake();
}

std::size_t MainThreadQueue::pending() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_calls.size();
}

// One call per activation: the wake-up for the rest is renewed before the
// call runs, so a handler that throws (or opens a modal box) loses nothing.
void MainThreadQueue::runNext() {
    clearWake();
    std::function<void()> call;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_calls.empty()) {
            return;
        }
        call = std::move(m_calls.front());
        m_calls.pop_front();
        if (!m_calls.empty()) {
            wake();
        }
    }
    call();
}

} // namespace tessaro
