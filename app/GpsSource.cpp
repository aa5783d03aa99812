#include "GpsSource.h"

#include "PortMap.h"
#include "Serial4.h"
#include "Settings.h"

#include <QElapsedTimer>
#include <QTimer>
#include <exception>
#include <memory>
#include <utility>

namespace tessaro {
namespace {

sPorts portFor(std::int32_t comPortIndex) {
    // An index outside the group (a stored -1, say) opens port 2.
    return comPortIndex >= 0 && comPortIndex <= 3 ? static_cast<sPorts>(comPortIndex + 1) : 2;
}

std::int32_t baudrateFor(std::int32_t comSpeedIndex) {
    static const std::int32_t speeds[] = {1200, 2400, 4800, 9600, 19200, 38400};
    return comSpeedIndex >= 0 && comSpeedIndex <= 5 ? speeds[comSpeedIndex] : 4800;
}

// Seconds on a steady clock, for the intake's look at the line.
double steadySeconds() {
    static QElapsedTimer clock;
    if (!clock.isValid()) {
        clock.start();
    }
    return static_cast<double>(clock.nsecsElapsed()) / 1e9;
}

} // namespace

GpsSource::GpsSource(QObject* parent, std::function<GpsUse()> use)
    : QObject(parent), m_use(std::move(use)), m_clock(steadySeconds) {
    m_serial = new TSerial(this);
    m_serial->setObjectName(QStringLiteral("Serial1"));
    m_serial->SetRxEventMode(rxMessage);
    m_serial->SetNotifyErrors(neEvent);
    // A receiver unplugged, not yet plugged in or held by another program
    // comes back by itself.
    m_serial->SetRetryOpen(true);
    m_serial->OnMessage = [this](TSerial*, std::string message) { take(message); };
    m_serial->OnError = [this](TSerial* serial) {
        // The system's reason ("Permission denied", "Device or resource busy").
        const int code = serial->ErrorCode();
        emit portFailed(code == 0 ? QString()
                                  : QString::fromLocal8Bit(TSerial::ErrorText(code).c_str()) +
                                        QStringLiteral(" (") +
                                        QString::fromStdString(serial->ErrorSource()) +
                                        QStringLiteral(")"));
    };
    m_serial->OnRecover = [this](TSerial*) {
        emit portRecovered();
        tellRoute();
    };
    // The devices the user named by hand; the map looks for plugged-in
    // receivers (and gpsd) at each open.
    const auto ports = std::make_shared<PortMap>(SettingsStore::comDevices());
    m_devices = [ports](int port) { return ports->devicePath(port); };
    m_serial->SetPortResolver(m_devices);

    m_lineTimer = new QTimer(this);
    m_lineTimer->setInterval(1000);
    connect(m_lineTimer, &QTimer::timeout, this, &GpsSource::lookAtLine);
}

GpsSource::~GpsSource() {
    // Closing may still report; nothing is left to tell.
    m_serial->OnMessage = nullptr;
    m_serial->OnError = nullptr;
    m_serial->OnRecover = nullptr;
    delete m_serial;
}

std::string GpsSource::devicePath(int port) const {
    return m_devices(port);
}

bool GpsSource::isOpen() const {
    return m_serial->Active();
}

void GpsSource::close() {
    m_serial->SetActive(false);
}

bool GpsSource::open(std::int32_t comPortIndex, std::int32_t comSpeedIndex) {
    close();
    m_serial->SetPort(portFor(comPortIndex));
    m_serial->SetBaudrate(baudrateFor(comSpeedIndex));
    // 8 data bits; parity, stop bits and flow control keep the defaults (none, 1, none).
    m_serial->SetCheckParity(false);
    m_serial->SetDataBits(d8bit);
    // One sentence, "$" through its carriage return, is one message; the line
    // feed is dropped. Stored logs, some phone apps and network feeds end
    // lines in LF alone: that ends a sentence too.
    m_serial->SetMessageAppendCount(0);
    m_serial->SetMessageEndChar('\r');
    m_serial->SetMessageEndAtLineFeed(true);
    m_serial->SetMessageStartChar('$');
    try {
        m_serial->SetActive(true);
        watchLine(true);
        tellRoute();
        return true;
    } catch (const std::exception&) {
        // Ordinary failures arrive through OnError; this is for anything the
        // component raises instead. The port stays closed.
        m_serial->SetActive(false);
        return false;
    }
}

void GpsSource::monitorOff() {
    watchLine(false);
    m_intake.monitorOff();
    emit monitorChanged(m_intake.monitor());
}

void GpsSource::watchLine(bool on) {
    if (!on) {
        m_lineTimer->stop();
        return;
    }
    m_intake.restart(m_clock(), m_serial->bytesReceived());
    emit monitorChanged(m_intake.monitor());
    m_lineTimer->start();
}

void GpsSource::lookAtLine() {
    if (!m_serial->Active()) {
        return;
    }
    const GpsIntake::LineState state =
        m_intake.lineState(m_serial->bytesReceived(), m_clock(), m_serial->devicePath());
    if (!state.status.empty()) {
        emit lineState(state);
    }
}

void GpsSource::take(const std::string& sentence) {
    const GpsUse use = m_use();
    const GpsIntakeResult result =
        m_intake.take(sentence, use.target, use.eightDigits, use.decimalSeparator);
    if (result.position) {
        emit fixTaken(result);
    }
}

// The device may have changed since the last look (a receiver plugged in),
// and a device gpsd holds is read through gpsd.
void GpsSource::tellRoute() {
    const std::string route = m_serial->route();
    emit portRoute(
        m_serial->Port(),
        QString::fromStdString(m_serial->devicePath() + (route.empty() ? "" : " (" + route + ")")));
}

} // namespace tessaro
