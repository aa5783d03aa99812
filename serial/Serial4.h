// TSerial: one serial port, its configuration, opening and closing, line
// settings, modem outputs, queue counts and failure reports. Received bytes
// are read and framed on an event thread of its own; every handler below runs
// on the main thread, and once SetActive(false) returns no handler of that
// connection runs any more. The state and the thread: Serial4_p.h.
#pragma once

#include "SerialPlatform.h"

#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class TSerial;
class TSerialPrivate;

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

// Where the boxes of NotifyErrors == neDialog go. The application installs
// its error box; until one is installed the text goes to the log.
using SerialErrorBox = std::function<void(const QString& caption, const QString& text)>;
// Installs box (nullptr: the log again) and returns the previous one.
SerialErrorBox setSerialErrorBox(SerialErrorBox box);

} // namespace tessaro

class TSerial : public QObject {
    Q_OBJECT
public:
    explicit TSerial(QObject* owner = nullptr);
    ~TSerial() override;
    TSerial(const TSerial&) = delete;
    TSerial& operator=(const TSerial&) = delete;

    sPorts Port() const;
    void SetPort(sPorts v);
    std::int32_t Baudrate() const;
    void SetBaudrate(std::int32_t v);
    eParity Parity() const;
    void SetParity(eParity v);
    eDataBits DataBits() const;
    void SetDataBits(eDataBits v);
    eStopBits StopBits() const;
    void SetStopBits(eStopBits v);
    std::uint16_t RxQueueSize() const;
    void SetRxQueueSize(std::uint16_t v);
    std::uint16_t TxQueueSize() const;
    void SetTxQueueSize(std::uint16_t v);
    eFlowControl FlowMode() const;
    void SetFlowMode(eFlowControl v);
    bool CheckParity() const;
    void SetCheckParity(bool v);
    std::int32_t RxWaiting();
    std::int32_t TxWaiting();
    eOpModes RxEventMode() const;
    void SetRxEventMode(eOpModes v);
    char MessageStartChar() const;
    void SetMessageStartChar(char v);
    char MessageEndChar() const;
    void SetMessageEndChar(char v);
    // A line feed also ends a message (lines that end in LF alone); off by default.
    bool MessageEndAtLineFeed() const;
    void SetMessageEndAtLineFeed(bool v);
    std::uint16_t MessageAppendCount() const;
    void SetMessageAppendCount(std::uint16_t v);
    // While active, a device that cannot be opened is tried again about once
    // a second (as a device that fails once open always is) instead of
    // leaving the port closed: Active() stays true. Off by default.
    bool RetryOpen() const;
    void SetRetryOpen(bool v);
    eNotifyErr NotifyErrors() const;
    void SetNotifyErrors(eNotifyErr v);
    std::int32_t ErrorCode() const;
    bool Active() const;
    void SetActive(bool Value);

    TNotifyEvent OnRxData;
    TNotifyEvent OnTxEmpty;
    TRxMessageEvent OnMessage;
    TNotifyEvent OnError;
    TNotifyEvent OnBreak;
    TNotifyEvent OnRing;
    TSignalChangeEvent OnSignalChange;
    TWriteCompletedEvent OnWriteCompleted;
    // The port works again after a failure report: its device is open again
    // or its source delivers again.
    TNotifyEvent OnRecover;

    // Maps Port n to a device path; the default is PortMap's rule without settings.
    void SetPortResolver(std::function<std::string(int port)> resolver);
    std::string devicePath() const;
    // How the open port's bytes arrive when not from that device ("via gpsd").
    std::string route();
    // The serial layer in use; tests install a fake before the first open.
    void setPlatform(std::shared_ptr<tessaro::SerialPlatform> platform);

    // What the last failure report is about: the device path, or where the
    // device was read through gpsd, gpsd's address.
    std::string ErrorSource() const;

    // The system's text for an error code, without trailing blanks, control
    // characters and full stops, in the system's 8-bit encoding.
    static std::string ErrorText(int code);

    // Bytes read in message mode since the component was made, whether or not
    // they became part of a message (garbage at a wrong speed counts too).
    std::uint64_t bytesReceived() const;

    // Notifications handed to the main thread that have not run yet.
    std::size_t notificationsPending();

    // The records as last built, for inspection.
    const tessaro::LineSettings& lineSettings() const;
    const tessaro::Timeouts& timeouts() const;

private:
    const std::unique_ptr<TSerialPrivate> d;
};
