#include "Serial4.h"

#include <chrono>

using namespace std::chrono_literals;

TEventThread::~TEventThread() {
    Terminate();
    WaitFor();
}

void TEventThread::Resume() {
    if (!m_thread.joinable() && !m_terminated)
        m_thread = std::thread([this] { Execute(); });
}

void TEventThread::Terminate() {
    m_terminated = true;
}

void TEventThread::WaitFor() {
    if (m_thread.joinable())
        m_thread.join();
}

void TEventThread::Execute() {
    TSerial& s = *m_owner;
    while (true) {
        std::shared_ptr<tessaro::SerialPort> port;
        {
            std::unique_lock<std::mutex> lock(s.m_mutex);
            if (m_terminated)
                break;
            if (!s.m_active) {
                if (s.m_threadActive) {
                    s.m_threadActive = false;
                    s.m_cv.notify_all();
                }
                // Idle while closed; an open or the stop request ends the pause early.
                s.m_cv.wait_for(lock, 100ms, [&] { return m_terminated || s.m_active; });
                continue;
            }
            s.m_threadActive = true;
            port = s.m_device;
            s.m_threadConnection = s.m_connection;
        }

        std::uint32_t events = 0;
        if (int rc = port->waitEvents(events)) {
            // The line broke (receiver unplugged): a half message must not be
            // completed by the bytes of whatever device comes back.
            s.m_framing.FrameState = frIdle;
            if (s.m_active)
                s.reportFromThread(rc);
            pauseAfterFailure();
            continue;
        }
        if (s.m_closing)
            continue;
        handleEvents(*port, events);
    }
    std::lock_guard<std::mutex> lock(s.m_mutex);
    s.m_threadActive = false;
    s.m_cv.notify_all();
}

// A device that keeps failing (receiver unplugged) would otherwise be retried
// at once, costing a core and flooding the main thread with reports.
void TEventThread::pauseAfterFailure() {
    TSerial& s = *m_owner;
    std::unique_lock<std::mutex> lock(s.m_mutex);
    s.m_cv.wait_for(lock, 100ms, [&] { return m_terminated || s.m_closing || !s.m_active; });
}

void TEventThread::handleEvents(tessaro::SerialPort& port, std::uint32_t events) {
    TSerial& s = *m_owner;
    if (events & tessaro::evCts)
        signalChanged(port, siCTS, tessaro::msCtsOn, s.m_ctsState);
    if (events & tessaro::evDsr)
        signalChanged(port, siDSR, tessaro::msDsrOn, s.m_dsrState);
    if (events & tessaro::evRlsd)
        signalChanged(port, siRLSD, tessaro::msRlsdOn, s.m_rlsdState);
    if (events & tessaro::evTxEmpty)
        s.runOnMainThread([&s] {
            if (s.OnTxEmpty)
                s.OnTxEmpty(&s);
        });
    if (events & tessaro::evBreak)
        s.runOnMainThread([&s] {
            if (s.OnBreak)
                s.OnBreak(&s);
        });
    if (events & tessaro::evRing)
        s.runOnMainThread([&s] {
            if (s.OnRing)
                s.OnRing(&s);
        });
    if (events & tessaro::evRxChar) {
        if (s.RxEventMode() == rxNormal)
            s.runOnMainThread([&s] {
                if (s.OnRxData)
                    s.OnRxData(&s);
            });
        else
            readMessages(port);
    }
}

void TEventThread::signalChanged(tessaro::SerialPort& port, eModemInSignal signal,
                                 std::uint32_t bit, bool& state) {
    TSerial& s = *m_owner;
    std::uint32_t status = 0;
    // A failed status read is not reported; the line keeps its last state.
    if (port.modemStatus(status) == 0)
        state = (status & bit) != 0;
    const bool on = state;
    s.runOnMainThread([&s, signal, on] {
        if (s.OnSignalChange)
            s.OnSignalChange(&s, signal, on);
    });
}

void TEventThread::readMessages(tessaro::SerialPort& port) {
    TSerial& s = *m_owner;
    // The handler slot belongs to the main thread: ask there whether it is set.
    auto assigned = std::make_shared<bool>(false);
    if (!s.runOnMainThread([&s, assigned] { *assigned = static_cast<bool>(s.OnMessage); }) ||
        !*assigned)
        return;
    unsigned char c = 0;
    // Stop at a close: the port is being released and what is left stays queued.
    while (s.m_active && !m_terminated && s.ReadByte(port, c) == 1)
        frameByte(c);
}

void TEventThread::frameByte(unsigned char byte) {
    TSerial& s = *m_owner;
    if (tessaro::frameByte(s.m_framing, byte, s.MessageStartChar(), s.MessageEndChar(),
                           s.MessageAppendCount()))
        deliverMessage();
}

void TEventThread::deliverMessage() {
    TSerial& s = *m_owner;
    s.runOnMainThread([&s, message = s.m_framing.MessageBuffer] {
        if (s.OnMessage)
            s.OnMessage(&s, message);
    });
}
