// The serial layer on Linux: a tty device opened non-blocking, in an epoll
// set edge-triggered (EpollWait.h); and the platform of this system, which
// adds the network sources (SerialSocket.h) to the devices.
#include "EpollWait.h"
#include "SerialPlatform.h"
#include "SerialPosixLine.h"
#include "SerialSocket.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <mutex>
#include <system_error>
#include <utility>

namespace tessaro {
namespace {

// Modem lines, ring and break have no fd readiness: they are sampled this often.
constexpr int modemSampleMs = 50;

struct ModemSample {
    int lines = 0;
    int rings = 0;
    int breaks = 0;
};

class PosixSerialPort : public SerialPort {
public:
    PosixSerialPort(int fd, EpollWait wait, bool modemLines, const PosixCalls& calls)
        : m_calls(calls), m_fd(fd), m_wait(std::move(wait)), m_modemLines(modemLines) {
        if (m_modemLines) {
            m_last = sample();
        }
    }

    ~PosixSerialPort() override { close(); }

    // The tty driver's queues have a fixed size.
    int setupQueues(std::uint16_t, std::uint16_t) override { return 0; }

    int applyLineSettings(const LineSettings& settings) override {
        std::lock_guard<std::mutex> lock(m_fdMutex);
        if (m_fd < 0) {
            return EBADF;
        }
        m_marked = settings.parityCheck;
        m_mark = MarkState::none;
        return posixApplyLineSettings(m_fd, settings, m_calls.ioctl);
    }

    // O_NONBLOCK already makes every read return at once, and this system
    // never writes.
    int applyTimeouts(const Timeouts&) override { return 0; }

    void setModemOutput(ModemOutput line, bool on) override {
        std::lock_guard<std::mutex> lock(m_fdMutex);
        if (m_fd < 0) {
            return;
        }
        int bit = line == ModemOutput::rts ? TIOCM_RTS : TIOCM_DTR;
        // A pseudo-terminal answers ENOTTY; the outcome is not reported anyway.
        (void)m_calls.ioctl(m_fd, on ? TIOCMBIS : TIOCMBIC, &bit);
    }

    int armEvents(std::uint32_t mask) override {
        m_wait.arm(mask);
        return 0;
    }

    int waitEvents(std::uint32_t& occurred) override {
        occurred = 0;
        for (;;) {
            if (m_hungUp) {
                return EIO;
            }
            const EpollWaitResult waited = m_wait.wait(m_modemLines ? modemSampleMs : -1);
            if (waited.error) {
                return waited.error;
            }
            const bool woken = waited.woken;
            // Receiver unplugged or pty master closed.
            if (waited.sourceEvents & (EPOLLHUP | EPOLLERR)) {
                m_hungUp = true;
            }
            if (waited.sourceEvents & EPOLLIN) {
                m_rxPending = true;
            }
            if (m_hungUp) {
                return EIO;
            }
            const std::uint32_t mask = m_wait.armed();
            if (m_closed || (woken && mask == 0)) {
                return 0;
            }
            std::uint32_t found = 0;
            // Edge-triggered: an arrival is reported once, so it is kept until
            // received characters are armed.
            if (m_rxPending && (mask & evRxChar)) {
                found |= evRxChar;
                m_rxPending = false;
            }
            if (m_modemLines) {
                found |= modemChanges() & mask;
            }
            if (found) {
                occurred = found;
                return 0;
            }
        }
    }

    int modemStatus(std::uint32_t& bits) override {
        std::lock_guard<std::mutex> lock(m_fdMutex);
        if (m_fd < 0) {
            return EBADF;
        }
        int lines = 0;
        if (m_calls.ioctl(m_fd, TIOCMGET, &lines) != 0) {
            return errno;
        }
        bits = toStatusBits(lines);
        return 0;
    }

    int readByte(unsigned char& byte, int& count) override {
        count = 0;
        std::lock_guard<std::mutex> lock(m_fdMutex);
        if (m_fd < 0) {
            return 0;
        }
        for (;;) {
            // Non-blocking: completes at once, so the 100 ms bound never applies.
            const ssize_t n = m_calls.read(m_fd, &byte, 1);
            if (n == 1) {
                if (!unmark(byte)) {
                    continue; // a mark: the byte it belongs to follows
                }
                count = 1;
            } else if (n < 0 && errno == EINTR) {
                continue;
            } else if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) {
                // End of file or EIO: the device has gone; the next wait says so.
                m_hungUp = true;
            }
            return 0;
        }
    }

    int queueCounts(int& rxCount, int& txCount) override {
        std::lock_guard<std::mutex> lock(m_fdMutex);
        if (m_fd < 0) {
            return EBADF;
        }
        if (m_calls.ioctl(m_fd, TIOCINQ, &rxCount) != 0 ||
            m_calls.ioctl(m_fd, TIOCOUTQ, &txCount) != 0) {
            return errno;
        }
        return 0;
    }

    // Nothing is pending: reads complete at once and nothing is written.
    // tcflush() would discard the queued data that must stay.
    int purge() override { return 0; }

    int close() override {
        int rc = 0;
        {
            std::lock_guard<std::mutex> lock(m_fdMutex);
            if (m_fd < 0) {
                return 0;
            }
            (void)m_calls.ioctl(m_fd, TIOCNXCL, nullptr);
            // Closing the only descriptor also releases the flock() and takes
            // the device out of the epoll set.
            if (::close(m_fd) != 0) {
                rc = errno;
            }
            m_fd = -1;
        }
        // close() does not wake a thread in epoll_wait.
        m_closed = true;
        m_wait.wake();
        return rc;
    }

private:
    enum class MarkState { none, escape, errorByte };

    // With parity checking the kernel marks (PARMRK): 0xFF 0xFF is a received
    // 0xFF, and 0xFF 0x00 comes before a byte received with a parity or
    // framing error, which is handed on unchanged. False while inside a mark.
    bool unmark(unsigned char byte) {
        if (!m_marked) {
            return true;
        }
        switch (m_mark) {
        case MarkState::none:
            if (byte != 0xFF) {
                return true;
            }
            m_mark = MarkState::escape;
            return false;
        case MarkState::escape:
            m_mark = byte == 0x00 ? MarkState::errorByte : MarkState::none;
            return byte != 0x00;
        case MarkState::errorByte:
            m_mark = MarkState::none;
            return true;
        }
        return true;
    }

    static std::uint32_t toStatusBits(int lines) {
        std::uint32_t bits = 0;
        if (lines & TIOCM_CTS) {
            bits |= msCtsOn;
        }
        if (lines & TIOCM_DSR) {
            bits |= msDsrOn;
        }
        if (lines & TIOCM_RI) {
            bits |= msRingOn;
        }
        if (lines & TIOCM_CD) {
            bits |= msRlsdOn;
        }
        return bits;
    }

    ModemSample sample() {
        ModemSample s;
        std::lock_guard<std::mutex> lock(m_fdMutex);
        if (m_fd < 0) {
            return m_last;
        }
        if (m_calls.ioctl(m_fd, TIOCMGET, &s.lines) != 0) {
            s.lines = m_last.lines;
        }
        serial_icounter_struct counts{};
        // Some USB adapters have no counters; ring and break are then not seen.
        if (m_calls.ioctl(m_fd, TIOCGICOUNT, &counts) == 0) {
            s.rings = counts.rng;
            s.breaks = counts.brk;
        } else {
            s.rings = m_last.rings;
            s.breaks = m_last.breaks;
        }
        return s;
    }

    std::uint32_t modemChanges() {
        const ModemSample now = sample();
        const int changed = now.lines ^ m_last.lines;
        std::uint32_t found = 0;
        if (changed & TIOCM_CTS) {
            found |= evCts;
        }
        if (changed & TIOCM_DSR) {
            found |= evDsr;
        }
        if (changed & TIOCM_CD) {
            found |= evRlsd;
        }
        if (now.rings != m_last.rings) {
            found |= evRing;
        }
        if (now.breaks != m_last.breaks) {
            found |= evBreak;
        }
        m_last = now;
        return found;
    }

    const PosixCalls m_calls;
    std::mutex m_fdMutex; // guards m_fd and the marks: close() may run while the waiter reads
    int m_fd;
    bool m_marked = false;
    MarkState m_mark = MarkState::none;
    EpollWait m_wait;
    const bool m_modemLines;
    std::atomic<bool> m_closed{false};
    std::atomic<bool> m_hungUp{false};
    bool m_rxPending = false; // waiter only
    ModemSample m_last;       // waiter only (and the constructor)
};

class PosixSerialPlatform : public SerialPlatform {
public:
    explicit PosixSerialPlatform(const PosixCalls& calls) : m_calls(calls) {}

    std::shared_ptr<SerialPort> open(const std::string& path, int& error) override {
        const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            error = errno;
            return nullptr;
        }
        auto fail = [&](int code) {
            error = code;
            ::close(fd);
            return nullptr;
        };
        // A regular file or /dev/null would fail at the epoll set below with
        // EPERM, a reason that sends the user to the permissions.
        if (!::isatty(fd)) {
            return fail(ENOTTY);
        }
        // root ignores TIOCEXCL, so the lock is what keeps a second opener out.
        // Its refusal says "try again"; the truth is that the port is taken.
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            return fail(errno == EWOULDBLOCK ? EBUSY : errno);
        }
        // Also keeps out openers that do not use flock (unless they are root).
        // A program that opened the device earlier without either is not
        // refused by Linux at all: the two then share the bytes.
        if (m_calls.ioctl(fd, TIOCEXCL, nullptr) != 0 && errno != ENOTTY && errno != EINVAL) {
            return fail(errno);
        }
        EpollWait wait;
        // Edge-triggered: bytes left unread on purpose (received-data mode)
        // must not keep the waiter spinning.
        int rc = wait.open();
        if (rc == 0) {
            rc = wait.addSource(fd, EPOLLIN | EPOLLET);
        }
        if (rc != 0) {
            return fail(rc);
        }
        // A pseudo-terminal has no modem lines and cannot receive a break.
        int lines = 0;
        const bool modemLines = m_calls.ioctl(fd, TIOCMGET, &lines) == 0;
        return std::make_shared<PosixSerialPort>(fd, std::move(wait), modemLines, m_calls);
    }

    std::string errorText(int code) const override {
        std::string text = std::system_category().message(code);
        // The C library invents a text for codes it does not know.
        if (text.rfind("Unknown error", 0) == 0) {
            return std::string();
        }
        return text;
    }

private:
    const PosixCalls m_calls;
};

} // namespace

std::shared_ptr<SerialPlatform> posixSerialPlatform(const PosixCalls& calls) {
    return std::make_shared<PosixSerialPlatform>(calls);
}

std::shared_ptr<SerialPlatform> deviceSerialPlatform() {
    static const std::shared_ptr<SerialPlatform> platform = posixSerialPlatform(PosixCalls());
    return platform;
}

std::shared_ptr<SerialPlatform> systemSerialPlatform() {
    static const std::shared_ptr<SerialPlatform> platform =
        withNetworkSources(deviceSerialPlatform());
    return platform;
}

int notSupportedError() {
    return EOPNOTSUPP;
}

} // namespace tessaro
