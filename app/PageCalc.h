// Pure logic of the Lat/Long, QTH Locator and Car pages: what a handler of
// TForm1 computes between reading its controls and writing them. No Qt here,
// so every rule is tested directly. Texts are Windows-1252 byte strings.
#pragma once

#include "NumberDisplay.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace tessaro {

// The lenient integer parse of the Lat/Long fields: leading blanks; "$", "x",
// "X" or "0x" + hex digits, or optional sign + decimal digits; stops at the
// first misfit, dropping the minus sign when it stopped early ("-5x" -> 5).
// Empty, lone sign or prefix -> 0; a sign before a hex prefix ("-0x5") stops at
// the "x" -> 0. Blanks are spaces only. Never fails; saturates at the int32
// limits instead of wrapping, so an over-long field is refused by the range checks.
std::int32_t parseLenientInt(const std::string& text);

// Field values of the Lat/Long page in this order: from lat deg, min, sec,
// from lon deg, min, sec, to lat deg, min, sec, to lon deg, min, sec.
using LatLongFields = std::array<std::int32_t, 12>;

// Runs the eight range checks in order; returns the message of the last
// failing one, or "" when all pass.
std::string latLongRangeError(const LatLongFields& f);

// True when parseLenientInt reads the whole text as one number: blanks, a
// sign and decimal digits or a hex prefix and hex digits, blanks. Anything
// else ("5O", "l5", "3.", "5-", a lone sign) it would silently read as
// another number.
bool readsAsWholeNumber(const std::string& text);

// The texts of the twelve fields in LatLongFields order. Names the last
// field whose text is not a number: any field that is not empty or blank,
// and degrees even when empty (blank minutes and seconds read as 0).
// "" when every text reads.
std::string latLongTextError(const std::array<std::string, 12>& texts);

// Distance text in the unit of rgUnits' item index (0 km, 1 mi, 2 nm, other:
// km without suffix): 5 significant digits, 1 decimal above 100, else 3.
std::string distanceText(double km, int unitsIndex, char decimalSeparator);

// bearing - 180, plus 360 when that is negative.
double reverseBearing(double bearing);

// Car page: R = bearing - heading; minus 360 once when above 360, then plus
// 360 once when negative.
double relativeBearing(double bearing, double heading);

struct PointerEnd {
    int x;
    int y;
};
// Outer end of the 150-pixel pointer from the picture centre (75, 75).
PointerEnd pointerEnd(double relativeBearingDegrees);

struct PrecisionTexts {
    std::string latitude;
    std::string longitude;
};
// Precision of a decoded locator position by locator length (6 or 8) and centring.
PrecisionTexts precisionTexts(std::size_t locatorLength, bool centred);

// True when every character fits the Maidenhead alphabet at its position
// (A-R, A-R, 0-9, 0-9, A-X, A-X, 0-9, 0-9; either case). Length is not checked
// beyond the characters present.
bool locatorCharactersValid(const std::string& locator);

// Heading text as typed on the Car page: optional blanks, sign, digits with
// `decimalSeparator`, optional exponent, optional degree sign (0xB0, as the
// GPS writes it), optional blanks (spaces only). nullopt
// when it is not such a number or is too large for a double; too small ones are 0.
std::optional<double> parseHeading(const std::string& text, char decimalSeparator);

} // namespace tessaro
