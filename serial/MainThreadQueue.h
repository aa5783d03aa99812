// Calls posted from the event thread, run in order on the thread that created
// the queue (the window thread).
//
// The calls travel through this queue's own mutex and an eventfd watched by a
// QSocketNotifier (on Windows an event object watched by a QWinEventNotifier)
// rather than through Qt's posted events: ThreadSanitizer
// cannot see the locking inside the uninstrumented Qt library and would
// report every handed-over call as a race.
#pragma once

#include <QObject>

#include <deque>
#include <functional>
#include <mutex>

class QSocketNotifier;
class QWinEventNotifier;

namespace tessaro {

class MainThreadQueue : public QObject {
    Q_OBJECT
public:
    explicit MainThreadQueue(QObject* parent = nullptr);
    ~MainThreadQueue() override;
    MainThreadQueue(const MainThreadQueue&) = delete;
    MainThreadQueue& operator=(const MainThreadQueue&) = delete;

    // Any thread. Calls still queued when the queue is destroyed never run.
    void post(std::function<void()> call);
    std::size_t pending();

private:
    void runNext();
    void wake();
    void clearWake();

    std::mutex m_mutex;
    std::deque<std::function<void()>> m_calls;
#ifdef _WIN32
    void* m_wakeEvent = nullptr;
    QWinEventNotifier* m_notifier = nullptr;
#else
    int m_wakefd = -1;
    QSocketNotifier* m_notifier = nullptr;
#endif
};

} // namespace tessaro
