// The private side of TSerial, shared by the component and its event thread;
// nothing outside serial/ includes this file.
//
// Threads: every TSerial operation runs on the main thread. The event thread
// shares the flags m_active, m_closing and m_threadActive and the device with
// it; they are guarded by m_mutex/m_cv, which also carries the close handshake
// and the completion of main-thread calls. A close or destruction releases a
// waiting event thread at once, and the notification it posted is dropped:
// once SetActive(false) returns, no handler of that connection runs.
#pragma once

#include "MainThreadQueue.h"
#include "MessageFraming.h"
#include "Serial4.h"
#include "SerialPlatform.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace tessaro {

// Every line event the component reports.
constexpr std::uint32_t serialEventMask =
    evRxChar | evTxEmpty | evCts | evDsr | evRlsd | evBreak | evRing;

// The driver queue sizes asked for, in bytes, until set otherwise.
constexpr std::uint16_t defaultQueueSize = 1024;

// How long the event thread rests while the port is closed, and after a
// failed wait before it tries again.
constexpr std::chrono::milliseconds eventThreadPause{100};

// How often a port whose device failed, or could not be opened, opens it anew.
constexpr std::chrono::milliseconds reopenPause{1000};

// What the event thread needs to open the device of a connection anew,
// taken at the open on the main thread.
struct ReopenRecipe {
    std::string path;
    std::shared_ptr<SerialPlatform> platform;
    LineSettings lineSettings;
    Timeouts timeouts;
    std::uint16_t rxQueueSize = 0;
    std::uint16_t txQueueSize = 0;
    int lastError = 0; // already reported for this connection
};

} // namespace tessaro

class TSerialPrivate;

// Waits for line events, reads and frames received bytes and has the main
// thread run every handler while it waits for the handler to return.
class TEventThread {
public:
    explicit TEventThread(TSerialPrivate& d) : d(d) {}
    ~TEventThread();
    TEventThread(const TEventThread&) = delete;
    TEventThread& operator=(const TEventThread&) = delete;

    void Resume();    // starts the body at the first call, later calls change nothing
    void Terminate(); // the stop request
    void WaitFor();   // joins the body if it ever ran
    bool Terminated() const { return m_terminated.load(); }
    bool Started() const { return m_thread.joinable(); }

private:
    void Execute();
    void handleEvents(tessaro::SerialPort& port, std::uint32_t events);
    void notify(TNotifyEvent TSerial::*handler);
    void readMessages(tessaro::SerialPort& port);
    void frameByte(unsigned char c);
    void countBytes();
    void deliverMessage();
    void signalChanged(tessaro::SerialPort& port, eModemInSignal signal, std::uint32_t bit,
                       bool& state);
    void pauseAfterFailure();
    void dropDevice(const std::shared_ptr<tessaro::SerialPort>& port, int reported);
    void reopenDevice();
    void reportReopenError(int code);

    TSerialPrivate& d;
    std::thread m_thread;
    std::atomic<bool> m_terminated{false};
    // The connection's source failed and has not delivered since.
    bool m_failed = false;
    std::chrono::steady_clock::time_point m_nextReopen{};
    std::uint64_t m_uncounted = 0; // bytes read, not yet in m_bytesReceived
};

class TSerialPrivate {
public:
    explicit TSerialPrivate(TSerial* q);

    // --- main thread ---
    void reopen();
    template <typename T> void storeAndReopen(T& field, T value) {
        if (value == field) {
            return;
        }
        field = value;
        reopen();
    }
    std::shared_ptr<tessaro::SerialPort> currentDevice();
    void closePort();
    // Sets a waiting event thread's call aside and waits until the thread
    // has let go of the connection; forgets `device` if it is still current.
    void waitForEventThread(const std::shared_ptr<tessaro::SerialPort>& device);
    void openPort();
    void ApplySettings();
    void setRecipeSettings();
    void StartEvents();
    void SetControlLine(eControlLine Line, bool On);
    void UpdateStatus();
    void HandleError(int code);
    void notifyError(int code);
    void ShowErrorDialog(int Code);

    // --- event thread ---
    // Runs fn on the main thread and waits until it has run, unless a close or
    // the stop request sets the wait aside first. Returns true when the call
    // has run (fn only while its connection is open).
    bool runOnMainThread(std::function<void()> fn);
    void reportFromThread(int code, const std::string& source);
    int ReadByte(tessaro::SerialPort& port, unsigned char& byte);

    TSerial* const q;

    sPorts m_port = 1;
    std::int32_t m_baudrate = 9600;
    eParity m_parity = paNone;
    eDataBits m_dataBits = d7bit;
    eStopBits m_stopBits = st1bit;
    std::uint16_t m_rxQueueSize = tessaro::defaultQueueSize;
    std::uint16_t m_txQueueSize = tessaro::defaultQueueSize;
    eFlowControl m_flowMode = fcNone;
    bool m_checkParity = true;
    // Read by the event thread for every event and byte.
    std::atomic<eOpModes> m_rxEventMode{rxNormal};
    std::atomic<char> m_messageStartChar{'\x02'};
    std::atomic<char> m_messageEndChar{'\x03'};
    std::atomic<std::uint16_t> m_messageAppendCount{0};
    std::atomic<bool> m_messageEndAtLineFeed{false};
    std::atomic<std::uint64_t> m_bytesReceived{0}; // written by the event thread
    std::atomic<eNotifyErr> m_notifyErrors{neDialog};
    std::atomic<std::int32_t> m_errorCode{0};
    bool m_retryOpen = false;
    std::string m_errorSource; // main thread

    tessaro::LineSettings m_lineSettings;
    tessaro::Timeouts m_timeouts;
    int m_rxCount = 0; // status record, filled by UpdateStatus
    int m_txCount = 0;

    // Owned by the event thread (handlers get copies).
    tessaro::FramingState m_framing; // FrameState, TrailerLeft, MessageBuffer
    bool m_ctsState = false;
    bool m_dsrState = false;
    bool m_rlsdState = false;

    std::function<std::string(int)> m_resolver;
    std::shared_ptr<tessaro::SerialPlatform> m_platform;

    std::mutex m_mutex;
    std::condition_variable m_cv;
    // Null while active only when the device failed or could not be opened:
    // the event thread then opens it anew.
    std::shared_ptr<tessaro::SerialPort> m_device; // guarded by m_mutex
    tessaro::ReopenRecipe m_recipe;                // guarded by m_mutex
    std::atomic<bool> m_active{false};             // written under m_mutex
    // Counts opens (main thread, under m_mutex). The event thread notes the
    // one it works on, so that no notification of a connection that has been
    // closed meanwhile runs against the next state of the port.
    std::uint64_t m_connection = 0;
    std::uint64_t m_threadConnection = 0; // event thread only
    std::atomic<bool> m_closing{false};   // written under m_mutex
    bool m_threadActive = false;          // guarded by m_mutex

    // Calls still queued when the component goes are dropped with it.
    std::unique_ptr<tessaro::MainThreadQueue> m_mainQueue;
    std::unique_ptr<TEventThread> m_thread;
};
