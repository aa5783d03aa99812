// parseLenientInt against a reference written from its contract, and the
// round trip of every int32 written in decimal.
#include "FuzzCheck.h"
#include "PageCalc.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <limits>
#include <string>

namespace {

using tessaro::fuzz::printable;

int digitValue(char c, int base) {
    int v = -1;
    if (c >= '0' && c <= '9') {
        v = c - '0';
    } else if (c >= 'a' && c <= 'f') {
        v = c - 'a' + 10;
    } else if (c >= 'A' && c <= 'F') {
        v = c - 'A' + 10;
    }
    return v < base ? v : -1;
}

// Leading spaces; "$", "x", "X" or "0x" then hex digits, or an optional sign
// then decimal digits; the first misfit ends the number and drops a minus
// sign; the value saturates at the int32 limits.
std::int32_t reference(const std::string& text) {
    std::size_t i = text.find_first_not_of(' ');
    if (i == std::string::npos) {
        return 0;
    }
    int base = 10;
    bool negative = false;
    if (text.compare(i, 2, "0x") == 0) {
        base = 16;
        i += 2;
    } else if (text[i] == '$' || text[i] == 'x' || text[i] == 'X') {
        base = 16;
        i += 1;
    } else if (text[i] == '+' || text[i] == '-') {
        negative = text[i] == '-';
        i += 1;
    }
    // Leading zeros change nothing; more significant digits than 2^31 needs saturate.
    while (i < text.size() && text[i] == '0') {
        ++i;
    }
    std::string digits;
    while (i < text.size() && digitValue(text[i], base) >= 0) {
        digits += text[i++];
    }
    const bool complete = i == text.size();
    if (!complete) {
        negative = false;
    }
    const std::size_t fits = base == 10 ? 10 : 8;
    long double magnitude = 0; // exact: at most 10 decimal or 8 hex digits are summed
    if (digits.size() > fits) {
        magnitude = 1e20L;
    } else {
        for (char c : digits) {
            magnitude = magnitude * base + digitValue(c, base);
        }
    }
    constexpr auto lo = static_cast<long double>(std::numeric_limits<std::int32_t>::min());
    constexpr auto hi = static_cast<long double>(std::numeric_limits<std::int32_t>::max());
    const long double value = negative ? -magnitude : magnitude;
    if (value <= lo) {
        return std::numeric_limits<std::int32_t>::min();
    }
    if (value >= hi) {
        return std::numeric_limits<std::int32_t>::max();
    }
    return static_cast<std::int32_t>(value);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    if (in.ConsumeIntegralInRange(0, 7) == 0) {
        const auto n = in.ConsumeIntegral<std::int32_t>();
        const std::string text = std::string(in.ConsumeIntegralInRange(0, 3), ' ') +
                                 (n >= 0 && in.ConsumeBool() ? "+" : "") + std::to_string(n);
        const std::int32_t got = tessaro::parseLenientInt(text);
        FUZZ_CHECK(got == n, "\"%s\" read as %d", text.c_str(), got);
        return 0;
    }
    const std::string text = in.ConsumeRemainingBytesAsString();
    const std::int32_t got = tessaro::parseLenientInt(text);
    const std::int32_t want = reference(text);
    FUZZ_CHECK(got == want, "\"%s\" read as %d, expected %d", printable(text).c_str(), got, want);
    return 0;
}
