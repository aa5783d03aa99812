#include "Serial4_p.h"

TEventThread::~TEventThread() {
    Terminate();
    WaitFor();
}

void TEventThread::Resume() {
    if (!m_thread.joinable() && !m_terminated) {
        m_thread = std::thread([this] { Execute(); });
    }
}

void TEventThread::Terminate() {
    m_terminated = true;
}

void TEventThread::WaitFor() {
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

void TEventThread::Execute() {
    while (true) {
        std::shared_ptr<tessaro::SerialPort> port;
        {
            std::unique_lock<std::mutex> lock(d.m_mutex);
            if (m_terminated) {
                break;
            }
            if (!d.m_active) {
                if (d.m_threadActive) {
                    d.m_threadActive = false;
                    d.m_cv.notify_all();
                }
                // Idle while closed; an open or the stop request ends the pause early.
                d.m_cv.wait_for(lock, tessaro::eventThreadPause,
                                [&] { return m_terminated || d.m_active; });
                continue;
            }
            d.m_threadActive = true;
            port = d.m_device;
            d.m_threadConnection = d.m_connection;
        }

        std::uint32_t events = 0;
        if (int rc = port->waitEvents(events)) {
            // The line broke (receiver unplugged): a half message must not be
            // completed by the bytes of whatever device comes back.
            d.m_framing.FrameState = frIdle;
            if (d.m_active) {
                d.reportFromThread(rc);
            }
            pauseAfterFailure();
            continue;
        }
        if (d.m_closing) {
            continue;
        }
        handleEvents(*port, events);
    }
    std::lock_guard<std::mutex> lock(d.m_mutex);
    d.m_threadActive = false;
    d.m_cv.notify_all();
}

// A device that keeps failing (receiver unplugged) would otherwise be retried
// at once, costing a core and flooding the main thread with reports.
void TEventThread::pauseAfterFailure() {
    std::unique_lock<std::mutex> lock(d.m_mutex);
    d.m_cv.wait_for(lock, tessaro::eventThreadPause,
                    [&] { return m_terminated || d.m_closing || !d.m_active; });
}

void TEventThread::handleEvents(tessaro::SerialPort& port, std::uint32_t events) {
    if (events & tessaro::evCts) {
        signalChanged(port, siCTS, tessaro::msCtsOn, d.m_ctsState);
    }
    if (events & tessaro::evDsr) {
        signalChanged(port, siDSR, tessaro::msDsrOn, d.m_dsrState);
    }
    if (events & tessaro::evRlsd) {
        signalChanged(port, siRLSD, tessaro::msRlsdOn, d.m_rlsdState);
    }
    if (events & tessaro::evTxEmpty) {
        notify(&TSerial::OnTxEmpty);
    }
    if (events & tessaro::evBreak) {
        notify(&TSerial::OnBreak);
    }
    if (events & tessaro::evRing) {
        notify(&TSerial::OnRing);
    }
    if (events & tessaro::evRxChar) {
        if (d.m_rxEventMode.load() == rxNormal) {
            notify(&TSerial::OnRxData);
        } else {
            readMessages(port);
        }
    }
}

// Runs the handler in that slot, if one is set, on the main thread.
void TEventThread::notify(TNotifyEvent TSerial::*handler) {
    TSerial* q = d.q;
    d.runOnMainThread([q, handler] {
        if (q->*handler) {
            (q->*handler)(q);
        }
    });
}

void TEventThread::signalChanged(tessaro::SerialPort& port, eModemInSignal signal,
                                 std::uint32_t bit, bool& state) {
    std::uint32_t status = 0;
    // A failed status read is not reported; the line keeps its last state.
    if (port.modemStatus(status) == 0) {
        state = (status & bit) != 0;
    }
    const bool on = state;
    TSerial* q = d.q;
    d.runOnMainThread([q, signal, on] {
        if (q->OnSignalChange) {
            q->OnSignalChange(q, signal, on);
        }
    });
}

void TEventThread::readMessages(tessaro::SerialPort& port) {
    TSerial* q = d.q;
    // The handler slot belongs to the main thread: ask there whether it is set.
    auto assigned = std::make_shared<bool>(false);
    if (!d.runOnMainThread([q, assigned] { *assigned = static_cast<bool>(q->OnMessage); }) ||
        !*assigned) {
        return;
    }
    unsigned char c = 0;
    // Stop at a close: the port is being released and what is left stays queued.
    while (d.m_active && !m_terminated && d.ReadByte(port, c) == 1) {
        frameByte(c);
    }
}

void TEventThread::frameByte(unsigned char byte) {
    d.m_bytesReceived.fetch_add(1, std::memory_order_relaxed);
    if (tessaro::frameByte(d.m_framing, byte, d.m_messageStartChar.load(),
                           d.m_messageEndChar.load(), d.m_messageAppendCount.load(),
                           d.m_messageEndAtLineFeed.load() ? '\n' : -1)) {
        deliverMessage();
    }
}

void TEventThread::deliverMessage() {
    TSerial* q = d.q;
    d.runOnMainThread([q, message = d.m_framing.MessageBuffer] {
        if (q->OnMessage) {
            q->OnMessage(q, message);
        }
    });
}
