#include "GpsIntake.h"

#include "NumberDisplay.h"
#include "QTH.h"

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

GpsIntakeResult GpsIntake::take(const std::string& message, std::int32_t target, bool eightDigits,
                                char decimalSeparator) {
    GpsIntakeResult result;
    const ReceivedSentence held = receiveSentence(message);
    if (!isPositionSentence(held)) {
        return result;
    }
    result.position = true;
    m_monitor = {m_monitor[1], m_monitor[2], m_monitor[3], monitorLine(held)};
    result.monitor = m_monitor;

    const GllFix fix = readGll(held, eightDigits);
    if (!fix.valid) {
        result.status = "GPS data from " + fix.timeText + " is INVALID!";
        return result;
    }
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

    const double lat = DmsToDegrees(fix.latDeg, fix.latMin, fix.latSec, fix.north);
    const double lon = DmsToDegrees(fix.lonDeg, fix.lonMin, fix.lonSec, fix.east);
    if (m_kept) {
        result.heading = LatLonBearing((*m_kept)[1], (*m_kept)[0], lon, lat);
        result.headingText = degreesText(*result.heading, decimalSeparator);
    }
    result.countdown = --m_countdown;
    if (m_countdown == 0) {
        m_kept = {lat, lon};
        m_countdown = 5;
    }
    return result;
}

} // namespace tessaro
