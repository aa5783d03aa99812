// Geodesy: plane distance, great-circle bearing, Maidenhead locator codec and
// coordinate text. Pure functions, no state, no Qt; callable from any thread.
//
// Texts are single-byte Windows-1252 strings (degree sign 0xB0); the window
// converts them at its edge. Every operation takes the longitude before the
// latitude, east and north positive.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

// Raised by LatLonToLocator when a letter-table index falls outside its table.
class LocatorRangeError : public std::range_error {
public:
    using std::range_error::range_error;
};

double DegToRad(double x);
double RadToDeg(double x);
double ArcSin(double x);
double ArcCos(double x);

// lon2 - lon1 brought into (-180, 180] by whole turns: the short way round,
// also across the 180th meridian.
double LongitudeDifference(double lon1, double lon2);

double LatLonDistance(double lon1, double lat1, double lon2, double lat2);
double LatLonBearing(double lon1, double lat1, double lon2, double lat2);
// Between the squares' south-west corners, or with `centre` between their
// centres (a 6- and an 8-character text of one square then differ).
double LocatorDistance(const std::string& loc1, const std::string& loc2, bool centre = false);
double LocatorBearing(const std::string& loc1, const std::string& loc2, bool centre = false);

bool LocatorToLatLon(const std::string& locator, double& lon, double& lat, bool centre);
std::string LatLonToLocator(std::int32_t lonD, std::int32_t lonM, std::int32_t lonS,
                            std::int32_t latD, std::int32_t latM, std::int32_t latS, bool east,
                            bool north, bool eight);

// Whole degrees, minutes and seconds as decimal degrees, negative when not
// `positive` (south, west).
double DmsToDegrees(std::int32_t deg, std::int32_t min, std::int32_t sec, bool positive);

// A position in the whole units the Lat/Long page shows.
struct DmsPlace {
    std::int32_t latDeg, latMin, latSec;
    bool north;
    std::int32_t lonDeg, lonMin, lonSec;
    bool east;
};
// The place the pages start with, and the position a GLL sentence without
// its fields stands for: Darmstadt, JN49kw.
constexpr DmsPlace kStartPlace{49, 56, 30, true, 8, 50, 48, true};

std::string LatitudeToText(double latitude);
std::string LongitudeToText(double longitude);
