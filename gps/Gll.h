// Reading of one NMEA position sentence (GLL, RMC, GGA or GNS) into the
// values the window shows. Pure: no window, no Qt, no state.
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
    std::string locator;   // LatLonToLocator of the values; empty when out of range
    std::string timeText;  // "hh:mm:ss UT", control characters shown as "?"
    std::string timeField; // the time field as received ("093015.00"), "" when absent
    // The receiver reports a fix (GLL and RMC status "A" and no mode "N", GGA
    // quality above 0, GNS a mode other than "N"), not cut, checksum (when
    // present) right, numbers well formed (digits where read, minutes below
    // 60), hemispheres N/S and E/W, locator in range.
    bool valid = false;
};

// The position sentences read, by their type (the three letters after the talker).
enum class PositionKind { none, gll, rmc, gga, gns };

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

// The kind of position sentence a message holds: "$", a talker of two
// capital letters (any: GP, GN, GL, GA, GB, BD, GQ, the IN and EC of marine
// instruments; not P, which starts proprietary sentences) and GLL, RMC, GGA
// or GNS, found anywhere in the text before its first NUL byte.
PositionKind positionKind(const ReceivedSentence& sentence);
inline bool isPositionSentence(const ReceivedSentence& sentence) {
    return positionKind(sentence) != PositionKind::none;
}

// A well-formed NMEA sentence of any type: "$" or "!", five letters or
// digits of address, a comma, printable text, and a checksum that matches
// when there is one. What arrives at a wrong speed almost never is.
bool isNmeaSentence(const ReceivedSentence& sentence);

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

// Reads a position sentence of the given kind. GLL as readGll; RMC, GGA and
// GNS by their field positions (an empty field stays in its place, as the
// standard has it), with the same rules for the numbers, the checksum and a
// cut sentence; a missing coordinate makes the fix invalid.
GllFix readPosition(const ReceivedSentence& sentence, PositionKind kind, bool eightDigits);

} // namespace tessaro
