#include "QTH.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>

namespace {

constexpr double kPi = 3.14159265358979323846;

struct ArcSinRow {
    const char* name;
    double x;
    double expected;
};

class ArcSinTable : public ::testing::TestWithParam<ArcSinRow> {};

TEST_P(ArcSinTable, FoldsAndClamps) {
    EXPECT_NEAR(ArcSin(GetParam().x), GetParam().expected, 1e-15);
}

INSTANTIATE_TEST_SUITE_P(
    Geodesy, ArcSinTable,
    ::testing::Values(ArcSinRow{"Zero", 0.0, 0.0}, ArcSinRow{"Half", 0.5, kPi / 6},
                      ArcSinRow{"MinusHalf", -0.5, -kPi / 6}, ArcSinRow{"One", 1.0, kPi / 2},
                      ArcSinRow{"MinusOne", -1.0, -kPi / 2},
                      // 1.5 folds once to 0.5, 2 to 0, 2.5 to -0.5 (the sign flips).
                      ArcSinRow{"FoldOneAndHalf", 1.5, kPi / 6}, ArcSinRow{"FoldTwo", 2.0, 0.0},
                      ArcSinRow{"FoldTwoAndHalf", 2.5, -kPi / 6},
                      ArcSinRow{"FoldMinusTwoAndHalf", -2.5, kPi / 6},
                      // From 3 on the fold reaches -1 or below: clamped to its arcsine.
                      ArcSinRow{"FoldThree", 3.0, -kPi / 2}, ArcSinRow{"FoldTen", 10.0, -kPi / 2},
                      ArcSinRow{"FoldMinusTen", -10.0, kPi / 2},
                      ArcSinRow{"FoldHuge", 1e300, -kPi / 2},
                      ArcSinRow{"FoldInfinite", INFINITY, -kPi / 2}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Geodesy, ArcCosAndAngleConversions) {
    EXPECT_DOUBLE_EQ(ArcCos(1.0), 0.0);
    EXPECT_DOUBLE_EQ(ArcCos(-1.0), kPi);
    EXPECT_DOUBLE_EQ(ArcCos(0.0), kPi / 2);
    EXPECT_NEAR(ArcCos(0.5), kPi / 3, 1e-15);
    EXPECT_NEAR(ArcCos(-0.5), 2 * kPi / 3, 1e-15);
    EXPECT_EQ(DegToRad(180.0), kPi);
    EXPECT_EQ(RadToDeg(kPi), 180.0);
    EXPECT_EQ(DegToRad(1.0), 1.0 * kPi / 180); // multiply first, then divide
}

struct PlaceRow {
    const char* name;
    double lon1, lat1, lon2, lat2;
    double distance;    // km; negative: not checked
    double bearing;     // degrees
    double distanceTol; // tolerance of the published value
    double bearingTol;
};

class PlaceTable : public ::testing::TestWithParam<PlaceRow> {};

TEST_P(PlaceTable, DistanceAndBearing) {
    const PlaceRow& r = GetParam();
    if (r.distance >= 0) {
        EXPECT_NEAR(LatLonDistance(r.lon1, r.lat1, r.lon2, r.lat2), r.distance, r.distanceTol);
    }
    EXPECT_NEAR(LatLonBearing(r.lon1, r.lat1, r.lon2, r.lat2), r.bearing, r.bearingTol);
}

INSTANTIATE_TEST_SUITE_P(
    Geodesy, PlaceTable,
    ::testing::Values(
        PlaceRow{"OneDegreeOnEquator", 0, 0, 1, 0, 111.3, 90, 1e-12, 1e-4},
        PlaceRow{"OneDegreeWestOnEquator", 0, 0, -1, 0, 111.3, 270, 1e-12, 1e-4},
        // cos 60 * cos 60 = 0.25 shrinks the longitude difference to half.
        PlaceRow{"OneDegreeAtSixty", 0, 60, 1, 60, 55.65, 89.567, 1e-9, 1e-3},
        PlaceRow{"Identical", 8.5, 49.5, 8.5, 49.5, 0, 0, 0, 0},
        PlaceRow{"DueNorth", 8, 49, 8, 50, 111.3, 0, 1e-9, 0},
        PlaceRow{"DueSouth", 8, 50, 8, 49, 111.3, 180, 1e-9, 0},
        PlaceRow{"ToBerlin", 8.846667, 49.941667, 13.4, 52.516667, 427.46, 46.16, 0.005, 0.005},
        PlaceRow{"FromBerlin", 13.4, 52.516667, 8.846667, 49.941667, 427.46, 229.71, 0.005, 0.005},
        // The short way across the 180th meridian: 20 degrees * 111.3 = 2226 km.
        PlaceRow{"AcrossDateLineEastward", 170, 0, -170, 0, 2226, 90, 1e-9, 1e-4},
        PlaceRow{"AcrossDateLineWestward", -170, 0, 170, 0, 2226, 270, 1e-9, 1e-4},
        // Quadrant rows: south-east and south-west use 180 -+ B.
        PlaceRow{"SouthEast", 0, 10, 1, 9, -1, 135.312, -1, 1e-3},
        PlaceRow{"SouthWest", 0, 10, -1, 9, -1, 224.688, -1, 1e-3},
        // Great circles that first head north toward a destination further
        // south: London (51 30'46"N 0 7'20"W) to New York (40 42'N 74 W) leaves
        // at 288.3, 50N 0E to 49N 90E at 53.5 (back: 308.0, from atan2 by hand).
        PlaceRow{"LondonToNewYork", -0.1222222, 51.5127778, -74, 40.7, -1, 288.312, -1, 1e-3},
        PlaceRow{"FiftyNorthToNinetyEast", 0, 50, 90, 49, -1, 53.519, -1, 1e-3},
        PlaceRow{"NinetyEastToFiftyNorth", 90, 49, 0, 50, -1, 308.020, -1, 1e-3},
        // Same place written 360 degrees apart: no distance and no direction.
        PlaceRow{"FullTurnApart", 0, 0, 360, 0, 0, 0, 1e-9, 0}),
    [](const auto& info) { return std::string(info.param.name); });

struct LocatorPairRow {
    const char* name;
    const char* from;
    const char* to;
    double distance;
    double bearing;
};

class LocatorPairTable : public ::testing::TestWithParam<LocatorPairRow> {};

TEST_P(LocatorPairTable, DistanceAndBearing) {
    const LocatorPairRow& r = GetParam();
    EXPECT_NEAR(LocatorDistance(r.from, r.to), r.distance, 0.005);
    EXPECT_NEAR(LocatorBearing(r.from, r.to), r.bearing, 0.005);
}

INSTANTIATE_TEST_SUITE_P(
    Geodesy, LocatorPairTable,
    ::testing::Values(LocatorPairRow{"Forward", "JN49KW", "JO62QM", 425.44, 45.76},
                      LocatorPairRow{"Reverse", "JO62QM", "JN49KW", 425.44, 229.27},
                      LocatorPairRow{"EqualButCase", "jn49kw", "JN49KW", 0, 0},
                      // The two texts differ, but decode to the same corner.
                      LocatorPairRow{"SixAndEightSameCorner", "JN49KW", "JN49KW00", 0, 0},
                      LocatorPairRow{"SevenCharacters", "JN49KW1", "JO62QM", 0, 0},
                      LocatorPairRow{"TooShort", "JN49", "JO62QM", 0, 0},
                      LocatorPairRow{"EqualWrongLength", "JN4", "jn4", 0, 0},
                      LocatorPairRow{"Empty", "", "JO62QM", 0, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Geodesy, LocatorBearingComparesCaseOfAsciiOnly) {
    // 0xE4 and 0xC4 are a Windows-1252 umlaut pair: not ASCII, so not equal.
    const std::string a = std::string("JN49K") + '\xE4';
    const std::string b = std::string("JN49K") + '\xC4';
    EXPECT_NE(LocatorBearing(a, b), 0.0);
}

TEST(Geodesy, NegativeRadicandGivesZeroDistance) {
    // Latitude 120 (beyond the pole) makes cos negative, and k * dLon^2 outweighs dLat^2.
    // -0.5 * 170^2 + 120^2 < 0.
    EXPECT_EQ(LatLonDistance(0, 120, 170, 0), 0.0);
    // "AZ": latitude field 'Z' decodes to 160 degrees north; half a turn to "JJ".
    EXPECT_EQ(LocatorDistance("AZ00AA", "JJ00AA"), 0.0);
}

struct AntipodeRow {
    const char* name;
    double lon1, lat1, lon2, lat2;
};

class AntipodeTable : public ::testing::TestWithParam<AntipodeRow> {};

TEST_P(AntipodeTable, FiniteResults) {
    const AntipodeRow& r = GetParam();
    const double b = LatLonBearing(r.lon1, r.lat1, r.lon2, r.lat2);
    EXPECT_TRUE(std::isfinite(b)) << b;
    EXPECT_TRUE(std::isfinite(LatLonDistance(r.lon1, r.lat1, r.lon2, r.lat2)));
}

INSTANTIATE_TEST_SUITE_P(
    Geodesy, AntipodeTable,
    ::testing::Values(AntipodeRow{"OnEquator", 0, 0, 180, 0},
                      AntipodeRow{"PoleToPole", 0, 90, 0, -90},
                      AntipodeRow{"PoleToPoleOtherMeridian", 10, 90, -170, -90},
                      AntipodeRow{"Europe", 8.8336, 49.9169, -171.1664, -49.9169},
                      AntipodeRow{"NearlyAntipodal", 8.8336, 49.9169, -171.1664, -49.9168},
                      AntipodeRow{"NearlyAntipodalLon", 8.8336, 49.9169, -171.16641, -49.9169}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Geodesy, NearAntipodalSweepStaysFinite) {
    std::mt19937 gen(20240611);
    std::uniform_real_distribution<double> lon(-180, 180), lat(-90, 90), tiny(-1e-6, 1e-6);
    for (int i = 0; i < 20000; ++i) {
        const double lo = lon(gen), la = lat(gen);
        const double lo2 = (lo > 0 ? lo - 180 : lo + 180) + (i % 3 == 0 ? 0.0 : tiny(gen));
        const double la2 = -la + (i % 5 == 0 ? 0.0 : tiny(gen));
        const double b = LatLonBearing(lo, la, lo2, la2);
        ASSERT_TRUE(std::isfinite(b)) << lo << ' ' << la << ' ' << lo2 << ' ' << la2;
        ASSERT_GE(b, -90.0);
        ASSERT_LE(b, 360.0);
    }
}

TEST(Geodesy, LocatorsOfAnyBytesStayFinite) {
    std::mt19937 gen(7);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int i = 0; i < 20000; ++i) {
        std::string a(i % 2 ? 6 : 8, '\0'), b(i % 3 ? 8 : 6, '\0');
        for (char& c : a) {
            c = static_cast<char>(byte(gen));
        }
        for (char& c : b) {
            c = static_cast<char>(byte(gen));
        }
        const double d = LocatorDistance(a, b);
        const double br = LocatorBearing(a, b);
        ASSERT_TRUE(std::isfinite(d) && d >= 0) << d;
        ASSERT_TRUE(std::isfinite(br)) << br;
    }
}

} // namespace
