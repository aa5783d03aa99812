// A scriptable serial layer for tests: line events, received bytes, modem
// lines and failures of each step are set by the test; every call is logged.
#pragma once

#include "SerialPlatform.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

namespace tessaro {

class FakeSerialPlatform : public SerialPlatform,
                           public std::enable_shared_from_this<FakeSerialPlatform> {
public:
    // Error code each operation fails with; 0 lets it succeed.
    struct Failures {
        int open = 0;
        int setupQueues = 0;
        int lineSettings = 0;
        int timeouts = 0;
        int arm = 0;    // arming with a non-zero mask
        int disarm = 0; // arming with mask 0 (it still wakes the waiter)
        int purge = 0;
        int close = 0;
        int queueCounts = 0;
        int modemStatus = 0;
        int wait = 0;     // every event wait fails at once
        int readWait = 0; // every one-byte read reports a failed wait
    };

    void setFailures(const Failures& failures);
    // One wait result with these events.
    void pushEvents(std::uint32_t events);
    // Queues bytes and reports them as one received-character event.
    void pushBytes(const std::string& bytes);
    void setModemStatus(std::uint32_t bits);
    void setQueueCounts(int rx, int tx);

    std::vector<std::string> calls() const;
    void clearCalls();
    LineSettings lastLineSettings() const;
    Timeouts lastTimeouts() const;
    std::string lastPath() const;
    bool isOpen() const;
    std::size_t rxQueued() const;
    int waitsStarted() const;
    // Waits until the event thread has taken every pushed event and is
    // waiting again (or the bound passes).
    bool waitUntilIdle(std::chrono::milliseconds bound) const;

    std::shared_ptr<SerialPort> open(const std::string& path, int& error) override;
    std::string errorText(int code) const override;

private:
    friend class FakeSerialPort;
    void log(std::string entry); // with m_mutex held

    mutable std::mutex m_mutex;
    mutable std::condition_variable m_cv;
    Failures m_failures;
    std::vector<std::string> m_calls;
    std::deque<std::uint32_t> m_events;
    std::deque<unsigned char> m_rx;
    std::uint32_t m_modem = 0;
    int m_rxCount = -1; // -1: report the bytes queued
    int m_txCount = 0;
    LineSettings m_lineSettings;
    Timeouts m_timeouts;
    std::string m_path;
    bool m_open = false;
    std::uint32_t m_mask = 0;
    bool m_wake = false;
    bool m_waiting = false;
    int m_waitsStarted = 0;
    unsigned m_generation = 0; // one per open, so a stale port does nothing
};

} // namespace tessaro
