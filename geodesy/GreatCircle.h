// Geodesics on the WGS84 ellipsoid, the "great circle" choice of the pages.
// Built on GeographicLib where the build found it (TESSARO_HAVE_GEOGRAPHICLIB);
// without it greatCircleAvailable() is false and the pages stay on the plane.
#pragma once

#include <optional>

namespace tessaro {

struct GeodesicFigures {
    double distanceKm;     // short path
    double bearing;        // initial bearing at the start, [0, 360)
    double reverseBearing; // from the destination back to the start, [0, 360)
    double longDistanceKm; // the same geodesic the other way round
    double longBearing;    // initial bearing of the long path, [0, 360)
};

bool greatCircleAvailable();

// Longitude before latitude, as in QTH.h; nullopt when not available or the
// latitudes lie beyond +-90.
std::optional<GeodesicFigures> geodesicFigures(double lon1, double lat1, double lon2, double lat2);

} // namespace tessaro
