// Geodesy. The step order and the decimal constants below are deliberate: the
// displayed seconds and bearings depend on their last bits, so do not "simplify"
// a constant into the fraction it approximates or regroup a product.
#include "QTH.h"

#include <cmath>
#include <cstdio>
#include <string_view>

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kKmPerDegree = 111.3;

// Characters are codes 0..255; a plain char may be signed.
inline int code(char c) {
    return static_cast<unsigned char>(c);
}

// Raises ASCII a..z only; every other byte stays as it is.
inline int upper(char c) {
    const int x = code(c);
    return (x >= 'a' && x <= 'z') ? x - ('a' - 'A') : x;
}

bool equalIgnoringAsciiCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (upper(a[i]) != upper(b[i])) {
            return false;
        }
    }
    return true;
}

// Steps 2 to 6 of the bearing, shared by positions and decoded locators.
double bearingFromDifferentPlaces(double lon1, double lat1, double lon2, double lat2) {
    const double dLon = LongitudeDifference(lon1, lon2);
    const double c = std::sin(DegToRad(lat1)) * std::sin(DegToRad(lat2)) +
                     std::cos(DegToRad(lat1)) * std::cos(DegToRad(lat2)) * std::cos(DegToRad(dLon));
    const double d = ArcCos(c);
    const double sinD = std::sin(d);
    // Zero angular distance (same place, e.g. "JN49KW" and "JN49KW00"): no direction, bearing 0.
    if (sinD == 0.0) {
        return 0.0;
    }
    // Near the antipode q may be huge; ArcSin folds and clamps it, so it stays finite.
    const double q = std::sin(DegToRad(dLon)) * std::cos(DegToRad(lat2)) / sinD;
    const double b = RadToDeg(ArcSin(q));
    // The quadrant is the one the great circle leaves in: east by the wrapped
    // longitude difference, north by the sign of the bearing's cosine
    // component. Raw coordinates would say "south" for a path that first
    // climbs toward a destination further south (every long east-west path).
    const bool east = dLon >= 0;
    const bool north =
        std::cos(DegToRad(lat1)) * std::sin(DegToRad(lat2)) -
            std::sin(DegToRad(lat1)) * std::cos(DegToRad(lat2)) * std::cos(DegToRad(dLon)) >=
        0;
    if (east) {
        return north ? b : 180.0 - b;
    }
    return north ? 360.0 - std::fabs(b) : 180.0 + std::fabs(b);
}

// Longitude and latitude field letters, counted outward from the zero meridian
// and the equator; the second table mirrors the first for west and south.
constexpr std::string_view kFieldEastNorth = "JKLMNOPQR";
constexpr std::string_view kFieldWestSouth = "IHGFEDCBA";
constexpr std::string_view kSubsquareEast = "ABCDEFGHIJKLMNOPQRSTUVWX";
constexpr std::string_view kSubsquareWest = "XWVUTSRQPONMLKJIHGFEDCBA";

// Truncating division and remainder as the encoder defines them (C++ already
// truncates toward zero); int64 so no combination of int32 inputs can overflow.
using Int = std::int64_t;

char tableLetter(std::string_view table, Int index, const char* what, Int value) {
    if (index < 0 || index >= static_cast<Int>(table.size())) {
        throw LocatorRangeError(std::string("LatLonToLocator: ") + what + " " +
                                std::to_string(value) + " out of range (table index " +
                                std::to_string(index) + ")");
    }
    return table[static_cast<std::size_t>(index)];
}

// A square digit must be one character; negative degrees would otherwise write
// "-2" or "12" and change the text's length.
char squareDigit(Int digit) {
    return (digit >= 0 && digit <= 9) ? static_cast<char>('0' + digit) : '?';
}

// Latitude subsquare letter: each 5' block holds two letters, 0..229 and
// 230..459 as minutes*100+seconds; 460..499 needs seconds above 59.
char latitudeSubsquare(Int v) {
    if (v < 0 || v > 5959) {
        return '?';
    }
    const Int block = v / 500;
    const Int rest = v % 500;
    if (rest < 230) {
        return static_cast<char>('a' + 2 * block);
    }
    if (rest < 460) {
        return static_cast<char>('a' + 2 * block + 1);
    }
    return '?';
}

std::string wholeNumber(double x) {
    char buf[400];
    std::snprintf(buf, sizeof buf, "%.0f", x);
    return buf;
}

std::string coordinateText(double value, const char* positive, const char* negative) {
    std::string text = value >= 0 ? positive : negative;
    double a = std::fabs(value);
    const double deg = std::trunc(a);
    text += wholeNumber(deg);
    text += "\xB0 ";
    a = (a - deg) * 60;
    const double min = std::trunc(a);
    text += wholeNumber(min);
    text += "' ";
    a = (a - min) * 60;
    text += wholeNumber(std::trunc(a));
    text += "\" ";
    return text;
}

} // namespace

double DegToRad(double x) {
    return x * kPi / 180;
}

double RadToDeg(double x) {
    return x * 180 / kPi;
}

double ArcSin(double x) {
    const double s = x >= 0 ? 1.0 : -1.0;
    double a = std::fabs(x);
    if (a > 1) {
        a = 1 - (a - 1);
    }
    if (a == 1) {
        return s * kPi / 2;
    }
    // abs(x) >= 3 folds to -1 or below: clamp to the arcsine of -1.
    if (a <= -1) {
        return -s * kPi / 2;
    }
    return s * std::atan(a / std::sqrt(1 - a * a));
}

double ArcCos(double x) {
    const double t = kPi / 2 - ArcSin(std::fabs(x));
    return x >= 0 ? t : kPi - t;
}

double LongitudeDifference(double lon1, double lon2) {
    // remainder() is exact and leaves (-180, 180) untouched, so every pair
    // that does not cross the 180th meridian keeps its bits.
    const double d = std::remainder(lon2 - lon1, 360.0);
    return d == -180.0 ? 180.0 : d;
}

double LatLonDistance(double lon1, double lat1, double lon2, double lat2) {
    const double dLon = LongitudeDifference(lon1, lon2);
    const double dLat = lat2 - lat1;
    const double k = std::cos(DegToRad(lat1)) * std::cos(DegToRad(lat2));
    const double radicand = k * (dLon * dLon) + dLat * dLat;
    // Latitudes beyond +-90 (stray locator characters) make k negative: distance 0.
    if (radicand < 0) {
        return 0.0;
    }
    return kKmPerDegree * std::sqrt(radicand);
}

double LatLonBearing(double lon1, double lat1, double lon2, double lat2) {
    if (lon1 == lon2 && lat1 == lat2) {
        return 0.0;
    }
    return bearingFromDifferentPlaces(lon1, lat1, lon2, lat2);
}

double LocatorDistance(const std::string& loc1, const std::string& loc2, bool centre) {
    double lon1 = 0, lat1 = 0, lon2 = 0, lat2 = 0;
    if (!LocatorToLatLon(loc1, lon1, lat1, centre) || !LocatorToLatLon(loc2, lon2, lat2, centre)) {
        return 0.0;
    }
    return LatLonDistance(lon1, lat1, lon2, lat2);
}

double LocatorBearing(const std::string& loc1, const std::string& loc2, bool centre) {
    if (equalIgnoringAsciiCase(loc1, loc2)) {
        return 0.0;
    }
    double lon1 = 0, lat1 = 0, lon2 = 0, lat2 = 0;
    if (!LocatorToLatLon(loc1, lon1, lat1, centre) || !LocatorToLatLon(loc2, lon2, lat2, centre)) {
        return 0.0;
    }
    return bearingFromDifferentPlaces(lon1, lat1, lon2, lat2);
}

bool LocatorToLatLon(const std::string& locator, double& lon, double& lat, bool centre) {
    lon = 0;
    lat = 0;
    const std::size_t n = locator.size();
    if (n != 6 && n != 8) {
        return false;
    }
    const char* c = locator.data();
    int lonDeg = (upper(c[0]) - 'A') * 20 - 180;
    int latDeg = (upper(c[1]) - 'A') * 10 - 90;
    lonDeg += (code(c[2]) - '0') * 2;
    latDeg += code(c[3]) - '0';
    // The one-second offset (0.00027777778) keeps a decoded corner from showing
    // one second less after the truncating coordinate text.
    lon = ((upper(c[4]) - 'A') * 2 + lonDeg * 24) * 0.0416666666;
    lon = lon + 0.00027777778;
    lat = ((upper(c[5]) - 'A') * 2 + latDeg * 48) * 0.0208333333;
    lat = lat + 0.00027777778;
    if (n == 8) {
        lon = lon + (upper(c[6]) - '0') * 0.00833333333;
        lat = lat + (upper(c[7]) - '0') * 0.004166666666;
    }
    if (centre) {
        if (n == 6) {
            lon = lon + 0.041666666666;
            lat = lat + 0.020833333333;
        } else {
            lon = lon + 0.00416666666;
            lat = lat + 0.00208333333;
        }
    }
    return true;
}

std::string LatLonToLocator(std::int32_t lonD, std::int32_t lonM, std::int32_t lonS,
                            std::int32_t latD, std::int32_t latM, std::int32_t latS, bool east,
                            bool north, bool eight) {
    const Int lonDeg = lonD, lonMin = lonM, lonSec = lonS;
    const Int latDeg = latD, latMin = latM, latSec = latS;
    std::string text;
    text.reserve(8);

    text += tableLetter(east ? kFieldEastNorth : kFieldWestSouth, lonDeg / 20, "longitude degrees",
                        lonDeg);
    text += tableLetter(north ? kFieldEastNorth : kFieldWestSouth, latDeg / 10, "latitude degrees",
                        latDeg);

    const Int lonRest = lonDeg % 20;
    text += squareDigit(east ? lonRest / 2 : (19 - lonRest) / 2);
    const Int latRest = latDeg % 10;
    text += squareDigit(north ? latRest : 9 - latRest);

    // Odd degrees hold the second half of the alphabet: 24 letters over 2 degrees.
    const Int q = lonMin / 5;
    const Int index = (lonDeg % 2 == 0) ? q : q + 12;
    text += tableLetter(east ? kSubsquareEast : kSubsquareWest, index, "longitude minutes", lonMin);
    for (char& ch : text) {
        if (ch >= 'A' && ch <= 'Z') {
            ch = static_cast<char>(ch + ('a' - 'A'));
        }
    }

    // West and south mirror at 59'59": a boundary belongs to the outer square.
    Int v = latMin * 100 + latSec;
    if (!north) {
        v = 5959 - v;
    }
    text += latitudeSubsquare(v);

    if (eight) {
        Int t = lonMin * 60 + lonSec;
        if (!east) {
            t = 3599 - t;
        }
        t = t % 300;
        text += (t >= 0 && t <= 299) ? static_cast<char>('0' + t / 30) : '?';
        Int u = latMin * 60 + latSec;
        if (!north) {
            u = 3599 - u;
        }
        u = u % 150;
        text += (u >= 0 && u <= 149) ? static_cast<char>('0' + u / 15) : '?';
    }
    return text;
}

double DmsToDegrees(std::int32_t deg, std::int32_t min, std::int32_t sec, bool positive) {
    const double value = deg + min / 60.0 + sec / 3600.0;
    return positive ? value : -value;
}

std::string LatitudeToText(double latitude) {
    return coordinateText(latitude, "N ", "S ");
}

std::string LongitudeToText(double longitude) {
    return coordinateText(longitude, "E ", "W ");
}
