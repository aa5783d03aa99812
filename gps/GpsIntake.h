// The GPS intake: one framed NMEA message in, what the window shows for it
// out. It keeps the monitor's four lines and the fix the vehicle heading is
// measured from, and tells why no position follows when none does; the
// window only writes the result into its controls. No Qt: texts are
// Windows-1252 byte strings.
//
// Positions come from GLL, RMC, GGA and GNS sentences of any talker. A
// receiver that sends GLL is read from its GLL alone, as many also send RMC
// and GGA for the same fix; otherwise the first position sentence of each
// receiver epoch (its time field) gives the fix and the others of that epoch
// are passed over, so the position and the heading move once an epoch.
//
// GLL (geographic position), for example
//
//   $GPGLL,5130.7712,N,00007.3456,W,093015.00,A*1F<CR>
//
//   Field  Example     Meaning
//   0      $GPGLL      talker and type; any GNSS talker (GP, GN, GL, GA, GB,
//                      BD, GQ), found anywhere in the message
//   1      5130.7712   latitude ddmm.mmm: 51 deg 30.771' -> 51 30' 46"
//                      (thousandths of a minute as whole seconds, cut)
//   2      N           N or S, either case
//   3      00007.3456  longitude dddmm.mmm: 0 deg 7.345' -> 0 7' 20"
//   4      W           E or W, either case
//   5      093015.00   UTC hhmmss, fractions ignored -> "09:30:15 UT"
//   6      A           status: A valid, anything else invalid
//   (7)    A           mode of NMEA 2.3 and later: N (not valid) makes the
//                      fix invalid
//   *1F                XOR of the bytes between "$" and "*"; optional, but a
//                      wrong one makes the fix invalid
//
// Missing fields stand for the start place (kStartPlace), 00:00:00 and an
// empty status, so a sentence cut short is never a valid fix. The details of
// the reading are readGll's (Gll.h).
#pragma once

#include "Gll.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace tessaro {

// Where a valid fix goes: gpsTarget's item index.
enum GpsTarget : std::int32_t { kGpsStart = 0, kGpsDestination = 1, kGpsOff = 2 };

// A valid fix as the Lat/Long and QTH Locator pages take it.
struct GpsFields {
    std::int32_t target = kGpsStart;                    // kGpsStart or kGpsDestination
    std::array<std::string, 3> latitude, longitude;     // deg, min, sec as typed
    std::int32_t latitudeIndex = 0, longitudeIndex = 0; // 0 N/E, 1 S/W
    std::string locator;
};

// What one message changes. Position sentences used only: anything else
// (other sentences, and position sentences passed over) leaves every member
// at its default.
struct GpsIntakeResult {
    bool position = false; // the monitor scrolled; an earlier line error no longer applies
    std::array<std::string, 4> monitor; // the monitor's lines after the message, oldest first
    // A valid fix for a point; the pages are then computed again, before the
    // status text is shown and before the heading is written.
    std::optional<GpsFields> fields;
    std::string status;                    // "" leaves the status line as it is
    std::optional<double> heading;         // from the kept fix to this one (start point only)
    std::string headingText;               // heading as the Car page shows it
    std::optional<std::int32_t> countdown; // fixes until the kept fix is renewed
};

class GpsIntake {
public:
    // `target`, `eightDigits` and `decimalSeparator` as the window has them now.
    GpsIntakeResult take(const std::string& message, std::int32_t target, bool eightDigits,
                         char decimalSeparator);

    // "Off" and three empty lines: GPS was switched off.
    void monitorOff();
    // GPS use was switched on, or another source chosen, at `now` (seconds
    // on a steady clock): the monitor waits for the new source's lines, and
    // what the line has brought is counted afresh.
    void restart(double now, std::uint64_t bytes);
    const std::array<std::string, 4>& monitor() const { return m_monitor; }

    // Why no position follows, looked at once a second while GPS use is on:
    // `bytes` counts what the line has brought so far (any bytes, NMEA or
    // not), `now` as for restart, `source` names the port for the user. ""
    // while fixes come or while it is too early to tell; otherwise the status
    // line's text. Sentences that are not positions are then shown in the
    // monitor (`recent`), so the user sees what does arrive.
    struct LineState {
        std::string status;
        std::optional<std::array<std::string, 4>> monitor;
    };
    LineState lineState(std::uint64_t bytes, double now, const std::string& source);

    std::int32_t countdown() const { return m_countdown; }
    // The start fix the heading is measured from, once five have come:
    // decimal degrees, latitude first.
    std::optional<std::array<double, 2>> keptFix() const { return m_kept; }

private:
    bool sameEpochAsLastUsed(PositionKind kind, const GllFix& fix) const;
    void countDown(GpsIntakeResult& result, const GllFix& fix, double lat, double lon,
                   char decimalSeparator);

    std::array<std::string, 4> m_monitor{"---", "---", "---", "---"};
    std::array<std::string, 4> m_recent{"", "", "", ""}; // the last lines of any type
    std::optional<std::array<double, 2>> m_kept;
    std::string m_keptTime;    // the kept fix's time field
    std::string m_countedTime; // the time field of the last fix counted down
    // Every fifth start fix is kept; the Car page's bar shows the countdown.
    std::int32_t m_countdown = 5;

    bool m_gllSeen = false; // this receiver sends GLL: other position sentences are passed over
    PositionKind m_lastKind = PositionKind::none; // the last position sentence used
    std::string m_lastTime;
    bool m_lastValid = false;

    // What the line brought, for lineState: when each kind of line last came.
    double m_start = 0;
    std::uint64_t m_bytes = 0;
    double m_lastBytes = -1, m_lastNmea = -1, m_lastPosition = -1, m_lastFix = -1;
    bool m_nmeaSince = false, m_positionSince = false, m_fixSince = false;
};

// One monitor line: the text up to its first NUL, without the line end,
// control characters shown as "?" so a label stays one line.
std::string monitorLine(const ReceivedSentence& sentence);

} // namespace tessaro
