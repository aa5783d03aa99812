#include "Serial4.h"

#include <QMessageBox>
#include <QString>

#include <algorithm>
#include <array>
#include <chrono>
#include <utility>

namespace tessaro {
namespace {

constexpr std::array<std::int32_t, 15> validBaudrates = {110,   300,   600,    1200,   2400,
                                                         4800,  9600,  14400,  19200,  38400,
                                                         56000, 57600, 115200, 128000, 256000};

void messageBox(const std::string& caption, const std::string& text) {
    QMessageBox box(QMessageBox::Critical, QString::fromLatin1(caption.c_str()),
                    QString::fromLocal8Bit(text.c_str()), QMessageBox::Ok);
    box.exec();
}

ErrorBoxFunction& errorBox() {
    static ErrorBoxFunction f = messageBox;
    return f;
}

} // namespace

ErrorBoxFunction setErrorBoxFunction(ErrorBoxFunction f) {
    ErrorBoxFunction previous = std::move(errorBox());
    errorBox() = f ? std::move(f) : ErrorBoxFunction(messageBox);
    return previous;
}

} // namespace tessaro

using namespace std::chrono_literals;

namespace {

std::string defaultDevicePath(int port) {
#ifdef _WIN32
    return "\\\\.\\COM" + std::to_string(port);
#else
    return "/dev/ttyS" + std::to_string(port - 1);
#endif
}

} // namespace

TSerial::TSerial(QObject* owner)
    : QObject(owner), m_resolver(defaultDevicePath), m_platform(tessaro::systemSerialPlatform()),
      m_mainQueue(std::make_unique<tessaro::MainThreadQueue>()),
      m_thread(std::make_unique<TEventThread>(this)) {}

TSerial::~TSerial() {
    SetActive(false);
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_thread->Terminate();
    }
    m_cv.notify_all();
    // The thread must be gone before the state it uses goes away.
    m_thread->WaitFor();
}

void TSerial::SetPortResolver(std::function<std::string(int)> resolver) {
    m_resolver = std::move(resolver);
}

std::string TSerial::devicePath() const {
    return m_resolver ? m_resolver(m_port) : std::string();
}

std::string TSerial::route() {
    const std::shared_ptr<tessaro::SerialPort> device = currentDevice();
    return device ? device->route() : std::string();
}

void TSerial::setPlatform(std::shared_ptr<tessaro::SerialPlatform> platform) {
    m_platform = platform ? std::move(platform) : tessaro::systemSerialPlatform();
}

// --- properties -----------------------------------------------------------

std::shared_ptr<tessaro::SerialPort> TSerial::currentDevice() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_device;
}

void TSerial::reopen() {
    if (Active())
        SetActive(true);
}

void TSerial::SetPort(sPorts v) {
    storeAndReopen(m_port, v);
}

void TSerial::SetBaudrate(std::int32_t v) {
    const auto& valid = tessaro::validBaudrates;
    if (std::find(valid.begin(), valid.end(), v) == valid.end()) {
        tessaro::errorBox()("Fehler", "Baudrate is not valid");
        return;
    }
    if (v == m_baudrate)
        return;
    m_baudrate = v;
    reopen();
}

void TSerial::SetParity(eParity v) {
    storeAndReopen(m_parity, v);
}

void TSerial::SetDataBits(eDataBits v) {
    storeAndReopen(m_dataBits, v);
}

void TSerial::SetStopBits(eStopBits v) {
    storeAndReopen(m_stopBits, v);
}

void TSerial::SetRxQueueSize(std::uint16_t v) {
    m_rxQueueSize = v;
    reopen();
}

void TSerial::SetTxQueueSize(std::uint16_t v) {
    m_txQueueSize = v;
    reopen();
}

void TSerial::SetFlowMode(eFlowControl v) {
    storeAndReopen(m_flowMode, v);
}

void TSerial::SetCheckParity(bool v) {
    storeAndReopen(m_checkParity, v);
}

std::int32_t TSerial::RxWaiting() {
    if (!Active())
        return 0;
    UpdateStatus();
    return m_rxCount;
}

std::int32_t TSerial::TxWaiting() {
    if (!Active())
        return 0;
    UpdateStatus();
    return m_txCount;
}

// --- opening and closing --------------------------------------------------

void TSerial::SetActive(bool Value) {
    if (Active())
        closePort();
    if (Value)
        openPort();
}

void TSerial::closePort() {
    const std::shared_ptr<tessaro::SerialPort> device = currentDevice();
    {
        // Inactive from the start: a handler of a failed step below (or the
        // event loop of an error box) that closes the port finds it closing.
        std::lock_guard<std::mutex> lock(m_mutex);
        m_active = false;
    }
    if (int rc = device->purge())
        HandleError(rc);
    SetControlLine(clDTR, false);
    SetControlLine(clRTS, false);
    {
        // Closing also sets aside a notification the event thread waits on.
        std::lock_guard<std::mutex> lock(m_mutex);
        m_closing = true;
    }
    m_cv.notify_all();
    if (int rc = device->armEvents(0))
        HandleError(rc);
    {
        // Normally the thread releases the port within milliseconds; the bound
        // keeps a stuck device from holding the window for more than 7.5 s.
        std::unique_lock<std::mutex> lock(m_mutex);
        for (int i = 0; i < 100 && m_threadActive; ++i)
            m_cv.wait_for(lock, 75ms, [this] { return !m_threadActive; });
        m_closing = false;
        if (m_device == device)
            m_device.reset();
    }
    if (int rc = device->close())
        HandleError(rc);
}

// Every failure report below runs a handler, or a modal error box whose event
// loop runs the window: either may close the port or open it anew. The steps
// after such a report then stop, as the port is no longer the one they open.
void TSerial::openPort() {
    int error = 0;
    std::shared_ptr<tessaro::SerialPort> device = m_platform->open(devicePath(), error);
    if (!device) {
        HandleError(error);
        return;
    }
    {
        // Active from here on, so that a handler of a failed step can close it.
        std::lock_guard<std::mutex> lock(m_mutex);
        m_device = device;
        ++m_connection;
        m_active = true;
    }
    m_cv.notify_all();
    if (int rc = device->setupQueues(m_rxQueueSize, m_txQueueSize))
        HandleError(rc);
    if (currentDevice() != device)
        return;
    ApplySettings();
    if (currentDevice() != device)
        return;
    SetControlLine(clDTR, true);
    SetControlLine(clRTS, true);
    StartEvents();
}

void TSerial::ApplySettings() {
    tessaro::LineSettings s;
    s.baudRate = m_baudrate;
    s.binary = true;
    s.parityCheck = m_checkParity;
    switch (m_flowMode) {
    case fcNone:
        break;
    case fcRTS_CTS:
        s.outxCtsFlow = true;
        s.rtsHandshake = true;
        break;
    case fcDTR_DSR:
        s.outxDsrFlow = true;
        s.dtrHandshake = true;
        break;
    case fcXON_XOF:
        s.outX = true;
        s.inX = true;
        break;
    }
    s.xonLim = static_cast<std::uint16_t>(m_rxQueueSize / 3);
    s.xoffLim = s.xonLim;
    s.byteSize = m_dataBits == d8bit ? 8 : 7;
    s.parity = static_cast<tessaro::ParityCode>(m_parity);
    s.stopBits = m_stopBits == st2bit ? tessaro::twoStopBits : tessaro::oneStopBit;
    s.xonChar = 0x11;
    s.xoffChar = 0x13;
    s.errorChar = 0x3F;
    m_lineSettings = s;
    if (!Active())
        return;

    const std::shared_ptr<tessaro::SerialPort> device = currentDevice();
    if (int rc = device->applyLineSettings(m_lineSettings)) {
        HandleError(rc);
        if (currentDevice() != device)
            return;
    }
    m_timeouts.readInterval = 0xFFFFFFFF;
    m_timeouts.readTotalMultiplier = 0;
    m_timeouts.readTotalConstant = 0;
    // The write time-out stays once a flow mode has been applied.
    if (m_flowMode != fcNone) {
        m_timeouts.writeTotalMultiplier = 0;
        m_timeouts.writeTotalConstant = 10000;
    }
    if (int rc = device->applyTimeouts(m_timeouts))
        HandleError(rc);
}

void TSerial::StartEvents() {
    const std::shared_ptr<tessaro::SerialPort> device = currentDevice();
    if (!device)
        return;
    if (int rc = device->armEvents(tessaro::serialEventMask))
        HandleError(rc);
    m_thread->Resume();
}

void TSerial::SetControlLine(eControlLine Line, bool On) {
    const std::shared_ptr<tessaro::SerialPort> device = currentDevice();
    if (device)
        device->setModemOutput(
            Line == clRTS ? tessaro::ModemOutput::rts : tessaro::ModemOutput::dtr, On);
}

void TSerial::UpdateStatus() {
    const std::shared_ptr<tessaro::SerialPort> device = currentDevice();
    int rx = 0;
    int tx = 0;
    if (int rc = device->queueCounts(rx, tx)) {
        HandleError(rc);
        return;
    }
    m_rxCount = rx;
    m_txCount = tx;
}

// --- failures -------------------------------------------------------------

void TSerial::HandleError(int code) {
    m_errorCode = code;
    notifyError(code);
}

void TSerial::notifyError(int code) {
    switch (NotifyErrors()) {
    case neDialog:
        ShowErrorDialog(code);
        break;
    case neEvent:
        if (OnError)
            OnError(this);
        break;
    case neNone:
        break;
    }
}

void TSerial::ShowErrorDialog(int Code) {
    tessaro::errorBox()("Fehler", ErrorText(Code));
}

std::string TSerial::ErrorText(int code) {
    std::string text = tessaro::systemSerialPlatform()->errorText(code);
    if (text.size() > 256)
        text.resize(256);
    while (!text.empty()) {
        const auto c = static_cast<unsigned char>(text.back());
        if (c != ' ' && c != '.' && c >= 0x20 && c != 0x7F)
            break;
        text.pop_back();
    }
    return text;
}

// --- hand-over to the main thread -----------------------------------------

bool TSerial::runOnMainThread(std::function<void()> fn) {
    struct Completion {
        bool done = false; // guarded by m_mutex
    };
    auto completion = std::make_shared<Completion>();
    const std::uint64_t connection = m_threadConnection;
    m_mainQueue->post([this, completion, connection, fn = std::move(fn)] {
        // Mark the call done even when the handler throws, so the event
        // thread is never left waiting; the exception goes on to the
        // application's handler.
        struct Done {
            TSerial* self;
            std::shared_ptr<Completion> completion;
            ~Done() {
                {
                    std::lock_guard<std::mutex> lock(self->m_mutex);
                    completion->done = true;
                }
                self->m_cv.notify_all();
            }
        } done{this, completion};
        // A notification the close set aside belongs to the closed connection:
        // the user has moved on (chosen Off, another port or target), so it
        // is dropped rather than shown over the new state.
        if (connection != m_connection || !Active())
            return;
        fn();
    });
    std::unique_lock<std::mutex> lock(m_mutex);
    m_cv.wait(lock, [&] { return completion->done || m_closing || m_thread->Terminated(); });
    return completion->done;
}

void TSerial::reportFromThread(int code) {
    m_errorCode = code;
    runOnMainThread([this, code] { notifyError(code); });
}

int TSerial::ReadByte(tessaro::SerialPort& port, unsigned char& byte) {
    int count = 0;
    if (int rc = port.readByte(byte, count)) {
        reportFromThread(rc);
        return 0;
    }
    return count == 1 ? 1 : 0;
}
