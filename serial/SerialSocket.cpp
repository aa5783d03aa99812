// Network sources on Linux. A socket port connects from the event thread (so
// a slow name lookup never holds the window), reconnects at a steady pace
// after a loss, and hands its bytes out one at a time from a fixed buffer.
// gpsd is spoken to in its JSON protocol directly: one ?WATCH request in NMEA
// mode, and JSON replies skipped by their leading "{". In that mode gpsd
// passes an NMEA receiver's own sentences and makes sentences of its own
// ($GPRMC, $GPGGA, ...) from a binary one (SiRF, u-blox UBX, Garmin), whose
// packets raw mode would pass as hex dumps. libgps would add a library for
// that one line and would hand out its own parsed reports, not the sentences
// that the intake reads.
#include "SerialSocket.h"
#include "EpollWait.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <mutex>
#include <utility>

namespace tessaro {
namespace {

using Clock = std::chrono::steady_clock;

constexpr auto reconnectPace = std::chrono::seconds(1);
constexpr int connectTimeoutMs = 5000;
constexpr int probeTimeoutMs = 2000;
constexpr int defaultGpsdPort = 2947;
constexpr const char* localHost = "127.0.0.1";
// The size of one read from a socket.
constexpr std::size_t readChunk = 4096;

std::atomic<int> localGpsdPort{defaultGpsdPort};

bool startsWith(const std::string& text, const char* prefix) {
    return text.compare(0, std::strlen(prefix), prefix) == 0;
}

bool isPortNumber(const std::string& text) {
    if (text.empty() || text.size() > 5 ||
        text.find_first_not_of("0123456789") != std::string::npos) {
        return false;
    }
    const int n = std::stoi(text);
    return n >= 1 && n <= 65535;
}

// Quotes, backslashes and control characters would break the JSON request.
bool isPlainText(const std::string& text) {
    for (unsigned char c : text) {
        if (c < 0x20 || c == 0x7F || c == '"' || c == '\\') {
            return false;
        }
    }
    return true;
}

std::string watchRequest(const std::string& device) {
    std::string request = R"(?WATCH={"enable":true,"nmea":true)";
    if (!device.empty()) {
        request += R"(,"device":")" + device + '"';
    }
    return request + "};\n";
}

// Blocks at most the time left until deadline for fd to become ready for
// `events`; also returns (false) when wakefd fires and stop() says so.
template <typename Stop>
bool waitReady(int fd, short events, Clock::time_point deadline, int wakefd, Stop stop) {
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) {
            return false;
        }
        pollfd fds[2] = {{fd, events, 0}, {wakefd, POLLIN, 0}};
        const int n = ::poll(fds, wakefd >= 0 ? 2 : 1, static_cast<int>(left));
        if (n < 0 && errno != EINTR) {
            return false;
        }
        if (n > 0 && (fds[1].revents & POLLIN)) {
            std::uint64_t count = 0;
            (void)::read(wakefd, &count, sizeof count);
            if (stop()) {
                return false;
            }
        }
        if (n > 0 && fds[0].revents) {
            return true;
        }
    }
}

// Connects a non-blocking stream socket to host:service, trying every address
// the name has. Returns the socket, or -1 with the reason in error: an errno
// value, or a negative resolver code (EAI_*) whose text errorText gives.
template <typename Stop>
int connectTo(const std::string& host, const std::string& service, int wakefd, Stop stop,
              int& error) {
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
            if (!waitReady(fd, POLLOUT, Clock::now() + std::chrono::milliseconds(connectTimeoutMs),
                           wakefd, stop)) {
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

class SocketSerialPort : public SerialPort {
public:
    SocketSerialPort(NetworkSource source, int epfd, int wakefd, int connected, std::string route)
        : m_source(std::move(source)), m_epfd(epfd), m_wakefd(wakefd), m_route(std::move(route)) {
        if (connected >= 0) {
            adopt(connected);
        }
    }

    ~SocketSerialPort() override {
        close();
        ::close(m_wakefd);
        ::close(m_epfd);
    }

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
        m_mask = mask;
        wake();
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
                if (m_closed || (!connected() && m_mask == 0)) {
                    return 0;
                }
                continue;
            }
            const EpollWaitResult waited = waitOnce(m_epfd, m_wakefd, -1);
            if (waited.error) {
                return waited.error;
            }
            const bool woken = waited.woken;
            if (waited.sourceEvents != 0) {
                // A hang-up too: the reads take what is left, then find the end.
                m_rxPending = true;
            }
            const std::uint32_t mask = m_mask;
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
        wake();
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
    void wake() {
        const std::uint64_t one = 1;
        (void)::write(m_wakefd, &one, sizeof one);
    }

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
        epoll_event in{};
        in.events = EPOLLIN | EPOLLRDHUP | EPOLLET;
        in.data.u32 = kSourceTag;
        std::lock_guard<std::mutex> lock(m_fdMutex);
        if (m_closed) {
            ::close(fd);
            return;
        }
        // Added while already readable, the socket reports at once.
        (void)::epoll_ctl(m_epfd, EPOLL_CTL_ADD, fd, &in);
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
        auto stop = [this] { return m_closed || m_mask == 0; };
        if (Clock::now() < m_nextAttempt) {
            const int idle = -1; // nothing to wait on but the wake-up
            waitReady(idle, 0, m_nextAttempt, m_wakefd, stop);
            if (stop() || Clock::now() < m_nextAttempt) {
                return 0;
            }
        }
        m_nextAttempt = Clock::now() + reconnectPace;
        int error = 0;
        const int fd = connectTo(m_source.host, m_source.service, m_wakefd, stop, error);
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
    const int m_epfd;
    const int m_wakefd;
    const std::string m_route;
    std::mutex m_fdMutex; // guards m_fd and the buffer: close() may run while the waiter reads
    int m_fd = -1;
    unsigned char m_buffer[readChunk];
    std::size_t m_next = 0;
    std::size_t m_filled = 0;
    bool m_lineStart = true;
    bool m_inReply = false;
    std::atomic<std::uint32_t> m_mask{0};
    std::atomic<bool> m_closed{false};
    std::atomic<int> m_lost{0};
    bool m_rxPending = false;          // waiter only
    Clock::time_point m_nextAttempt{}; // waiter only
};

std::shared_ptr<SerialPort> makeSocketPort(NetworkSource source, int connected, std::string route,
                                           int& error) {
    const int epfd = ::epoll_create1(EPOLL_CLOEXEC);
    const int wakefd = epfd < 0 ? -1 : ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    epoll_event wakeup{};
    wakeup.events = EPOLLIN;
    wakeup.data.u32 = kWakeTag;
    if (wakefd < 0 || ::epoll_ctl(epfd, EPOLL_CTL_ADD, wakefd, &wakeup) != 0) {
        error = errno;
        for (int fd : {wakefd, epfd, connected}) {
            if (fd >= 0) {
                ::close(fd);
            }
        }
        return nullptr;
    }
    return std::make_shared<SocketSerialPort>(std::move(source), epfd, wakefd, connected,
                                              std::move(route));
}

bool sameDevice(const std::string& a, const std::string& b) {
    struct stat sa {};
    struct stat sb {};
    if (::stat(a.c_str(), &sa) != 0 || ::stat(b.c_str(), &sb) != 0) {
        return a == b;
    }
    return S_ISCHR(sa.st_mode) && S_ISCHR(sb.st_mode) && sa.st_rdev == sb.st_rdev;
}

// Asks the local gpsd whether it holds `path` (the same device node under
// any of its names). On yes, returns the connected socket, already watching
// that device, and gpsd's name for it; otherwise -1.
int watchThroughLocalGpsd(const std::string& path, std::string& gpsdName) {
    auto never = [] { return false; };
    int error = 0;
    const std::string port = std::to_string(localGpsdPort.load());
    const int fd = connectTo(localHost, port, -1, never, error);
    if (fd < 0) {
        return -1;
    }
    const auto deadline = Clock::now() + std::chrono::milliseconds(probeTimeoutMs);
    std::string received;
    if (sendAll(fd, "?DEVICES;\n")) {
        while (received.size() < 65536 && waitReady(fd, POLLIN, deadline, -1, never)) {
            char chunk[readChunk];
            const ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
            if (n <= 0) {
                break;
            }
            received.append(chunk, static_cast<std::size_t>(n));
            for (std::size_t start = 0, end;
                 (end = received.find('\n', start)) != std::string::npos; start = end + 1) {
                const QJsonObject reply =
                    QJsonDocument::fromJson(
                        QByteArray::fromStdString(received.substr(start, end - start)))
                        .object();
                if (reply.value(QLatin1String("class")).toString() != QLatin1String("DEVICES")) {
                    continue;
                }
                for (const QJsonValue device : reply.value(QLatin1String("devices")).toArray()) {
                    const std::string name =
                        device.toObject().value(QLatin1String("path")).toString().toStdString();
                    if (!name.empty() && isPlainText(name) && sameDevice(name, path) &&
                        sendAll(fd, watchRequest(name))) {
                        gpsdName = name;
                        return fd;
                    }
                }
                ::close(fd);
                return -1;
            }
        }
    }
    ::close(fd);
    return -1;
}

class NetworkAwarePlatform : public SerialPlatform {
public:
    explicit NetworkAwarePlatform(std::shared_ptr<SerialPlatform> devices)
        : m_devices(std::move(devices)) {}

    std::shared_ptr<SerialPort> open(const std::string& path, int& error) override {
        NetworkSource source;
        switch (parseNetworkSource(path, source)) {
        case SourceName::malformed:
            error = EINVAL;
            return nullptr;
        case SourceName::network:
            return makeSocketPort(std::move(source), -1, std::string(), error);
        case SourceName::device:
            break;
        }
        std::shared_ptr<SerialPort> port = m_devices->open(path, error);
        // Held by another program (gpsd takes a receiver as it is plugged
        // in): read it through gpsd when that is the holder.
        if (port || (error != EBUSY && error != EWOULDBLOCK)) {
            return port;
        }
        std::string gpsdName;
        const int fd = watchThroughLocalGpsd(path, gpsdName);
        if (fd < 0) {
            return nullptr;
        }
        source.gpsd = true;
        source.host = localHost;
        source.service = std::to_string(localGpsdPort.load());
        source.device = gpsdName;
        int socketError = 0;
        port = makeSocketPort(std::move(source), fd, "via gpsd", socketError);
        return port;
    }

    std::string errorText(int code) const override {
        // Negative codes are the resolver's (a name that does not resolve).
        if (code < 0) {
            return ::gai_strerror(code);
        }
        return m_devices->errorText(code);
    }

private:
    std::shared_ptr<SerialPlatform> m_devices;
};

} // namespace

SourceName parseNetworkSource(const std::string& name, NetworkSource& source) {
    source = NetworkSource();
    std::string rest;
    if (startsWith(name, "gpsd://")) {
        source.gpsd = true;
        rest = name.substr(7);
    } else if (startsWith(name, "tcp://")) {
        rest = name.substr(6);
    } else {
        return SourceName::device;
    }
    if (source.gpsd) {
        const std::size_t slash = rest.find('/');
        if (slash != std::string::npos) {
            source.device = rest.substr(slash);
            rest.resize(slash);
        }
    }
    // HOST, HOST:PORT, [V6ADDRESS] or [V6ADDRESS]:PORT
    std::size_t colon = std::string::npos;
    if (!rest.empty() && rest[0] == '[') {
        const std::size_t close = rest.find(']');
        if (close == std::string::npos) {
            return SourceName::malformed;
        }
        source.host = rest.substr(1, close - 1);
        if (close + 1 < rest.size()) {
            if (rest[close + 1] != ':') {
                return SourceName::malformed;
            }
            colon = close + 1;
        }
    } else {
        colon = rest.rfind(':');
        source.host = rest.substr(0, colon);
    }
    source.service = colon == std::string::npos ? std::string() : rest.substr(colon + 1);
    if (source.gpsd && source.host.empty()) {
        source.host = "localhost";
    }
    if (source.gpsd && colon == std::string::npos) {
        source.service = std::to_string(defaultGpsdPort);
    }
    const bool hostOk = !source.host.empty() && isPlainText(source.host) &&
                        source.host.find_first_of(" /[]") == std::string::npos;
    if (!hostOk || !isPortNumber(source.service) || !isPlainText(source.device)) {
        return SourceName::malformed;
    }
    return SourceName::network;
}

std::shared_ptr<SerialPlatform> withNetworkSources(std::shared_ptr<SerialPlatform> devices) {
    return std::make_shared<NetworkAwarePlatform>(std::move(devices));
}

void setLocalGpsdPort(int port) {
    localGpsdPort = port;
}

std::shared_ptr<SerialPlatform> systemSerialPlatform() {
    static const std::shared_ptr<SerialPlatform> platform =
        withNetworkSources(deviceSerialPlatform());
    return platform;
}

} // namespace tessaro
