// The wait of the Linux layers (device and network): one epoll set with the
// source's fd and an eventfd that wakes the waiter when the events are
// disarmed or the port is closed.
#pragma once

#include <sys/epoll.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

namespace tessaro {

// Tags of the epoll set's two members.
constexpr std::uint32_t kSourceTag = 0;
constexpr std::uint32_t kWakeTag = 1;

struct EpollWaitResult {
    int error = 0;                  // errno of a failed wait
    bool woken = false;             // the eventfd fired (its count is taken)
    std::uint32_t sourceEvents = 0; // the source's epoll events, 0 for none
};

// One wait of at most `timeoutMs` (-1: unbounded); a signal restarts it.
inline EpollWaitResult waitOnce(int epfd, int wakefd, int timeoutMs) {
    EpollWaitResult result;
    epoll_event events[2];
    int n = 0;
    while ((n = ::epoll_wait(epfd, events, 2, timeoutMs)) < 0 && errno == EINTR) {
    }
    if (n < 0) {
        result.error = errno;
        return result;
    }
    for (int i = 0; i < n; ++i) {
        if (events[i].data.u32 == kWakeTag) {
            std::uint64_t count = 0;
            (void)::read(wakefd, &count, sizeof count);
            result.woken = true;
        } else {
            result.sourceEvents |= events[i].events;
        }
    }
    return result;
}

} // namespace tessaro
