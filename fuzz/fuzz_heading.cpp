// parseHeading against the C library's strtod, limited to the characters a
// heading may hold (and a closing degree sign), so that strtod's wider grammar (hex, "inf", "nan",
// other blanks) never decides.
#include "FuzzCheck.h"
#include "PageCalc.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cerrno>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>

namespace {

using tessaro::fuzz::printable;

// What the contract accepts, by way of strtod: `value` is its reading when it
// accepts; `tiny` reports an underflow, where 0 or strtod's subnormal both do.
bool referenceParse(std::string text, char separator, double& value, bool& tiny) {
    const std::size_t first = text.find_first_not_of(' ');
    const std::size_t last = text.find_last_not_of(' ');
    if (first == std::string::npos) {
        return false;
    }
    text = text.substr(first, last - first + 1);
    // One degree sign may close the number, as the GPS writes the heading.
    if (text.back() == '\xB0') {
        text.pop_back();
    }
    if (text.empty()) {
        return false;
    }
    const std::string allowed = std::string("0123456789+-eE") + separator;
    if (text.find_first_not_of(allowed) != std::string::npos) {
        return false;
    }
    for (char& c : text) {
        if (c == separator) {
            c = '.';
        }
    }
    errno = 0;
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size()) {
        return false;
    }
    if (errno == ERANGE && std::fabs(value) > 1) {
        return false; // infinite
    }
    tiny = errno == ERANGE;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const char separator = in.ConsumeBool() ? ',' : '.';
    const std::string text = in.ConsumeRemainingBytesAsString();
    const std::optional<double> got = tessaro::parseHeading(text, separator);

    double want = 0;
    bool tiny = false;
    const bool accepted = referenceParse(text, separator, want, tiny);
    FUZZ_CHECK(got.has_value() == accepted, "\"%s\" (separator '%c'): accepted %d, expected %d",
               printable(text).c_str(), separator, got.has_value(), accepted);
    if (!got) {
        return 0;
    }
    FUZZ_CHECK(std::isfinite(*got), "\"%s\" -> %g", printable(text).c_str(), *got);
    const bool same = *got == want || (tiny && *got == 0);
    FUZZ_CHECK(same, "\"%s\" -> %.17g [%a], strtod %.17g [%a]", printable(text).c_str(), *got, *got,
               want, want);
    return 0;
}
