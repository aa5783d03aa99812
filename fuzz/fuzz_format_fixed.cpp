// formatFixed against a slow reference that rounds the exact decimal
// expansion of the double digit by digit.
#include "FuzzCheck.h"
#include "NumberDisplay.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

// Every finite double has at most 1074 decimals, so this many is exact.
constexpr int kExactDecimals = 1100;

class ExactDecimal {
public:
    explicit ExactDecimal(double magnitude) {
        static char buf[400 + kExactDecimals];
        const int n = std::snprintf(buf, sizeof buf, "%.*f", kExactDecimals, magnitude);
        FUZZ_CHECK(n > 0 && static_cast<std::size_t>(n) < sizeof buf, "expansion of %a", magnitude);
        const char* point = std::strchr(buf, '.');
        m_integer.assign(buf, static_cast<std::size_t>(point - buf));
        m_fraction.assign(point + 1);
    }

    // The digit standing for 10^e.
    int digit(int e) const {
        if (e >= 0) {
            const auto k = static_cast<std::size_t>(e);
            return k < m_integer.size() ? m_integer[m_integer.size() - 1 - k] - '0' : 0;
        }
        const auto k = static_cast<std::size_t>(-e - 1);
        return k < m_fraction.size() ? m_fraction[k] - '0' : 0;
    }

    // Exponent of the leading non-zero digit; false for zero.
    bool leading(int& e) const {
        for (e = static_cast<int>(m_integer.size()) - 1; e >= -kExactDecimals; --e) {
            if (digit(e) != 0) {
                return true;
            }
        }
        return false;
    }

private:
    std::string m_integer, m_fraction;
};

std::string reference(double value, int precision, int decimals, char separator) {
    const ExactDecimal x(std::fabs(value));
    int lead = 0;
    // Nothing kept below 10^unit: the coarser of the two limits.
    const int unit = x.leading(lead) ? std::max(-decimals, lead - precision + 1) : -decimals;
    // Kept digits from 10^top down to 10^unit, one spare in front for the carry.
    const int top = std::max(lead, unit) + 1;
    std::string kept;
    for (int e = top; e >= unit; --e) {
        kept += static_cast<char>('0' + x.digit(e));
    }
    // The expansion is exact: a first dropped digit of 5 or more is half a unit or more.
    if (x.digit(unit - 1) >= 5) {
        std::size_t i = kept.size() - 1;
        while (kept[i] == '9') {
            kept[i--] = '0';
        }
        ++kept[i];
    }
    // Scale to exactly `decimals` decimals.
    kept.append(static_cast<std::size_t>(unit + decimals), '0');
    kept.erase(0, std::min(kept.find_first_not_of('0'), kept.size()));
    const bool zero = kept.empty();
    const auto d = static_cast<std::size_t>(decimals);
    if (kept.size() <= d) {
        kept.insert(0, d + 1 - kept.size(), '0');
    }
    std::string out = (value < 0 && !zero) ? "-" : ""; // no "-0.0"
    out += kept.substr(0, kept.size() - d);
    if (d > 0) {
        out += separator;
        out += kept.substr(kept.size() - d);
    }
    return out;
}

double anyDouble(FuzzedDataProvider& in) {
    switch (in.ConsumeIntegralInRange(0, 2)) {
    case 0: {
        // Any bit pattern: huge, tiny, subnormal.
        const auto bits = in.ConsumeIntegral<std::uint64_t>();
        double v = 0;
        std::memcpy(&v, &bits, sizeof v);
        return v;
    }
    case 1: {
        // Short binary fractions: exact halves and quarters where rounding ties.
        const auto mantissa = in.ConsumeIntegralInRange<std::int64_t>(-(1LL << 53), 1LL << 53);
        return std::ldexp(static_cast<double>(mantissa), in.ConsumeIntegralInRange(-60, 12));
    }
    default: {
        // Decimal-looking values, as distances and bearings are.
        const auto n = in.ConsumeIntegralInRange<std::int64_t>(-99999999999LL, 99999999999LL);
        return static_cast<double>(n) / std::pow(10.0, in.ConsumeIntegralInRange(0, 9));
    }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const double value = anyDouble(in);
    const bool wide = in.ConsumeIntegralInRange(0, 15) == 0;
    const int precision = in.ConsumeIntegralInRange(1, wide ? 1200 : 20);
    const int decimals = in.ConsumeIntegralInRange(0, wide ? 1100 : 12);
    const char separator = in.ConsumeBool() ? ',' : '.';

    const std::string got = tessaro::formatFixed(value, precision, decimals, separator);
    if (!std::isfinite(value)) {
        FUZZ_CHECK(got == "NAN" || got == "INF" || got == "-INF", "%a gave \"%s\"", value,
                   got.c_str());
        return 0;
    }
    const std::string want = reference(value, precision, decimals, separator);
    FUZZ_CHECK(got == want, "formatFixed(%.17g [%a], %d, %d, '%c')\n  got  \"%s\"\n  want \"%s\"",
               value, value, precision, decimals, separator, got.c_str(), want.c_str());
    return 0;
}
