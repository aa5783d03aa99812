// The GPS source: the serial component, the port choice (the configured
// devices, and gpsd where gpsd holds a receiver), the intake that reads each
// sentence, and the look at the line once a second. It knows nothing of the
// window: it says what to show through its signals.
#pragma once

#include "GpsIntake.h"

#include <QObject>
#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>

class QTimer;
class TSerial;

namespace tessaro {

// What the window's choices ask of the intake at each sentence.
struct GpsUse {
    std::int32_t target = kGpsOff; // GpsTarget
    bool eightDigits = false;      // the locator's length
    char decimalSeparator = '.';   // the user's, for the heading
};

class GpsSource : public QObject {
    Q_OBJECT
public:
    // `use` is asked at each sentence, so a changed choice applies at once.
    GpsSource(QObject* parent, std::function<GpsUse()> use);
    ~GpsSource() override;

    TSerial* serial() const { return m_serial; }
    GpsIntake& intake() { return m_intake; }

    // Opens the port of the GPS page's items (port 0..3, speed 0..5), after
    // closing the one open. False when the serial component refused by raising;
    // ordinary failures come through portFailed.
    bool open(std::int32_t comPortIndex, std::int32_t comSpeedIndex);
    void close();
    bool isOpen() const;
    // GPS use off: the monitor starts empty (monitorChanged tells).
    void monitorOff();

    // One framed sentence, as the serial component delivers it.
    void take(const std::string& sentence);
    // Once a second while open: why no position follows, if none does.
    void lookAtLine();

    // The steady clock, in seconds, that the line's look measures silence by
    // (tests step their own).
    void setClock(std::function<double()> seconds) { m_clock = std::move(seconds); }

    // The device that port 1..4 opens now.
    std::string devicePath(int port) const;

signals:
    // Texts in these are Windows-1252, as the intake makes them.
    void fixTaken(const tessaro::GpsIntakeResult& result);
    // Why no position follows (never empty), and what arrives instead.
    void lineState(const tessaro::GpsIntake::LineState& state);
    void monitorChanged(const std::array<std::string, 4>& lines);
    // The port failed; `reason` is the system's ("Permission denied (open)") or empty.
    void portFailed(const QString& reason);
    void portRecovered();
    // The open port (1..4) and the device it reads, with gpsd's route where gpsd holds it.
    void portRoute(int port, const QString& device);

private:
    void watchLine(bool on);
    void tellRoute();

    std::function<GpsUse()> m_use;
    std::function<std::string(int)> m_devices;
    std::function<double()> m_clock;
    TSerial* m_serial = nullptr;
    GpsIntake m_intake;
    QTimer* m_lineTimer = nullptr;
};

} // namespace tessaro
