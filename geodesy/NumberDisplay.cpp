#include "NumberDisplay.h"
#include "NumberDisplayDetail.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>

namespace tessaro {
namespace detail {
namespace {

__extension__ typedef unsigned __int128 U128;

// More significant digits than any double has: beyond this the limit is moot,
// and clamping keeps "k - precision" far from integer overflow.
constexpr int kMaxPrecision = 1200;

int clampPrecision(int p) {
    return std::clamp(p, 1, kMaxPrecision);
}
int clampDecimals(int d) {
    return std::clamp(d, 0, kMaxDecimals);
}

// Writes the number `units` * 10^unitExp (unitExp >= -decimals) with exactly
// `decimals` decimals. `units` is a plain digit string, possibly with leading zeros.
std::string writeFixed(std::string units, int unitExp, int decimals, bool negative, char sep) {
    const std::size_t firstNonZero = units.find_first_not_of('0');
    const bool zero = firstNonZero == std::string::npos;
    units.erase(0, zero ? units.size() : firstNonZero);
    if (!zero) {
        units.append(static_cast<std::size_t>(unitExp + decimals), '0');
    }
    const auto d = static_cast<std::size_t>(decimals);
    if (units.size() < d + 1) {
        units.insert(0, d + 1 - units.size(), '0');
    }
    std::string out;
    out.reserve(units.size() + 2);
    // A value that rounds to zero prints without a sign: "-0.0" reads as an error.
    if (negative && !zero) {
        out += '-';
    }
    out.append(units, 0, units.size() - d);
    if (d > 0) {
        out += sep;
        out.append(units, units.size() - d, d);
    }
    return out;
}

std::string u128ToDigits(U128 x) {
    char buf[48];
    char* p = buf + sizeof buf;
    do {
        *--p = static_cast<char>('0' + static_cast<int>(x % 10));
        x /= 10;
    } while (x != 0);
    return std::string(p, static_cast<std::size_t>(buf + sizeof buf - p));
}

} // namespace

std::string formatFixedExact(double value, int precision, int decimals, char sep) {
    precision = clampPrecision(precision);
    decimals = clampDecimals(decimals);
    const double a = std::fabs(value);
    // The lowest bit of a double is 2^(E-53), which takes exactly 53-E decimals
    // (at most 1074 for subnormals), so this expansion is the exact value.
    int exp2 = 0;
    std::frexp(a, &exp2);
    const int fracDigits = std::clamp(53 - exp2, 0, 1074);
    char buf[1500]; // 309 integer digits + point + 1074 decimals + NUL
    const int len = std::snprintf(buf, sizeof buf, "%.*f", fracDigits, a);
    if (len <= 0 || static_cast<std::size_t>(len) >= sizeof buf) {
        return "?";
    }
    std::string digits(buf, static_cast<std::size_t>(len));
    const std::size_t point = digits.find('.');
    const int pointPos = static_cast<int>(point == std::string::npos ? digits.size() : point);
    if (point != std::string::npos) {
        digits.erase(point, 1);
    }
    // Digit index j stands for 10^(pointPos - 1 - j).
    const std::size_t first = digits.find_first_not_of('0');
    if (first == std::string::npos) {
        return writeFixed("0", -decimals, decimals, false, sep);
    }
    const int leading = pointPos - 1 - static_cast<int>(first);
    const int unitExp = std::max(-decimals, leading - precision + 1);
    const int lastKept = pointPos - 1 - unitExp;
    std::string kept =
        lastKept >= 0 ? digits.substr(0, static_cast<std::size_t>(lastKept) + 1) : std::string("0");
    if (lastKept >= 0 && kept.size() < static_cast<std::size_t>(lastKept) + 1) {
        // More decimals asked than the expansion has: the missing digits are zeros.
        kept.append(static_cast<std::size_t>(lastKept) + 1 - kept.size(), '0');
    }
    const auto next = static_cast<std::size_t>(lastKept + 1);
    // The expansion is exact, so a first dropped digit of 5 or more means "half
    // or more": round away from zero.
    if (lastKept + 1 >= 0 && next < digits.size() && digits[next] >= '5') {
        std::size_t i = kept.size();
        while (i > 0 && kept[i - 1] == '9') {
            kept[--i] = '0';
        }
        if (i == 0) {
            kept.insert(kept.begin(), '1');
        } else {
            ++kept[i - 1];
        }
    }
    return writeFixed(std::move(kept), unitExp, decimals, value < 0, sep);
}

std::optional<std::string> formatFixedFast(double value, int precision, int decimals, char sep) {
    precision = clampPrecision(precision);
    decimals = clampDecimals(decimals);
    static constexpr double kPow10d[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                         1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    static constexpr std::uint64_t kPow10u[] = {1ULL,
                                                10ULL,
                                                100ULL,
                                                1000ULL,
                                                10000ULL,
                                                100000ULL,
                                                1000000ULL,
                                                10000000ULL,
                                                100000000ULL,
                                                1000000000ULL,
                                                10000000000ULL,
                                                100000000000ULL,
                                                1000000000000ULL,
                                                10000000000000ULL,
                                                100000000000000ULL,
                                                1000000000000000ULL,
                                                10000000000000000ULL,
                                                100000000000000000ULL,
                                                1000000000000000000ULL,
                                                10000000000000000000ULL};
    const double a = std::fabs(value);
    if (!(a < 1e15)) {
        return std::nullopt;
    }
    int unitExp = -decimals;
    if (a >= 1) {
        // Powers of ten up to 1e15 are exact doubles, so this finds the leading digit exactly.
        int leading = 0;
        while (leading < 15 && a >= kPow10d[leading + 1]) {
            ++leading;
        }
        unitExp = std::max(-decimals, leading - precision + 1);
    } else if (precision < decimals) {
        // Below 1 the leading digit would matter; leave it to the exact path.
        return std::nullopt;
    }
    if (unitExp > 0 || -unitExp > 19) {
        return std::nullopt;
    }
    int exp2 = 0;
    const double f = std::frexp(a, &exp2);
    const int shift = 53 - exp2; // a = mantissa * 2^-shift
    if (shift <= 0 || shift > 116) {
        return std::nullopt;
    }
    const auto mantissa = static_cast<std::uint64_t>(std::ldexp(f, 53));
    // mantissa < 2^53 and 10^19 < 2^64: the product fits in 117 bits.
    const U128 scaled = static_cast<U128>(mantissa) * kPow10u[-unitExp];
    U128 units = scaled >> shift;
    const U128 rest = scaled - (units << shift);
    if (rest >= (static_cast<U128>(1) << (shift - 1))) {
        ++units;
    }
    return writeFixed(u128ToDigits(units), unitExp, decimals, value < 0, sep);
}

} // namespace detail

std::string formatFixed(double value, int precision, int decimals, char decimalSeparator) {
    // Not a number to show; a fixed text instead of a crash or garbage digits.
    if (std::isnan(value)) {
        return "NAN";
    }
    if (std::isinf(value)) {
        return value < 0 ? "-INF" : "INF";
    }
    if (auto fast = detail::formatFixedFast(value, precision, decimals, decimalSeparator)) {
        return *std::move(fast);
    }
    return detail::formatFixedExact(value, precision, decimals, decimalSeparator);
}

int hexDigitValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

std::string degreesText(double degrees, char decimalSeparator) {
    return formatFixed(degrees, 7, 1, decimalSeparator) + "\xB0";
}

} // namespace tessaro
