#include "GpsIntake.h"

#include "NumberDisplay.h"
#include "QTH.h"

#include <algorithm>

namespace tessaro {

std::string monitorLine(const ReceivedSentence& sentence) {
    std::string text = sentence.bytes.substr(0, sentence.bytes.find('\0'));
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n')) {
        text.pop_back();
    }
    for (char& c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            c = '?';
        }
    }
    return text;
}

void GpsIntake::monitorOff() {
    m_monitor = {"Off", "", "", ""};
}

void GpsIntake::restart(double now, std::uint64_t bytes) {
    m_monitor = {"---", "---", "---", "---"};
    m_recent = {"", "", "", ""};
    m_gllSeen = false;
    m_lastKind = PositionKind::none;
    m_lastTime.clear();
    m_lastValid = false;
    m_start = now;
    m_bytes = bytes;
    m_lastBytes = m_lastNmea = m_lastPosition = m_lastFix = -1;
    m_nmeaSince = m_positionSince = m_fixSince = false;
}

bool GpsIntake::sameEpochAsLastUsed(PositionKind kind, const GllFix& fix) const {
    // A receiver sends one sentence of a type an epoch; another type with the
    // same time is the same fix again, unless it brings the fix the first lacked.
    return kind != m_lastKind && m_lastKind != PositionKind::none && !fix.timeField.empty() &&
           fix.timeField == m_lastTime && (m_lastValid || !fix.valid);
}

GpsIntakeResult GpsIntake::take(const std::string& message, std::int32_t target, bool eightDigits,
                                char decimalSeparator) {
    GpsIntakeResult result;
    const ReceivedSentence held = receiveSentence(message);
    m_recent = {m_recent[1], m_recent[2], m_recent[3], monitorLine(held)};
    m_nmeaSince = m_nmeaSince || isNmeaSentence(held);
    const PositionKind kind = positionKind(held);
    if (kind == PositionKind::none || (m_gllSeen && kind != PositionKind::gll)) {
        return result;
    }
    m_positionSince = true;
    m_gllSeen = m_gllSeen || kind == PositionKind::gll;
    const GllFix fix = readPosition(held, kind, eightDigits);
    if (sameEpochAsLastUsed(kind, fix)) {
        return result;
    }
    m_lastKind = kind;
    m_lastTime = fix.timeField;
    m_lastValid = fix.valid;

    result.position = true;
    m_monitor = {m_monitor[1], m_monitor[2], m_monitor[3], monitorLine(held)};
    result.monitor = m_monitor;
    if (!fix.valid) {
        result.status = "GPS data from " + fix.timeText + " is INVALID!";
        return result;
    }
    m_fixSince = true;
    if (target != kGpsStart && target != kGpsDestination) {
        return result;
    }
    GpsFields& fields = result.fields.emplace();
    fields.target = target;
    // The reading lets only numbers through that fit the fields: at most two
    // digits of latitude and minutes, three of longitude.
    fields.latitude = {std::to_string(fix.latDeg), std::to_string(fix.latMin),
                       std::to_string(fix.latSec)};
    fields.longitude = {std::to_string(fix.lonDeg), std::to_string(fix.lonMin),
                        std::to_string(fix.lonSec)};
    fields.latitudeIndex = fix.north ? 0 : 1;
    fields.longitudeIndex = fix.east ? 0 : 1;
    fields.locator = fix.locator;
    result.status = "New GPS data received at " + fix.timeText;
    if (target != kGpsStart) {
        return result;
    }
    countDown(result, fix, DmsToDegrees(fix.latDeg, fix.latMin, fix.latSec, fix.north),
              DmsToDegrees(fix.lonDeg, fix.lonMin, fix.lonSec, fix.east), decimalSeparator);
    return result;
}

namespace {

// A fix later in the same whole second than an earlier one: a receiver
// giving several fixes a second. The same time again, or an earlier
// fraction (a clock that stepped back), is no such fix: those count fix by
// fix, as from a receiver that gives one a second.
bool laterInTheSameSecond(const std::string& time, const std::string& earlier) {
    if (time.size() < 8 || earlier.size() < 8 || time.compare(0, 6, earlier, 0, 6) != 0 ||
        time[6] != '.' || earlier[6] != '.') {
        return false;
    }
    // Fractions as decimals of different lengths: ".71" is later than ".408".
    std::string a = time.substr(7), b = earlier.substr(7);
    const std::size_t digits = std::max(a.size(), b.size());
    a.resize(digits, '0');
    b.resize(digits, '0');
    const auto isDigits = [](const std::string& t) {
        return t.find_first_not_of("0123456789") == std::string::npos;
    };
    return isDigits(a) && isDigits(b) && a > b;
}

} // namespace

void GpsIntake::countDown(GpsIntakeResult& result, const GllFix& fix, double lat, double lon,
                          char decimalSeparator) {
    // The heading is measured over at least a second of way, and the kept fix
    // renewed every fifth second, however many fixes a second arrive: over a
    // tenth of a second the whole-second reading only gives noise.
    if (m_kept && !laterInTheSameSecond(fix.timeField, m_keptTime)) {
        result.heading = LatLonBearing((*m_kept)[1], (*m_kept)[0], lon, lat);
        result.headingText = degreesText(*result.heading, decimalSeparator);
    }
    if (laterInTheSameSecond(fix.timeField, m_countedTime)) {
        return;
    }
    m_countedTime = fix.timeField;
    result.countdown = --m_countdown;
    if (m_countdown == 0) {
        m_kept = {lat, lon};
        m_keptTime = fix.timeField;
        m_countdown = 5;
    }
}

GpsIntake::LineState GpsIntake::lineState(std::uint64_t bytes, double now,
                                          const std::string& source) {
    if (bytes != m_bytes) {
        m_bytes = bytes;
        m_lastBytes = now;
    }
    // What came since the last look came by now.
    if (m_nmeaSince) {
        m_lastNmea = now;
    }
    if (m_positionSince) {
        m_lastPosition = now;
    }
    if (m_fixSince) {
        m_lastFix = now;
    }
    m_nmeaSince = m_positionSince = m_fixSince = false;

    // Seconds without a fix before the line is explained: several receiver
    // epochs, and more than a slow receiver's cold start to its first line.
    constexpr double quiet = 5;
    const auto since = [&](double when) { return now - (when < 0 ? m_start : when); };
    if (since(m_lastFix) < quiet) {
        return {};
    }
    if (since(m_lastBytes) >= quiet) {
        return {"No data from " + source, {}};
    }
    if (since(m_lastNmea) >= quiet) {
        return {"Data from " + source + " is not NMEA: check the speed", {}};
    }
    if (since(m_lastPosition) >= quiet) {
        return {"NMEA data from " + source + ", but no position sentence yet", m_recent};
    }
    // Position sentences without a fix: each says "... is INVALID!" itself.
    return {};
}

} // namespace tessaro
