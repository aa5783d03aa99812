// Network sources on Linux. A socket port connects from the event thread (so
// a slow name lookup never holds the window), reconnects at a steady pace
// after a loss, and hands its bytes out one at a time from a fixed buffer.
// From gpsd it passes the receiver's lines and skips gpsd's JSON replies by
// their leading "{" (the request is GpsdProbe.h's).
#include "SocketPort.h"
#include "EpollWait.h"
#include "GpsdProbe.h"

#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <mutex>
#include <utility>

namespace tessaro {
namespace {

constexpr auto reconnectPace = std::chrono::seconds(1);
constexpr int connectTimeoutMs = 5000;

class SocketSerialPort : public SerialPort {
public:
    SocketSerialPort(NetworkSource source, EpollWait wait, int connected, std::string route)
        : m_source(std::move(source)), m_wait(std::move(wait)), m_route(std::move(route)) {
        if (connected >= 0) {
            adopt(connected);
        }
    }

    ~SocketSerialPort() override { close(); }

    // Queues, line settings, time-outs and modem lines have no meaning on a
    // socket: accepted and ignored.
    int setupQueues(std::uint16_t, std::uint16_t) override { return 0; }
    int applyLineSettings(const LineSettings&) override { return 0; }
    int applyTimeouts(const Timeouts&) override { return 0; }
    void setModemOutput(ModemOutput, bool) override {}
    int modemStatus(std::uint32_t& bits) override {
        bits = 0;
        return 0;
    }
    int purge() override { return 0; }

    int armEvents(std::uint32_t mask) override {
        m_wait.arm(mask);
        return 0;
    }

    int waitEvents(std::uint32_t& occurred) override {
        occurred = 0;
        for (;;) {
            if (m_closed) {
                return 0;
            }
            if (const int lost = m_lost.exchange(0)) {
                drop();
                return lost;
            }
            if (!connected()) {
                if (const int rc = reconnect()) {
                    return rc;
                }
                if (m_closed || (!connected() && m_wait.armed() == 0)) {
                    return 0;
                }
                continue;
            }
            const EpollWaitResult waited = m_wait.wait(-1);
            if (waited.error) {
                return waited.error;
            }
            const bool woken = waited.woken;
            if (waited.sourceEvents != 0) {
                // A hang-up too: the reads take what is left, then find the end.
                m_rxPending = true;
            }
            const std::uint32_t mask = m_wait.armed();
            if (m_closed || (woken && mask == 0)) {
                return 0;
            }
            if (m_rxPending && (mask & evRxChar)) {
                m_rxPending = false;
                occurred = evRxChar;
                return 0;
            }
        }
    }

    int readByte(unsigned char& byte, int& count) override {
        count = 0;
        std::lock_guard<std::mutex> lock(m_fdMutex);
        for (;;) {
            while (m_next < m_filled) {
                const unsigned char c = m_buffer[m_next++];
                if (keep(c)) {
                    byte = c;
                    count = 1;
                    return 0;
                }
            }
            if (m_fd < 0 || m_lost) {
                return 0;
            }
            const ssize_t n = ::recv(m_fd, m_buffer, sizeof m_buffer, 0);
            if (n > 0) {
                m_next = 0;
                m_filled = static_cast<std::size_t>(n);
            } else if (n < 0 && errno == EINTR) {
                continue;
            } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
                return 0;
            } else {
                // The peer went (gpsd stopped, the sender closed): the next
                // wait reports it as a line error.
                m_lost = n == 0 ? ECONNRESET : errno;
                return 0;
            }
        }
    }

    int queueCounts(int& rxCount, int& txCount) override {
        std::lock_guard<std::mutex> lock(m_fdMutex);
        int queued = 0;
        if (m_fd >= 0 && ::ioctl(m_fd, FIONREAD, &queued) != 0) {
            return errno;
        }
        rxCount = queued + static_cast<int>(m_filled - m_next);
        txCount = 0;
        return 0;
    }

    int close() override {
        {
            std::lock_guard<std::mutex> lock(m_fdMutex);
            if (m_fd >= 0) {
                ::close(m_fd);
            }
            m_fd = -1;
        }
        m_closed = true;
        m_wait.wake();
        return 0;
    }

    std::string route() const override { return m_route; }

    // A device read through gpsd: a failure is gpsd's, and the device is
    // opened anew (gpsd may have let it go). A network source reconnects.
    std::string failureSource() const override {
        if (m_route.empty()) {
            return {};
        }
        const bool v6 = m_source.host.find(':') != std::string::npos;
        return "gpsd://" + (v6 ? "[" + m_source.host + "]" : m_source.host) + ":" +
               m_source.service + m_source.device;
    }
    bool reconnects() const override { return m_route.empty(); }

private:
    bool connected() {
        std::lock_guard<std::mutex> lock(m_fdMutex);
        return m_fd >= 0;
    }

    // gpsd's own replies are JSON lines; only the receiver's lines pass.
    bool keep(unsigned char c) {
        if (!m_source.gpsd) {
            return true;
        }
        if (m_inReply) {
            m_inReply = c != '\n';
            m_lineStart = !m_inReply;
            return false;
        }
        if (m_lineStart && c == '{') {
            m_inReply = true;
            return false;
        }
        m_lineStart = c == '\n';
        return true;
    }

    void adopt(int fd) {
        std::lock_guard<std::mutex> lock(m_fdMutex);
        if (m_closed) {
            ::close(fd);
            return;
        }
        // Added while already readable, the socket reports at once.
        (void)m_wait.addSource(fd, EPOLLIN | EPOLLRDHUP | EPOLLET);
        m_fd = fd;
        m_next = m_filled = 0;
        m_lineStart = true;
        m_inReply = false;
    }

    void drop() {
        std::lock_guard<std::mutex> lock(m_fdMutex);
        if (m_fd >= 0) {
            ::close(m_fd); // also leaves the epoll set
        }
        m_fd = -1;
        m_next = m_filled = 0;
        m_rxPending = false;
    }

    // One connection attempt, no sooner than the pace allows; a close or a
    // disarm while waiting returns 0 unconnected.
    int reconnect() {
        auto stop = [this] { return m_closed || m_wait.armed() == 0; };
        if (SocketClock::now() < m_nextAttempt) {
            const int idle = -1; // nothing to wait on but the wake-up
            waitReady(idle, 0, m_nextAttempt, m_wait.wakeFd(), stop);
            if (stop() || SocketClock::now() < m_nextAttempt) {
                return 0;
            }
        }
        m_nextAttempt = SocketClock::now() + reconnectPace;
        int error = 0;
        const int fd = connectTo(m_source.host, m_source.service, m_wait.wakeFd(), stop, error);
        if (fd < 0) {
            return stop() ? 0 : error;
        }
        if (m_source.gpsd && !sendAll(fd, watchRequest(m_source.device))) {
            error = errno;
            ::close(fd);
            return error;
        }
        adopt(fd);
        return 0;
    }

    const NetworkSource m_source;
    EpollWait m_wait;
    const std::string m_route;
    std::mutex m_fdMutex; // guards m_fd and the buffer: close() may run while the waiter reads
    int m_fd = -1;
    unsigned char m_buffer[socketReadChunk];
    std::size_t m_next = 0;
    std::size_t m_filled = 0;
    bool m_lineStart = true;
    bool m_inReply = false;
    std::atomic<bool> m_closed{false};
    std::atomic<int> m_lost{0};
    bool m_rxPending = false;                // waiter only
    SocketClock::time_point m_nextAttempt{}; // waiter only
};

} // namespace

bool waitReady(int fd, short events, SocketClock::time_point deadline, int wakefd,
               const std::function<bool()>& stop) {
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - SocketClock::now())
                .count();
        if (left <= 0) {
            return false;
        }
        pollfd fds[2] = {{fd, events, 0}, {wakefd, POLLIN, 0}};
        const int n = ::poll(fds, wakefd >= 0 ? 2 : 1, static_cast<int>(left));
        if (n < 0 && errno != EINTR) {
            return false;
        }
        if (n > 0 && (fds[1].revents & POLLIN)) {
            takeWake(wakefd);
            if (stop()) {
                return false;
            }
        }
        if (n > 0 && fds[0].revents) {
            return true;
        }
    }
}

int connectTo(const std::string& host, const std::string& service, int wakefd,
              const std::function<bool()>& stop, int& error) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const int rc = ::getaddrinfo(host.c_str(), service.c_str(), &hints, &found);
    if (rc != 0) {
        error = rc == EAI_SYSTEM ? errno : rc;
        return -1;
    }
    error = ECONNREFUSED;
    int fd = -1;
    for (addrinfo* a = found; a != nullptr && fd < 0; a = a->ai_next) {
        fd = ::socket(a->ai_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (fd < 0) {
            error = errno;
            continue;
        }
        int outcome = ::connect(fd, a->ai_addr, a->ai_addrlen) == 0 ? 0 : errno;
        if (outcome == EINPROGRESS) {
            socklen_t size = sizeof outcome;
            if (!waitReady(fd, POLLOUT,
                           SocketClock::now() + std::chrono::milliseconds(connectTimeoutMs), wakefd,
                           stop)) {
                outcome = ETIMEDOUT;
            } else if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &outcome, &size) != 0) {
                outcome = errno;
            }
        }
        if (outcome != 0) {
            error = outcome;
            ::close(fd);
            fd = -1;
        }
    }
    ::freeaddrinfo(found);
    if (fd >= 0) {
        // A peer that vanishes without a word (cable, power) is noticed in
        // about half a minute instead of never.
        int on = 1, idle = 15, interval = 5, probes = 3;
        (void)::setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
        (void)::setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &idle, sizeof idle);
        (void)::setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &interval, sizeof interval);
        (void)::setsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &probes, sizeof probes);
    }
    return fd;
}

bool sendAll(int fd, const std::string& text) {
    return ::send(fd, text.data(), text.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(text.size());
}

std::shared_ptr<SerialPort> makeSocketPort(NetworkSource source, int connected, std::string route,
                                           int& error) {
    EpollWait wait;
    if (const int rc = wait.open()) {
        error = rc;
        if (connected >= 0) {
            ::close(connected);
        }
        return nullptr;
    }
    return std::make_shared<SocketSerialPort>(std::move(source), std::move(wait), connected,
                                              std::move(route));
}

} // namespace tessaro
