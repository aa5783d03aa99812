// The wait of the Linux layers (device and network): one epoll set with the
// source's fd and an eventfd that wakes the waiter when the events are
// disarmed or the port is closed (closing an fd does not wake epoll_wait).
#pragma once

#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <utility>

namespace tessaro {

// Tags of the epoll set's two members.
constexpr std::uint32_t kSourceTag = 0;
constexpr std::uint32_t kWakeTag = 1;

struct EpollWaitResult {
    int error = 0;                  // errno of a failed wait
    bool woken = false;             // the eventfd fired (its count is taken)
    std::uint32_t sourceEvents = 0; // the source's epoll events, 0 for none
};

// Takes the count of a fired eventfd, so that it fires again only on the next wake().
inline void takeWake(int wakefd) {
    std::uint64_t count = 0;
    (void)::read(wakefd, &count, sizeof count);
}

class EpollWait {
public:
    EpollWait() = default;
    EpollWait(EpollWait&& other) noexcept
        : m_epfd(std::exchange(other.m_epfd, -1)), m_wakefd(std::exchange(other.m_wakefd, -1)) {}
    EpollWait& operator=(EpollWait&&) = delete;
    EpollWait(const EpollWait&) = delete;
    EpollWait& operator=(const EpollWait&) = delete;
    ~EpollWait() {
        for (int fd : {m_wakefd, m_epfd}) {
            if (fd >= 0) {
                ::close(fd);
            }
        }
    }

    // Makes the set with its eventfd: 0, or the errno of the call that failed.
    int open() {
        m_epfd = ::epoll_create1(EPOLL_CLOEXEC);
        if (m_epfd < 0) {
            return errno;
        }
        m_wakefd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
        if (m_wakefd < 0) {
            return errno;
        }
        epoll_event wakeup{};
        wakeup.events = EPOLLIN;
        wakeup.data.u32 = kWakeTag;
        return ::epoll_ctl(m_epfd, EPOLL_CTL_ADD, m_wakefd, &wakeup) == 0 ? 0 : errno;
    }

    // Adds the source: 0 or errno. Closing the source's only fd takes it out again.
    int addSource(int fd, std::uint32_t events) const {
        epoll_event source{};
        source.events = events;
        source.data.u32 = kSourceTag;
        return ::epoll_ctl(m_epfd, EPOLL_CTL_ADD, fd, &source) == 0 ? 0 : errno;
    }

    void wake() const {
        const std::uint64_t one = 1;
        (void)::write(m_wakefd, &one, sizeof one);
    }

    // The events the waiter looks for. Arming wakes it, so that mask 0 (or a
    // close, which wakes too) ends its wait at once.
    void arm(std::uint32_t mask) {
        m_armed = mask;
        wake();
    }
    std::uint32_t armed() const { return m_armed; }

    // For waits of other kinds (poll) that the wake-up must end too.
    int wakeFd() const { return m_wakefd; }

    // One wait of at most `timeoutMs` (-1: unbounded); a signal restarts it.
    EpollWaitResult wait(int timeoutMs) const {
        EpollWaitResult result;
        epoll_event events[2];
        int n = 0;
        while ((n = ::epoll_wait(m_epfd, events, 2, timeoutMs)) < 0 && errno == EINTR) {
        }
        if (n < 0) {
            result.error = errno;
            return result;
        }
        for (int i = 0; i < n; ++i) {
            if (events[i].data.u32 == kWakeTag) {
                takeWake(m_wakefd);
                result.woken = true;
            } else {
                result.sourceEvents |= events[i].events;
            }
        }
        return result;
    }

private:
    int m_epfd = -1;
    int m_wakefd = -1;
    std::atomic<std::uint32_t> m_armed{0};
};

} // namespace tessaro
