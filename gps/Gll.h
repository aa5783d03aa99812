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
    // Status "A", not cut, checksum (when present) right, numbers well formed
    // (digits where read, minutes below 60), locator in range.
    bool valid = false;
};

// A received message is held in at most this many bytes, and a field in at
// most this many characters; longer ones are cut.
constexpr std::size_t kSentenceCapacity = 515;
constexpr std::size_t kFieldCapacity = 31;

// One framed message as the intake holds it: the bytes as received (NUL bytes
// included), at most kSentenceCapacity of them, and whether more arrived. The
// flag is set where the cut is made, so no later trimming can hide that the
// tail, and with it the checksum, was lost.
struct ReceivedSentence {
    std::string bytes;
    bool cut = false;
};
ReceivedSentence receiveSentence(const std::string& message);

// True for a GLL sentence of any GNSS talker: "$GPGLL", "$GNGLL", "$GLGLL",
// "$GAGLL", "$GBGLL", "$BDGLL", "$GQGLL", found anywhere in the text before
// its first NUL byte.
bool isPositionSentence(const ReceivedSentence& sentence);

// The "*hh" checksum of a sentence: the XOR of the bytes between the first "$"
// and the first "*" after it, as two hexadecimal digits in either case. Taken
// over every byte, NUL bytes included, so a NUL-broken line never hides its
// corruption.
enum class Checksum {
    absent, // no "*": the sentence is used as it is
    good,
    bad, // digits missing, not hexadecimal, or not matching
};
Checksum checksumOf(const std::string& sentence);

// Reads the fields after the tag: latitude, N/S, longitude, E/W, UTC time,
// status. The sentence runs from "$" through the carriage return as framed;
// the fields are read up to its first NUL byte. Numbers are read at fixed
// positions (ddmm.mmm, dddmm.mmm); positions past a short field, and a time
// field shorter than hhmmss, count as "0". A non-digit where a digit is read,
// anything but "." after the minutes, or minutes of 60 and more make the fix
// invalid: such a line is damaged (or the receiver broken), and its numbers
// would not even fit the pages' fields. Never throws for any input: a locator
// range error makes the fix invalid.
GllFix readGll(const ReceivedSentence& sentence, bool eightDigits);

} // namespace tessaro
