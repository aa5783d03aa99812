#include "Serial4_p.h"

#include "PortMap.h"

#include <QCoreApplication>
#include <QDebug>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <utility>

namespace tessaro {
namespace {

constexpr std::array<std::int32_t, 15> validBaudrates = {110,   300,   600,    1200,   2400,
                                                         4800,  9600,  14400,  19200,  38400,
                                                         56000, 57600, 115200, 128000, 256000};

// Flow control characters (DC1, DC3) and the stand-in for a byte received
// with a parity error.
constexpr char xonChar = 0x11;
constexpr char xoffChar = 0x13;
constexpr char parityErrorChar = '?';

// Normally the event thread releases the port within milliseconds; the bound
// (100 x 75 ms = 7.5 s) keeps a stuck device from holding the window longer.
constexpr auto closeWaitStep = std::chrono::milliseconds(75);
constexpr int closeWaitSteps = 100;

// The write time-out in milliseconds once a flow mode is in use.
constexpr std::uint32_t flowWriteTimeoutMs = 10000;

// The longest system error text passed on.
constexpr std::size_t maxErrorTextLength = 256;

void logError(const QString& caption, const QString& text) {
    qWarning().noquote() << caption << text;
}

SerialErrorBox& errorBox() {
    static SerialErrorBox f = logError;
    return f;
}

void showErrorBox(const std::string& text) {
    // The caption of every box the component shows.
    errorBox()(QCoreApplication::translate("TSerial", "Error"),
               QString::fromLocal8Bit(text.c_str()));
}

} // namespace

SerialErrorBox setSerialErrorBox(SerialErrorBox box) {
    SerialErrorBox previous = std::move(errorBox());
    errorBox() = box ? std::move(box) : SerialErrorBox(logError);
    return previous;
}

} // namespace tessaro

// --- the public side --------------------------------------------------------

TSerial::TSerial(QObject* owner) : QObject(owner), d(std::make_unique<TSerialPrivate>(this)) {}

TSerial::~TSerial() {
    SetActive(false);
    {
        std::lock_guard<std::mutex> lock(d->m_mutex);
        d->m_thread->Terminate();
    }
    d->m_cv.notify_all();
    // The thread must be gone before the state it uses goes away.
    d->m_thread->WaitFor();
}

sPorts TSerial::Port() const {
    return d->m_port;
}

std::int32_t TSerial::Baudrate() const {
    return d->m_baudrate;
}

eParity TSerial::Parity() const {
    return d->m_parity;
}

eDataBits TSerial::DataBits() const {
    return d->m_dataBits;
}

eStopBits TSerial::StopBits() const {
    return d->m_stopBits;
}

std::uint16_t TSerial::RxQueueSize() const {
    return d->m_rxQueueSize;
}

std::uint16_t TSerial::TxQueueSize() const {
    return d->m_txQueueSize;
}

eFlowControl TSerial::FlowMode() const {
    return d->m_flowMode;
}

bool TSerial::CheckParity() const {
    return d->m_checkParity;
}

eOpModes TSerial::RxEventMode() const {
    return d->m_rxEventMode.load();
}

void TSerial::SetRxEventMode(eOpModes v) {
    d->m_rxEventMode = v;
}

char TSerial::MessageStartChar() const {
    return d->m_messageStartChar.load();
}

void TSerial::SetMessageStartChar(char v) {
    d->m_messageStartChar = v;
}

char TSerial::MessageEndChar() const {
    return d->m_messageEndChar.load();
}

void TSerial::SetMessageEndChar(char v) {
    d->m_messageEndChar = v;
}

bool TSerial::MessageEndAtLineFeed() const {
    return d->m_messageEndAtLineFeed.load();
}

void TSerial::SetMessageEndAtLineFeed(bool v) {
    d->m_messageEndAtLineFeed = v;
}

std::uint64_t TSerial::bytesReceived() const {
    return d->m_bytesReceived.load();
}

std::uint16_t TSerial::MessageAppendCount() const {
    return d->m_messageAppendCount.load();
}

void TSerial::SetMessageAppendCount(std::uint16_t v) {
    d->m_messageAppendCount = v;
}

bool TSerial::RetryOpen() const {
    return d->m_retryOpen;
}

void TSerial::SetRetryOpen(bool v) {
    d->m_retryOpen = v;
}

std::string TSerial::ErrorSource() const {
    return d->m_errorSource;
}

eNotifyErr TSerial::NotifyErrors() const {
    return d->m_notifyErrors.load();
}

void TSerial::SetNotifyErrors(eNotifyErr v) {
    d->m_notifyErrors = v;
}

std::int32_t TSerial::ErrorCode() const {
    return d->m_errorCode.load();
}

bool TSerial::Active() const {
    return d->m_active.load();
}

std::size_t TSerial::notificationsPending() {
    return d->m_mainQueue->pending();
}

const tessaro::LineSettings& TSerial::lineSettings() const {
    return d->m_lineSettings;
}

const tessaro::Timeouts& TSerial::timeouts() const {
    return d->m_timeouts;
}

void TSerial::SetPortResolver(std::function<std::string(int)> resolver) {
    d->m_resolver = std::move(resolver);
}

std::string TSerial::devicePath() const {
    return d->m_resolver ? d->m_resolver(d->m_port) : std::string();
}

std::string TSerial::route() {
    const std::shared_ptr<tessaro::SerialPort> device = d->currentDevice();
    return device ? device->route() : std::string();
}

void TSerial::setPlatform(std::shared_ptr<tessaro::SerialPlatform> platform) {
    d->m_platform = platform ? std::move(platform) : tessaro::systemSerialPlatform();
}

// --- properties -----------------------------------------------------------

TSerialPrivate::TSerialPrivate(TSerial* q)
    : q(q), m_resolver([](int port) { return tessaro::PortMap().devicePath(port); }),
      m_platform(tessaro::systemSerialPlatform()),
      m_mainQueue(std::make_unique<tessaro::MainThreadQueue>()),
      m_thread(std::make_unique<TEventThread>(*this)) {}

std::shared_ptr<tessaro::SerialPort> TSerialPrivate::currentDevice() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_device;
}

void TSerialPrivate::reopen() {
    if (m_active) {
        q->SetActive(true);
    }
}

void TSerial::SetPort(sPorts v) {
    d->storeAndReopen(d->m_port, v);
}

void TSerial::SetBaudrate(std::int32_t v) {
    const auto& valid = tessaro::validBaudrates;
    if (std::find(valid.begin(), valid.end(), v) == valid.end()) {
        tessaro::showErrorBox("Baudrate is not valid");
        return;
    }
    d->storeAndReopen(d->m_baudrate, v);
}

void TSerial::SetParity(eParity v) {
    d->storeAndReopen(d->m_parity, v);
}

void TSerial::SetDataBits(eDataBits v) {
    d->storeAndReopen(d->m_dataBits, v);
}

void TSerial::SetStopBits(eStopBits v) {
    d->storeAndReopen(d->m_stopBits, v);
}

void TSerial::SetRxQueueSize(std::uint16_t v) {
    d->m_rxQueueSize = v;
    d->reopen();
}

void TSerial::SetTxQueueSize(std::uint16_t v) {
    d->m_txQueueSize = v;
    d->reopen();
}

void TSerial::SetFlowMode(eFlowControl v) {
    d->storeAndReopen(d->m_flowMode, v);
}

void TSerial::SetCheckParity(bool v) {
    d->storeAndReopen(d->m_checkParity, v);
}

std::int32_t TSerial::RxWaiting() {
    if (!Active()) {
        return 0;
    }
    d->UpdateStatus();
    return d->m_rxCount;
}

std::int32_t TSerial::TxWaiting() {
    if (!Active()) {
        return 0;
    }
    d->UpdateStatus();
    return d->m_txCount;
}

// --- opening and closing --------------------------------------------------

void TSerial::SetActive(bool Value) {
    if (Active()) {
        d->closePort();
    }
    if (Value) {
        d->openPort();
    }
}

void TSerialPrivate::closePort() {
    std::shared_ptr<tessaro::SerialPort> device;
    {
        // Inactive from the start: a handler of a failed step below (or the
        // event loop of an error box) that closes the port finds it closing.
        // Taken together, so that a device the event thread opens anew meanwhile
        // is either this one or never adopted.
        std::lock_guard<std::mutex> lock(m_mutex);
        m_active = false;
        device = m_device;
    }
    // No device: it failed or never opened, and is being tried again.
    if (!device) {
        waitForEventThread(nullptr);
        return;
    }
    if (int rc = device->purge()) {
        HandleError(rc);
    }
    SetControlLine(clDTR, false);
    SetControlLine(clRTS, false);
    {
        // Closing also sets aside a notification the event thread waits on.
        std::lock_guard<std::mutex> lock(m_mutex);
        m_closing = true;
    }
    m_cv.notify_all();
    if (int rc = device->armEvents(0)) {
        HandleError(rc);
    }
    waitForEventThread(device);
    if (int rc = device->close()) {
        HandleError(rc);
    }
}

void TSerialPrivate::waitForEventThread(const std::shared_ptr<tessaro::SerialPort>& device) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_closing = true;
    }
    m_cv.notify_all();
    // Close never waits for a stuck device longer than the bound.
    std::unique_lock<std::mutex> lock(m_mutex);
    for (int i = 0; i < tessaro::closeWaitSteps && m_threadActive; ++i) {
        m_cv.wait_for(lock, tessaro::closeWaitStep, [this] { return !m_threadActive; });
    }
    m_closing = false;
    if (m_device == device) {
        m_device.reset();
    }
}

// Every failure report below runs a handler, or a modal error box whose event
// loop runs the window: either may close the port or open it anew. The steps
// after such a report then stop, as the port is no longer the one they open.
void TSerialPrivate::openPort() {
    int error = 0;
    const std::string path = q->devicePath();
    std::shared_ptr<tessaro::SerialPort> device = m_platform->open(path, error);
    // A malformed name never opens; anything else (a receiver not plugged in,
    // a device another program holds) may, later.
    const bool retry = !device && m_retryOpen && error != EINVAL;
    if (!device && !retry) {
        HandleError(error);
        return;
    }
    {
        // Active from here on, so that a handler of a failed step can close it.
        std::lock_guard<std::mutex> lock(m_mutex);
        m_device = device;
        ++m_connection;
        m_active = true;
        m_recipe = tessaro::ReopenRecipe();
        m_recipe.path = path;
        m_recipe.platform = m_platform;
        m_recipe.lastError = error;
    }
    m_cv.notify_all();
    if (!device) {
        ApplySettings(); // builds the records the event thread applies
        setRecipeSettings();
        m_thread->Resume();
        HandleError(error);
        return;
    }
    if (int rc = device->setupQueues(m_rxQueueSize, m_txQueueSize)) {
        HandleError(rc);
    }
    if (currentDevice() != device) {
        return;
    }
    ApplySettings();
    if (currentDevice() != device) {
        return;
    }
    setRecipeSettings();
    SetControlLine(clDTR, true);
    SetControlLine(clRTS, true);
    StartEvents();
}

void TSerialPrivate::ApplySettings() {
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
    s.xonChar = tessaro::xonChar;
    s.xoffChar = tessaro::xoffChar;
    s.errorChar = tessaro::parityErrorChar;
    m_lineSettings = s;
    if (!m_active) {
        return;
    }
    m_timeouts.readInterval = tessaro::readReturnsAtOnce;
    m_timeouts.readTotalMultiplier = 0;
    m_timeouts.readTotalConstant = 0;
    // The write time-out stays once a flow mode has been applied.
    if (m_flowMode != fcNone) {
        m_timeouts.writeTotalMultiplier = 0;
        m_timeouts.writeTotalConstant = tessaro::flowWriteTimeoutMs;
    }

    const std::shared_ptr<tessaro::SerialPort> device = currentDevice();
    if (!device) {
        return;
    }
    if (int rc = device->applyLineSettings(m_lineSettings)) {
        HandleError(rc);
        if (currentDevice() != device) {
            return;
        }
    }
    if (int rc = device->applyTimeouts(m_timeouts)) {
        HandleError(rc);
    }
}

void TSerialPrivate::setRecipeSettings() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_recipe.lineSettings = m_lineSettings;
    m_recipe.timeouts = m_timeouts;
    m_recipe.rxQueueSize = m_rxQueueSize;
    m_recipe.txQueueSize = m_txQueueSize;
}

void TSerialPrivate::StartEvents() {
    const std::shared_ptr<tessaro::SerialPort> device = currentDevice();
    if (!device) {
        return;
    }
    if (int rc = device->armEvents(tessaro::serialEventMask)) {
        HandleError(rc);
    }
    m_thread->Resume();
}

void TSerialPrivate::SetControlLine(eControlLine Line, bool On) {
    const std::shared_ptr<tessaro::SerialPort> device = currentDevice();
    if (device) {
        device->setModemOutput(
            Line == clRTS ? tessaro::ModemOutput::rts : tessaro::ModemOutput::dtr, On);
    }
}

void TSerialPrivate::UpdateStatus() {
    const std::shared_ptr<tessaro::SerialPort> device = currentDevice();
    int rx = 0;
    int tx = 0;
    if (!device) {
        m_rxCount = m_txCount = 0;
        return;
    }
    if (int rc = device->queueCounts(rx, tx)) {
        HandleError(rc);
        return;
    }
    m_rxCount = rx;
    m_txCount = tx;
}

// --- failures -------------------------------------------------------------

void TSerialPrivate::HandleError(int code) {
    m_errorCode = code;
    m_errorSource = q->devicePath();
    notifyError(code);
}

void TSerialPrivate::notifyError(int code) {
    switch (m_notifyErrors.load()) {
    case neDialog:
        ShowErrorDialog(code);
        break;
    case neEvent:
        if (q->OnError) {
            q->OnError(q);
        }
        break;
    case neNone:
        break;
    }
}

void TSerialPrivate::ShowErrorDialog(int Code) {
    tessaro::showErrorBox(TSerial::ErrorText(Code));
}

std::string TSerial::ErrorText(int code) {
    std::string text = tessaro::systemSerialPlatform()->errorText(code);
    if (text.size() > tessaro::maxErrorTextLength) {
        text.resize(tessaro::maxErrorTextLength);
    }
    while (!text.empty()) {
        const auto c = static_cast<unsigned char>(text.back());
        if (c != ' ' && c != '.' && c >= 0x20 && c != 0x7F) {
            break;
        }
        text.pop_back();
    }
    return text;
}

// --- hand-over to the main thread -----------------------------------------

bool TSerialPrivate::runOnMainThread(std::function<void()> fn) {
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
            TSerialPrivate* self;
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
        if (connection != m_connection || !m_active) {
            return;
        }
        fn();
    });
    std::unique_lock<std::mutex> lock(m_mutex);
    m_cv.wait(lock, [&] { return completion->done || m_closing || m_thread->Terminated(); });
    return completion->done;
}

void TSerialPrivate::reportFromThread(int code, const std::string& source) {
    m_errorCode = code;
    runOnMainThread([this, code, source] {
        m_errorSource = source.empty() ? q->devicePath() : source;
        notifyError(code);
    });
}

int TSerialPrivate::ReadByte(tessaro::SerialPort& port, unsigned char& byte) {
    int count = 0;
    if (int rc = port.readByte(byte, count)) {
        reportFromThread(rc, port.failureSource());
        return 0;
    }
    return count == 1 ? 1 : 0;
}
