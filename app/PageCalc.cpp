#include "PageCalc.h"

#include "NumberDisplay.h"

#include <charconv>
#include <cmath>
#include <cstddef>
#include <limits>
#include <system_error>

namespace tessaro {

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

bool isUpperOrLowerIn(char c, char first, char last) {
    return (c >= first && c <= last) || (c >= first + ('a' - 'A') && c <= last + ('a' - 'A'));
}

bool outside(std::int32_t value, std::int32_t low, std::int32_t high) {
    return value < low || value > high;
}

} // namespace

std::int32_t parseLenientInt(const std::string& text) {
    // Magnitudes are accumulated in 64 bits and capped just above 2^31, so any
    // digit string ends up saturated at the int32 limits. Wrapping would let a
    // long GPS or pasted field such as "$100000005" come out as 5 and slip
    // through the range checks; a saturated value is always refused.
    constexpr std::uint64_t cap = std::uint64_t{1} << 32;
    std::size_t i = 0;
    const std::size_t n = text.size();
    while (i < n && text[i] == ' ') {
        ++i;
    }

    int base = 10;
    bool negative = false;
    if (i < n && (text[i] == '$' || text[i] == 'x' || text[i] == 'X')) {
        base = 16;
        ++i;
    } else if (i + 1 < n && text[i] == '0' && text[i + 1] == 'x') {
        base = 16;
        i += 2;
    } else if (i < n && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }

    std::uint64_t magnitude = 0;
    while (i < n) {
        const int digit =
            base == 16 ? hexDigitValue(text[i]) : (isDigit(text[i]) ? text[i] - '0' : -1);
        if (digit < 0) {
            break;
        }
        magnitude =
            magnitude * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(digit);
        if (magnitude > cap) {
            magnitude = cap;
        }
        ++i;
    }

    // A misfit after the number means the conversion as a whole failed; what is
    // kept is the plain digit value, so "-5x" reads as 5.
    const bool stoppedEarly = i < n;
    if (negative && !stoppedEarly) {
        const std::uint64_t minMagnitude =
            static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max()) + 1;
        if (magnitude >= minMagnitude) {
            return std::numeric_limits<std::int32_t>::min();
        }
        return -static_cast<std::int32_t>(magnitude);
    }
    if (magnitude > static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max())) {
        return std::numeric_limits<std::int32_t>::max();
    }
    return static_cast<std::int32_t>(magnitude);
}

std::string latLongRangeError(const LatLongFields& f) {
    std::string message;
    if (outside(f[0], 0, 89)) {
        message = "from lat. error: 0\xB0 to 89\xB0 allowed";
    }
    if (outside(f[3], 0, 179)) {
        message = "from long. error: 0\xB0 to 179\xB0 allowed";
    }
    if (outside(f[1], 0, 59) || outside(f[4], 0, 59)) {
        message = "from minutes error: 0\xB4 to 59\xB4 allowed";
    }
    if (outside(f[2], 0, 59) || outside(f[5], 0, 59)) {
        message = "from seconds error: 00\" to 59\" allowed";
    }
    if (outside(f[6], 0, 89)) {
        message = "to lat. error: min 00\xB0 to max 89\xB0";
    }
    if (outside(f[9], 0, 179)) {
        message = "to long. error: 0\xB0 to 179\xB0 allowed";
    }
    if (outside(f[7], 0, 59) || outside(f[10], 0, 59)) {
        message = "to minutes error: 0\xB4 to 59\xB4 allowed";
    }
    if (outside(f[8], 0, 59) || outside(f[11], 0, 59)) {
        message = "to seconds error: 0\" to 59\" allowed";
    }
    return message;
}

bool readsAsWholeNumber(const std::string& text) {
    // The same prefixes as parseLenientInt, in the same order of trial.
    std::size_t i = 0;
    const std::size_t n = text.size();
    while (i < n && text[i] == ' ') {
        ++i;
    }
    bool hex = false;
    if (i < n && (text[i] == '$' || text[i] == 'x' || text[i] == 'X')) {
        hex = true;
        ++i;
    } else if (i + 1 < n && text[i] == '0' && text[i + 1] == 'x') {
        hex = true;
        i += 2;
    } else if (i < n && (text[i] == '+' || text[i] == '-')) {
        ++i;
    }
    const std::size_t digitsStart = i;
    while (i < n && (hex ? hexDigitValue(text[i]) >= 0 : isDigit(text[i]))) {
        ++i;
    }
    if (i == digitsStart) {
        return false;
    }
    while (i < n && text[i] == ' ') {
        ++i;
    }
    return i == n;
}

std::string latLongTextError(const std::array<std::string, 12>& texts) {
    static const char* const names[12] = {
        "from lat. degrees",  "from lat. minutes",  "from lat. seconds", "from long. degrees",
        "from long. minutes", "from long. seconds", "to lat. degrees",   "to lat. minutes",
        "to lat. seconds",    "to long. degrees",   "to long. minutes",  "to long. seconds"};
    std::string message;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        const std::string& text = texts[i];
        const bool blank = text.find_first_not_of(' ') == std::string::npos;
        const bool degrees = i % 3 == 0;
        if (blank && degrees) {
            message = std::string(names[i]) + " error: empty";
        } else if (!blank && !readsAsWholeNumber(text)) {
            message = std::string(names[i]) + " error: not a whole number";
        }
    }
    return message;
}

std::string distanceText(double km, int unitsIndex, char decimalSeparator) {
    double value = km;
    const char* suffix = "";
    switch (unitsIndex) {
    case 0:
        suffix = " km";
        break;
    case 1:
        value = km * 0.6215;
        suffix = " mi";
        break;
    case 2:
        value = km * 0.53995;
        suffix = " nm";
        break;
    default:
        break;
    }
    const int decimals = value > 100 ? 1 : 3;
    return formatFixed(value, 5, decimals, decimalSeparator) + suffix;
}

double reverseBearing(double bearing) {
    double reverse = bearing - 180;
    if (!(reverse >= 0)) {
        reverse += 360;
    }
    return reverse;
}

double relativeBearing(double bearing, double heading) {
    // One correction each way only: a typed heading has no range, and the
    // page shows what such a heading gives (10 - 400 -> -30) rather than
    // folding it silently.
    double r = bearing - heading;
    if (r > 360) {
        r -= 360;
    }
    if (!(r >= 0)) {
        r += 360;
    }
    return r;
}

PointerEnd pointerEnd(double relativeBearingDegrees) {
    constexpr int centre = 75;
    constexpr double length = 150;
    constexpr double pi = 3.14159265358979323846;
    const double a = (relativeBearingDegrees - 90) / 360 * 2 * pi;
    // cos and sin of any finite angle lie in [-1, 1], so the casts below are
    // safe; an infinite or NaN heading leaves the pointer as a dot at the pivot.
    if (!std::isfinite(a)) {
        return {centre, centre};
    }
    return {centre + static_cast<int>(std::trunc(std::cos(a) * length)),
            centre + static_cast<int>(std::trunc(std::sin(a) * length))};
}

PrecisionTexts precisionTexts(std::size_t locatorLength, bool centred) {
    // A 6-character square spans 2'30" of latitude by 5' of longitude, an
    // 8-character one 15" by 30"; a centred position is off by half of that
    // either way, a south-west corner by up to the whole span. Lengths other
    // than 8 never reach here (the page refuses them) and read as 6.
    if (locatorLength == 8) {
        if (centred) {
            return {"\xB1 7.5\"", "\xB1 15\""};
        }
        return {"+ 15\"", "+ 30\""};
    }
    if (centred) {
        return {"\xB1 1\xB4"
                "15\"",
                "\xB1 2\xB4"
                "30\""};
    }
    return {"+ 2\xB4"
            "30\"",
            "+ 5\xB4"
            "00\""};
}

bool locatorCharactersValid(const std::string& locator) {
    if (locator.size() > 8) {
        return false;
    }
    for (std::size_t i = 0; i < locator.size(); ++i) {
        const char c = locator[i];
        bool fits = false;
        switch (i) {
        case 0:
        case 1:
            fits = isUpperOrLowerIn(c, 'A', 'R');
            break;
        case 4:
        case 5:
            fits = isUpperOrLowerIn(c, 'A', 'X');
            break;
        default:
            fits = isDigit(c);
            break;
        }
        if (!fits) {
            return false;
        }
    }
    return true;
}

std::optional<double> parseHeading(const std::string& text, char decimalSeparator) {
    // Only the space counts as a blank, as in the integer fields; the text is
    // rewritten with '.' for from_chars, which ignores the C locale (Qt sets
    // that from the environment, so strtod would read ',' in some sessions).
    const std::size_t n = text.size();
    std::size_t i = 0;
    while (i < n && text[i] == ' ') {
        ++i;
    }
    std::string plain;
    bool negative = false;
    if (i < n && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }

    // Decimal position of the first significant digit, to tell an overflow
    // from an underflow when from_chars reports either as out of range.
    long long leadingExponent = 0;
    bool seenSignificant = false;
    std::size_t mantissaDigits = 0;
    while (i < n && isDigit(text[i])) {
        if (text[i] != '0') {
            seenSignificant = true;
        }
        if (seenSignificant) {
            ++leadingExponent;
        }
        plain += text[i++];
        ++mantissaDigits;
    }
    if (i < n && text[i] == decimalSeparator) {
        plain += '.';
        ++i;
        while (i < n && isDigit(text[i])) {
            if (!seenSignificant) {
                if (text[i] != '0') {
                    seenSignificant = true;
                } else {
                    --leadingExponent;
                }
            }
            plain += text[i++];
            ++mantissaDigits;
        }
    }
    if (mantissaDigits == 0) {
        return std::nullopt;
    }

    long long exponent = 0;
    if (i < n && (text[i] == 'e' || text[i] == 'E')) {
        plain += 'e';
        ++i;
        bool exponentNegative = false;
        if (i < n && (text[i] == '+' || text[i] == '-')) {
            exponentNegative = text[i] == '-';
            plain += text[i++];
        }
        std::size_t exponentDigits = 0;
        while (i < n && isDigit(text[i])) {
            if (exponent < 1'000'000'000) {
                exponent = exponent * 10 + (text[i] - '0');
            }
            plain += text[i++];
            ++exponentDigits;
        }
        if (exponentDigits == 0) {
            return std::nullopt;
        }
        if (exponentNegative) {
            exponent = -exponent;
        }
    }
    if (i < n && text[i] == '\xB0') {
        ++i;
    }
    while (i < n && text[i] == ' ') {
        ++i;
    }
    if (i != n) {
        return std::nullopt;
    }

    double value = 0;
    const auto result = std::from_chars(plain.data(), plain.data() + plain.size(), value);
    if (result.ec == std::errc::result_out_of_range) {
        if (leadingExponent + exponent > 0) {
            return std::nullopt; // would be infinite
        }
        value = 0; // too small to represent: it is zero
    } else if (result.ec != std::errc() || result.ptr != plain.data() + plain.size()) {
        return std::nullopt;
    }
    return negative ? -value : value;
}

} // namespace tessaro
