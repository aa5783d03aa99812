#include "SerialFake.h"

#include <cerrno>
#include <cstdio>
#include <system_error>

namespace tessaro {

class FakeSerialPort : public SerialPort {
public:
    FakeSerialPort(std::shared_ptr<FakeSerialPlatform> platform, unsigned generation)
        : m_p(std::move(platform)), m_generation(generation) {}

    int setupQueues(std::uint16_t rx, std::uint16_t tx) override {
        std::lock_guard<std::mutex> lock(m_p->m_mutex);
        m_p->log("setupQueues " + std::to_string(rx) + " " + std::to_string(tx));
        return m_p->m_failures.setupQueues;
    }

    int applyLineSettings(const LineSettings& s) override {
        std::lock_guard<std::mutex> lock(m_p->m_mutex);
        m_p->log("lineSettings");
        m_p->m_lineSettings = s;
        return m_p->m_failures.lineSettings;
    }

    int applyTimeouts(const Timeouts& t) override {
        std::lock_guard<std::mutex> lock(m_p->m_mutex);
        m_p->log("timeouts");
        m_p->m_timeouts = t;
        return m_p->m_failures.timeouts;
    }

    void setModemOutput(ModemOutput line, bool on) override {
        std::lock_guard<std::mutex> lock(m_p->m_mutex);
        m_p->log(std::string(line == ModemOutput::rts ? "rts " : "dtr ") + (on ? "on" : "off"));
    }

    int armEvents(std::uint32_t mask) override {
        std::lock_guard<std::mutex> lock(m_p->m_mutex);
        char text[32];
        std::snprintf(text, sizeof text, "arm 0x%x", static_cast<unsigned>(mask));
        m_p->log(text);
        m_p->m_mask = mask;
        if (mask == 0) {
            m_p->m_wake = true;
        }
        m_p->m_cv.notify_all();
        return mask == 0 ? m_p->m_failures.disarm : m_p->m_failures.arm;
    }

    int waitEvents(std::uint32_t& occurred) override {
        occurred = 0;
        std::unique_lock<std::mutex> lock(m_p->m_mutex);
        ++m_p->m_waitsStarted;
        m_p->m_waiting = true;
        m_p->m_cv.notify_all();
        int rc = 0;
        for (;;) {
            if (m_p->m_failures.wait) {
                rc = m_p->m_failures.wait;
                break;
            }
            if (stale() || m_p->m_wake) {
                m_p->m_wake = false;
                break;
            }
            if (!m_p->m_events.empty() && m_p->m_mask) {
                occurred = m_p->m_events.front() & m_p->m_mask;
                m_p->m_events.pop_front();
                if (occurred) {
                    break;
                }
                continue;
            }
            m_p->m_cv.wait(lock);
        }
        m_p->m_waiting = false;
        m_p->m_cv.notify_all();
        return rc;
    }

    int modemStatus(std::uint32_t& bits) override {
        std::lock_guard<std::mutex> lock(m_p->m_mutex);
        bits = m_p->m_modem;
        return m_p->m_failures.modemStatus;
    }

    int readByte(unsigned char& byte, int& count) override {
        count = 0;
        std::lock_guard<std::mutex> lock(m_p->m_mutex);
        if (m_p->m_failures.readWait) {
            return m_p->m_failures.readWait;
        }
        if (stale() || m_p->m_rx.empty()) {
            return 0;
        }
        byte = m_p->m_rx.front();
        m_p->m_rx.pop_front();
        count = 1;
        m_p->m_cv.notify_all();
        return 0;
    }

    int queueCounts(int& rx, int& tx) override {
        std::lock_guard<std::mutex> lock(m_p->m_mutex);
        if (m_p->m_failures.queueCounts) {
            return m_p->m_failures.queueCounts;
        }
        rx = m_p->m_rxCount >= 0 ? m_p->m_rxCount : static_cast<int>(m_p->m_rx.size());
        tx = m_p->m_txCount;
        return 0;
    }

    int purge() override {
        std::lock_guard<std::mutex> lock(m_p->m_mutex);
        m_p->log("purge");
        return m_p->m_failures.purge;
    }

    int close() override {
        std::lock_guard<std::mutex> lock(m_p->m_mutex);
        m_p->log("close");
        if (!stale()) {
            m_p->m_open = false;
        }
        m_p->m_cv.notify_all();
        return m_p->m_failures.close;
    }

private:
    bool stale() const { return !m_p->m_open || m_p->m_generation != m_generation; }

    std::shared_ptr<FakeSerialPlatform> m_p;
    unsigned m_generation;
};

void FakeSerialPlatform::log(std::string entry) {
    m_calls.push_back(std::move(entry));
}

void FakeSerialPlatform::setFailures(const Failures& failures) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_failures = failures;
    m_cv.notify_all();
}

void FakeSerialPlatform::pushEvents(std::uint32_t events) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_events.push_back(events);
    m_cv.notify_all();
}

void FakeSerialPlatform::pushBytes(const std::string& bytes) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_rx.insert(m_rx.end(), bytes.begin(), bytes.end());
    m_events.push_back(evRxChar);
    m_cv.notify_all();
}

void FakeSerialPlatform::setModemStatus(std::uint32_t bits) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_modem = bits;
}

void FakeSerialPlatform::setQueueCounts(int rx, int tx) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_rxCount = rx;
    m_txCount = tx;
}

std::vector<std::string> FakeSerialPlatform::calls() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_calls;
}

void FakeSerialPlatform::clearCalls() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_calls.clear();
}

LineSettings FakeSerialPlatform::lastLineSettings() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_lineSettings;
}

Timeouts FakeSerialPlatform::lastTimeouts() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_timeouts;
}

std::string FakeSerialPlatform::lastPath() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_path;
}

bool FakeSerialPlatform::isOpen() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_open;
}

std::size_t FakeSerialPlatform::rxQueued() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_rx.size();
}

int FakeSerialPlatform::waitsStarted() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_waitsStarted;
}

bool FakeSerialPlatform::waitUntilIdle(std::chrono::milliseconds bound) const {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_cv.wait_for(lock, bound, [this] { return m_events.empty() && m_waiting; });
}

std::shared_ptr<SerialPort> FakeSerialPlatform::open(const std::string& path, int& error) {
    std::lock_guard<std::mutex> lock(m_mutex);
    log("open " + path);
    m_path = path;
    if (m_failures.open) {
        error = m_failures.open;
        return nullptr;
    }
    if (m_open) {
        error = EBUSY;
        return nullptr;
    }
    m_open = true;
    m_mask = 0;
    m_wake = false;
    ++m_generation;
    return std::make_shared<FakeSerialPort>(shared_from_this(), m_generation);
}

std::string FakeSerialPlatform::errorText(int code) const {
    return std::system_category().message(code);
}

} // namespace tessaro
