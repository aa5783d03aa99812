// Reading of one NMEA GLL (geographic position) sentence into the values the
// window shows. Pure: no window, no Qt, no state.
#pragma once

#include <cstdint>
#include <string>

namespace tessaro {

// The values of one position sentence, held only while it is processed.
struct GllFix {
    std::int32_t latDeg = 0, latMin = 0, latSec = 0;
    bool north = true;
    std::int32_t lonDeg = 0, lonMin = 0, lonSec = 0;
    bool east = true;
    std::string locator;  // LatLonToLocator of the values; empty when out of range
    std::string timeText; // "hh:mm:ss UT"
    bool valid = false;   // status "A", checksum (when present) right, locator in range
};

// True for a GLL sentence of any GNSS talker: "$GPGLL", "$GNGLL", "$GLGLL",
// "$GAGLL", "$GBGLL", "$BDGLL", "$GQGLL", found anywhere in the text.
bool isPositionSentence(const std::string& sentence);

// Reads the fields after the tag: latitude, N/S, longitude, E/W, UTC time,
// status. `sentence` runs from "$" through the carriage return as framed.
GllFix readGll(const std::string& sentence, bool eightDigits);

} // namespace tessaro
