// Reading of one NMEA GLL (geographic position) sentence into the values the
// window shows. Pure: no window, no Qt, no state.
#pragma once

#include <cstddef>
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

// The "*hh" checksum of a sentence: the XOR of the bytes between the first "$"
// and the first "*" after it, as two hexadecimal digits in either case. Taken
// over the message as received, before any cut, so that cutting a long or
// NUL-broken line never hides its corruption.
enum class Checksum {
    absent, // no "*": the sentence is used as it is
    good,
    bad, // digits missing, not hexadecimal, or not matching
};
Checksum checksumOf(const std::string& sentence);

// A received message is held in at most this many characters, and a field in
// at most this many; longer ones are cut. Reading stops at a NUL byte.
constexpr std::size_t kSentenceCapacity = 515;
constexpr std::size_t kFieldCapacity = 31;

// Reads the fields after the tag: latitude, N/S, longitude, E/W, UTC time,
// status. `sentence` runs from "$" through the carriage return as framed.
// Numbers are read at fixed positions (ddmm.mmm, dddmm.mmm); positions past a
// short field, and a time field shorter than hhmmss, count as "0". Never
// throws for any input: a locator range error makes the fix invalid.
GllFix readGll(const std::string& sentence, bool eightDigits);

} // namespace tessaro
