// Locator codec: decoding arbitrary text, encoding arbitrary integers, and
// distance and bearing of whatever the decoder makes of them.
#include "FuzzCheck.h"
#include "LocatorCell.h"
#include "QTH.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

namespace {

using tessaro::fuzz::DmsPosition;
using tessaro::fuzz::printable;

bool inAlphabet(const std::string& loc) {
    static const char* const ranges[] = {"AR", "AR", "09", "09", "AX", "AX", "09", "09"};
    for (std::size_t i = 0; i < loc.size() && i < 8; ++i) {
        char c = loc[i];
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
        if (c < ranges[i][0] || c > ranges[i][1]) {
            return false;
        }
    }
    return true;
}

void decodeText(const std::string& text, bool centre) {
    double lon = 1, lat = 1;
    const bool ok = LocatorToLatLon(text, lon, lat, centre);
    const bool lengthOk = text.size() == 6 || text.size() == 8;
    FUZZ_CHECK(ok == lengthOk, "\"%s\" (%zu chars) gave %d", printable(text).c_str(), text.size(),
               ok);
    if (!ok) {
        FUZZ_CHECK(lon == 0 && lat == 0, "refused \"%s\" left %g %g", printable(text).c_str(), lon,
                   lat);
        return;
    }
    FUZZ_CHECK(std::isfinite(lon) && std::isfinite(lat), "\"%s\" -> %g %g", printable(text).c_str(),
               lon, lat);
    if (inAlphabet(text)) {
        FUZZ_CHECK(lon > -180 && lon < 180 && lat > -90 && lat < 90, "\"%s\" -> %.9f %.9f",
                   text.c_str(), lon, lat);
    }
}

void locatorPair(const std::string& a, const std::string& b) {
    const double distance = LocatorDistance(a, b);
    const double bearing = LocatorBearing(a, b);
    FUZZ_CHECK(std::isfinite(distance) && distance >= 0, "distance \"%s\" \"%s\" = %g",
               printable(a).c_str(), printable(b).c_str(), distance);
    FUZZ_CHECK(std::isfinite(bearing), "bearing \"%s\" \"%s\" = %g", printable(a).c_str(),
               printable(b).c_str(), bearing);
    // Longitudes are not wrapped: only places less than 180 degrees of
    // longitude apart have a bearing within 0..360.
    double lon1 = 0, lat1 = 0, lon2 = 0, lat2 = 0;
    const bool bothValid = LocatorToLatLon(a, lon1, lat1, false) &&
                           LocatorToLatLon(b, lon2, lat2, false) && inAlphabet(a) &&
                           inAlphabet(b) && std::fabs(lon2 - lon1) < 180;
    if (bothValid) {
        FUZZ_CHECK(bearing >= 0 && bearing <= 360, "bearing \"%s\" \"%s\" = %.9f", a.c_str(),
                   b.c_str(), bearing);
    }
}

// Positions a little beyond the globe too, as stray locator characters give.
void positionPair(FuzzedDataProvider& in) {
    const double lon1 = in.ConsumeFloatingPointInRange(-400.0, 400.0);
    const double lat1 = in.ConsumeFloatingPointInRange(-200.0, 200.0);
    const double lon2 = in.ConsumeFloatingPointInRange(-400.0, 400.0);
    const double lat2 = in.ConsumeFloatingPointInRange(-200.0, 200.0);
    const double distance = LatLonDistance(lon1, lat1, lon2, lat2);
    const double bearing = LatLonBearing(lon1, lat1, lon2, lat2);
    FUZZ_CHECK(std::isfinite(distance) && distance >= 0, "distance %.17g %.17g %.17g %.17g = %g",
               lon1, lat1, lon2, lat2, distance);
    FUZZ_CHECK(std::isfinite(bearing), "bearing %.17g %.17g %.17g %.17g = %g", lon1, lat1, lon2,
               lat2, bearing);
    const bool onGlobe =
        std::fabs(lon2 - lon1) < 180 && std::fabs(lat1) <= 90 && std::fabs(lat2) <= 90;
    if (onGlobe) {
        FUZZ_CHECK(bearing >= 0 && bearing <= 360, "bearing %.17g %.17g %.17g %.17g = %.17g", lon1,
                   lat1, lon2, lat2, bearing);
    }
}

std::int32_t anyOrSmall(FuzzedDataProvider& in, std::int32_t hi) {
    // Mostly near the accepted range, where the table edges are; sometimes anything.
    if (in.ConsumeBool()) {
        return in.ConsumeIntegral<std::int32_t>();
    }
    return in.ConsumeIntegralInRange<std::int32_t>(-2 * hi - 2, 2 * hi + 2);
}

void encodeIntegers(FuzzedDataProvider& in) {
    DmsPosition p{};
    p.lonDeg = anyOrSmall(in, 179);
    p.lonMin = anyOrSmall(in, 59);
    p.lonSec = anyOrSmall(in, 59);
    p.latDeg = anyOrSmall(in, 89);
    p.latMin = anyOrSmall(in, 59);
    p.latSec = anyOrSmall(in, 59);
    p.east = in.ConsumeBool();
    p.north = in.ConsumeBool();
    const bool eight = in.ConsumeBool();
    const bool accepted = p.lonDeg >= 0 && p.lonDeg <= 179 && p.latDeg >= 0 && p.latDeg <= 89 &&
                          p.lonMin >= 0 && p.lonMin <= 59 && p.lonSec >= 0 && p.lonSec <= 59 &&
                          p.latMin >= 0 && p.latMin <= 59 && p.latSec >= 0 && p.latSec <= 59;
    std::string loc;
    try {
        loc = LatLonToLocator(p.lonDeg, p.lonMin, p.lonSec, p.latDeg, p.latMin, p.latSec, p.east,
                              p.north, eight);
    } catch (const LocatorRangeError& e) {
        FUZZ_CHECK(!accepted, "range error for %d %d %d %c, %d %d %d %c: %s", p.lonDeg, p.lonMin,
                   p.lonSec, p.east ? 'E' : 'W', p.latDeg, p.latMin, p.latSec, p.north ? 'N' : 'S',
                   e.what());
        return;
    }
    FUZZ_CHECK(loc.size() == (eight ? 8u : 6u), "\"%s\" for %d %d %d, %d %d %d",
               printable(loc).c_str(), p.lonDeg, p.lonMin, p.lonSec, p.latDeg, p.latMin, p.latSec);
    if (accepted) {
        tessaro::fuzz::checkLocatorHolds(loc, p, eight);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    switch (in.ConsumeIntegralInRange<int>(0, 3)) {
    case 0: {
        const bool centre = in.ConsumeBool();
        decodeText(in.ConsumeRemainingBytesAsString(), centre);
        break;
    }
    case 1: {
        const std::string a = in.ConsumeRandomLengthString(16);
        locatorPair(a, in.ConsumeRemainingBytesAsString());
        break;
    }
    case 2:
        positionPair(in);
        break;
    default:
        encodeIntegers(in);
        break;
    }
    return 0;
}
