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
                m_failed = false;
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
            if (d.m_threadConnection != d.m_connection) {
                // A connection without a device failed to open on the main thread.
                m_failed = !port;
                m_nextReopen = std::chrono::steady_clock::now() + tessaro::reopenPause;
            }
            d.m_threadConnection = d.m_connection;
        }

        if (!port) {
            reopenDevice();
            continue;
        }
        std::uint32_t events = 0;
        if (int rc = port->waitEvents(events)) {
            // The line broke (receiver unplugged): a half message must not be
            // completed by the bytes of whatever device comes back.
            d.m_framing.FrameState = frIdle;
            m_failed = true;
            if (d.m_active) {
                d.reportFromThread(rc, port->failureSource());
            }
            if (port->reconnects()) {
                pauseAfterFailure();
            } else {
                dropDevice(port, rc);
            }
            continue;
        }
        if (d.m_closing) {
            continue;
        }
        // The source delivers again: reopened, or reconnected by itself.
        if (events != 0 && m_failed) {
            m_failed = false;
            notify(&TSerial::OnRecover);
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

// The failed device goes at once (its lock and its node with it), so that the
// receiver can come back under the same name; the next attempt waits a pause.
void TEventThread::dropDevice(const std::shared_ptr<tessaro::SerialPort>& port, int reported) {
    bool dropped = false;
    {
        std::lock_guard<std::mutex> lock(d.m_mutex);
        if (d.m_active && !d.m_closing && d.m_device == port &&
            d.m_connection == d.m_threadConnection) {
            d.m_device.reset();
            d.m_recipe.lastError = reported;
            dropped = true;
        }
    }
    if (dropped) {
        (void)port->close();
        m_nextReopen = std::chrono::steady_clock::now() + tessaro::reopenPause;
    } else {
        pauseAfterFailure();
    }
}

// Opens the connection's device anew, at most once a pause, and adopts it
// unless the port was closed or opened anew meanwhile.
void TEventThread::reopenDevice() {
    tessaro::ReopenRecipe recipe;
    {
        std::unique_lock<std::mutex> lock(d.m_mutex);
        d.m_cv.wait_until(lock, m_nextReopen,
                          [&] { return m_terminated || d.m_closing || !d.m_active; });
        if (m_terminated || d.m_closing || !d.m_active ||
            std::chrono::steady_clock::now() < m_nextReopen) {
            return;
        }
        recipe = d.m_recipe;
    }
    m_nextReopen = std::chrono::steady_clock::now() + tessaro::reopenPause;
    int error = 0;
    const std::shared_ptr<tessaro::SerialPort> device = recipe.platform->open(recipe.path, error);
    if (!device) {
        reportReopenError(error);
        return;
    }
    // Reported at the first open already; a device that fails now fails its wait.
    (void)device->setupQueues(recipe.rxQueueSize, recipe.txQueueSize);
    (void)device->applyLineSettings(recipe.lineSettings);
    (void)device->applyTimeouts(recipe.timeouts);
    device->setModemOutput(tessaro::ModemOutput::dtr, true);
    device->setModemOutput(tessaro::ModemOutput::rts, true);
    (void)device->armEvents(tessaro::serialEventMask);
    bool adopted = false;
    {
        std::lock_guard<std::mutex> lock(d.m_mutex);
        if (d.m_active && !d.m_closing && !m_terminated && !d.m_device &&
            d.m_connection == d.m_threadConnection) {
            d.m_device = device;
            d.m_recipe.lastError = 0;
            adopted = true;
        }
    }
    // Recovered once it delivers: a device that opens but fails at once
    // does not flap between report and recovery.
    if (!adopted) {
        (void)device->close();
    }
}

// Each reason once: the status shows it until it changes or the port recovers.
void TEventThread::reportReopenError(int code) {
    {
        std::lock_guard<std::mutex> lock(d.m_mutex);
        if (code == d.m_recipe.lastError || d.m_connection != d.m_threadConnection) {
            return;
        }
        d.m_recipe.lastError = code;
    }
    d.reportFromThread(code, std::string());
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
    countBytes();
}

// The count goes to the shared counter once a batch, not once a byte.
void TEventThread::countBytes() {
    d.m_bytesReceived.fetch_add(m_uncounted, std::memory_order_relaxed);
    m_uncounted = 0;
}

void TEventThread::frameByte(unsigned char byte) {
    ++m_uncounted;
    if (tessaro::frameByte(d.m_framing, byte, d.m_messageStartChar.load(),
                           d.m_messageEndChar.load(), d.m_messageAppendCount.load(),
                           d.m_messageEndAtLineFeed.load() ? '\n' : -1)) {
        deliverMessage();
    }
}

void TEventThread::deliverMessage() {
    countBytes();
    TSerial* q = d.q;
    d.runOnMainThread([q, message = d.m_framing.MessageBuffer] {
        if (q->OnMessage) {
            q->OnMessage(q, message);
        }
    });
}
