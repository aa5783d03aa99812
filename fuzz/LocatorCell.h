// The one property tying the locator encoder to the decoder: the locator made
// from a position decodes to a square that contains that position.
#pragma once

#include "FuzzCheck.h"
#include "QTH.h"

#include <cmath>
#include <cstdint>
#include <string>

namespace tessaro::fuzz {

// Whole degrees, minutes, seconds with hemispheres, in the ranges the pages
// accept (longitude 0..179, latitude 0..89, minutes and seconds 0..59).
struct DmsPosition {
    std::int32_t lonDeg, lonMin, lonSec;
    std::int32_t latDeg, latMin, latSec;
    bool east, north;

    double lon() const { return (east ? 1 : -1) * (lonDeg + lonMin / 60.0 + lonSec / 3600.0); }
    double lat() const { return (north ? 1 : -1) * (latDeg + latMin / 60.0 + latSec / 3600.0); }
};

// Lower-case field letters a-r, square digits, subsquare letters a-x and, for
// eight characters, two more digits.
inline bool locatorShapeValid(const std::string& loc, bool eight) {
    if (loc.size() != (eight ? 8u : 6u)) {
        return false;
    }
    auto in = [](char c, char lo, char hi) { return c >= lo && c <= hi; };
    bool ok = in(loc[0], 'a', 'r') && in(loc[1], 'a', 'r') && in(loc[2], '0', '9') &&
              in(loc[3], '0', '9') && in(loc[4], 'a', 'x') && in(loc[5], 'a', 'x');
    if (eight) {
        ok = ok && in(loc[6], '0', '9') && in(loc[7], '0', '9');
    }
    return ok;
}

// Checks that `loc` (as encoded from `p`) has the locator shape and decodes to
// a square holding p. A position on a square's edge may belong to either side.
inline void checkLocatorHolds(const std::string& loc, const DmsPosition& p, bool eight) {
    FUZZ_CHECK(locatorShapeValid(loc, eight), "locator \"%s\" for %d %d %d %c, %d %d %d %c",
               printable(loc).c_str(), p.lonDeg, p.lonMin, p.lonSec, p.east ? 'E' : 'W', p.latDeg,
               p.latMin, p.latSec, p.north ? 'N' : 'S');
    double lon = 0, lat = 0;
    FUZZ_CHECK(LocatorToLatLon(loc, lon, lat, false), "\"%s\" not decoded", loc.c_str());
    // The decoder adds one second to the corner; its constants are rounded to
    // about 1e-10 per unit, a few 1e-7 degrees at most over the globe.
    const double second = 1.0 / 3600;
    const double tolerance = 1e-6;
    const double lonCorner = lon - second;
    const double latCorner = lat - second;
    const double lonWidth = eight ? 1.0 / 120 : 1.0 / 12;
    const double latHeight = eight ? 1.0 / 240 : 1.0 / 24;
    const bool holds =
        p.lon() >= lonCorner - tolerance && p.lon() <= lonCorner + lonWidth + tolerance &&
        p.lat() >= latCorner - tolerance && p.lat() <= latCorner + latHeight + tolerance;
    FUZZ_CHECK(holds,
               "\"%s\" decodes to the square at lon %.7f lat %.7f (%.5f x %.5f) which does not "
               "hold %d %d %d %c = %.7f, %d %d %d %c = %.7f",
               loc.c_str(), lonCorner, latCorner, lonWidth, latHeight, p.lonDeg, p.lonMin, p.lonSec,
               p.east ? 'E' : 'W', p.lon(), p.latDeg, p.latMin, p.latSec, p.north ? 'N' : 'S',
               p.lat());
}

} // namespace tessaro::fuzz
