// The one number display rule of every page: fixed notation, rounded once at
// the coarser of "precision significant digits" and "decimals decimals".
#pragma once

#include <string>

namespace tessaro {

// Rounds the exact decimal value of `value` (halves away from zero) to at most
// `precision` significant digits and at most `decimals` decimals, whichever
// keeps fewer, and writes exactly `decimals` decimals with `decimalSeparator`
// and no thousands separators. Example: (12345.678, 5, 1, '.') -> "12346.0".
std::string formatFixed(double value, int precision, int decimals, char decimalSeparator);

// Bearing/heading text: 7 significant digits, 1 decimal, then the degree sign 0xB0.
std::string degreesText(double degrees, char decimalSeparator);

// Value of a hexadecimal digit in either case, -1 for any other character.
int hexDigitValue(char c);

} // namespace tessaro
