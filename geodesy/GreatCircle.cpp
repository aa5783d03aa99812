#include "GreatCircle.h"

#include <cmath>

#ifdef TESSARO_HAVE_GEOGRAPHICLIB
#include <GeographicLib/Geodesic.hpp>
#include <GeographicLib/GeodesicLine.hpp>
#endif

namespace tessaro {
#ifdef TESSARO_HAVE_GEOGRAPHICLIB
namespace {

double compassBearing(double azimuth) {
    // GeographicLib's azimuths lie in [-180, 180]; -0 and 360 read as 0.
    double b = std::fmod(azimuth + 360.0, 360.0);
    if (b >= 360.0 || b == 0.0) {
        b = 0.0;
    }
    return b;
}

} // namespace
#endif

bool greatCircleAvailable() {
#ifdef TESSARO_HAVE_GEOGRAPHICLIB
    return true;
#else
    return false;
#endif
}

std::optional<GeodesicFigures> geodesicFigures(double lon1, double lat1, double lon2, double lat2) {
#ifdef TESSARO_HAVE_GEOGRAPHICLIB
    if (!(std::fabs(lat1) <= 90.0 && std::fabs(lat2) <= 90.0) || !std::isfinite(lon1) ||
        !std::isfinite(lon2)) {
        return std::nullopt;
    }
    const GeographicLib::Geodesic& wgs84 = GeographicLib::Geodesic::WGS84();
    double s12 = 0;
    double azi1 = 0;
    double azi2 = 0;
    wgs84.Inverse(lat1, lon1, lat2, lon2, s12, azi1, azi2);
    // The long path leaves the other way and follows the same geodesic
    // round: one full turn on the auxiliary sphere, less the short path.
    const GeographicLib::GeodesicLine line = wgs84.Line(lat1, lon1, azi1);
    double lat = 0;
    double lon = 0;
    double azi = 0;
    double circuit = 0;
    line.ArcPosition(360.0, lat, lon, azi, circuit);
    GeodesicFigures g{};
    g.distanceKm = s12 / 1000.0;
    g.bearing = compassBearing(azi1);
    g.reverseBearing = compassBearing(azi2 + 180.0);
    g.longDistanceKm = (circuit - s12) / 1000.0;
    g.longBearing = compassBearing(azi1 + 180.0);
    return g;
#else
    (void)lon1;
    (void)lat1;
    (void)lon2;
    (void)lat2;
    return std::nullopt;
#endif
}

} // namespace tessaro
