// TSerial: one serial port, its configuration, opening and closing, line
// settings, modem outputs, queue counts and failure reports.
// TEventThread: waits for line events, reads and frames received bytes and has
// the main thread run every handler while it waits for the handler to return.
//
// Threads: all TSerial operations run on the main thread. The event thread
// shares the flags Active, Closing and ThreadActive and the device with it;
// they are guarded by m_mutex/m_cv, which also carries the close handshake
// and the completion of main-thread calls. A close or destruction releases a
// waiting event thread at once, and the notification it posted is dropped:
// once SetActive(false) returns, no handler of that connection runs.
#pragma once

#include "MainThreadQueue.h"
#include "MessageFraming.h"
#include "SerialPlatform.h"

#include <QObject>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

class TSerial;

using sPorts = std::uint8_t;
enum eParity { paNone, PaOdd, paEven, paMark, paSpace };
enum eDataBits { d7bit, d8bit };
enum eStopBits { st1bit, st2bit };
enum eFlowControl { fcNone, fcRTS_CTS, fcDTR_DSR, fcXON_XOF };
enum eOpModes { rxNormal, rxMessage };
enum eNotifyErr { neDialog, neEvent, neNone };
enum eModemInSignal { siCTS, siDSR, siRLSD };
enum eControlLine { clRTS, clDTR };

using TNotifyEvent = std::function<void(TSerial* Sender)>;
using TRxMessageEvent = std::function<void(TSerial* Sender, std::string RxMessage)>;
using TSignalChangeEvent =
    std::function<void(TSerial* Sender, eModemInSignal Signal, bool SignalState)>;
using TWriteCompletedEvent = std::function<void()>;

namespace tessaro {

// Shows a modal error box; replaceable so tests can record boxes instead.
using ErrorBoxFunction = std::function<void(const std::string& caption, const std::string& text)>;
// Installs f (nullptr restores the message box) and returns the previous one.
ErrorBoxFunction setErrorBoxFunction(ErrorBoxFunction f);

constexpr std::uint32_t serialEventMask = 0x017D;

} // namespace tessaro

class TEventThread {
public:
    explicit TEventThread(TSerial* owner) : m_owner(owner) {}
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
    void readMessages(tessaro::SerialPort& port);
    void frameByte(unsigned char c);
    void deliverMessage();
    void signalChanged(tessaro::SerialPort& port, eModemInSignal signal, std::uint32_t bit,
                       bool& state);
    void pauseAfterFailure();

    TSerial* m_owner;
    std::thread m_thread;
    std::atomic<bool> m_terminated{false};
};

class TSerial : public QObject {
    Q_OBJECT
public:
    explicit TSerial(QObject* owner = nullptr);
    ~TSerial() override;
    TSerial(const TSerial&) = delete;
    TSerial& operator=(const TSerial&) = delete;

    sPorts Port() const { return m_port; }
    void SetPort(sPorts v);
    std::int32_t Baudrate() const { return m_baudrate; }
    void SetBaudrate(std::int32_t v);
    eParity Parity() const { return m_parity; }
    void SetParity(eParity v);
    eDataBits DataBits() const { return m_dataBits; }
    void SetDataBits(eDataBits v);
    eStopBits StopBits() const { return m_stopBits; }
    void SetStopBits(eStopBits v);
    std::uint16_t RxQueueSize() const { return m_rxQueueSize; }
    void SetRxQueueSize(std::uint16_t v);
    std::uint16_t TxQueueSize() const { return m_txQueueSize; }
    void SetTxQueueSize(std::uint16_t v);
    eFlowControl FlowMode() const { return m_flowMode; }
    void SetFlowMode(eFlowControl v);
    bool CheckParity() const { return m_checkParity; }
    void SetCheckParity(bool v);
    std::int32_t RxWaiting();
    std::int32_t TxWaiting();
    eOpModes RxEventMode() const { return m_rxEventMode.load(); }
    void SetRxEventMode(eOpModes v) { m_rxEventMode = v; }
    char MessageStartChar() const { return m_messageStartChar.load(); }
    void SetMessageStartChar(char v) { m_messageStartChar = v; }
    char MessageEndChar() const { return m_messageEndChar.load(); }
    void SetMessageEndChar(char v) { m_messageEndChar = v; }
    std::uint16_t MessageAppendCount() const { return m_messageAppendCount.load(); }
    void SetMessageAppendCount(std::uint16_t v) { m_messageAppendCount = v; }
    eNotifyErr NotifyErrors() const { return m_notifyErrors.load(); }
    void SetNotifyErrors(eNotifyErr v) { m_notifyErrors = v; }
    std::int32_t ErrorCode() const { return m_errorCode.load(); }
    bool Active() const { return m_active.load(); }
    void SetActive(bool Value);

    TNotifyEvent OnRxData;
    TNotifyEvent OnTxEmpty;
    TRxMessageEvent OnMessage;
    TNotifyEvent OnError;
    TNotifyEvent OnBreak;
    TNotifyEvent OnRing;
    TSignalChangeEvent OnSignalChange;
    TWriteCompletedEvent OnWriteCompleted;

    // Maps Port n to a device path; the default gives /dev/ttyS(n-1) (COMn on Windows).
    void SetPortResolver(std::function<std::string(int port)> resolver);
    std::string devicePath() const;
    // How the open port's bytes arrive when not from that device ("via gpsd").
    std::string route();
    // The serial layer in use; tests install a fake before the first open.
    void setPlatform(std::shared_ptr<tessaro::SerialPlatform> platform);

    // The system's text for an error code, without trailing blanks, control
    // characters and full stops.
    static std::string ErrorText(int code);

    // Notifications handed to the main thread that have not run yet.
    std::size_t notificationsPending() { return m_mainQueue->pending(); }

    // The records as last built, for inspection.
    const tessaro::LineSettings& lineSettings() const { return m_lineSettings; }
    const tessaro::Timeouts& timeouts() const { return m_timeouts; }

private:
    friend class TEventThread;

    void reopen();
    template <typename T> void storeAndReopen(T& field, T value) {
        if (value == field)
            return;
        field = value;
        reopen();
    }
    std::shared_ptr<tessaro::SerialPort> currentDevice();
    void closePort();
    void openPort();
    void ApplySettings();
    void StartEvents();
    void SetControlLine(eControlLine Line, bool On);
    void UpdateStatus();
    void HandleError(int code);
    void notifyError(int code);
    void ShowErrorDialog(int Code);
    int ReadByte(tessaro::SerialPort& port, unsigned char& byte);

    // Event thread side: runs fn on the main thread and waits until it has
    // run, unless a close or the stop request sets the wait aside first.
    // Returns true when the call has run (fn only while its connection is open).
    bool runOnMainThread(std::function<void()> fn);
    void reportFromThread(int code);

    sPorts m_port = 1;
    std::int32_t m_baudrate = 9600;
    eParity m_parity = paNone;
    eDataBits m_dataBits = d7bit;
    eStopBits m_stopBits = st1bit;
    std::uint16_t m_rxQueueSize = 1024;
    std::uint16_t m_txQueueSize = 1024;
    eFlowControl m_flowMode = fcNone;
    bool m_checkParity = true;
    // Read by the event thread for every event and byte.
    std::atomic<eOpModes> m_rxEventMode{rxNormal};
    std::atomic<char> m_messageStartChar{'\x02'};
    std::atomic<char> m_messageEndChar{'\x03'};
    std::atomic<std::uint16_t> m_messageAppendCount{0};
    std::atomic<eNotifyErr> m_notifyErrors{neDialog};
    std::atomic<std::int32_t> m_errorCode{0};

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
    std::shared_ptr<tessaro::SerialPort> m_device; // guarded by m_mutex
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
