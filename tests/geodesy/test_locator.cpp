#include "QTH.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>

namespace {

struct Dms {
    std::int32_t d, m, s;
};

struct EncodeRow {
    const char* name;
    Dms lon;
    bool east;
    Dms lat;
    bool north;
    const char* six;
    const char* eight;
};

class EncodeTable : public ::testing::TestWithParam<EncodeRow> {};

TEST_P(EncodeTable, SixAndEightCharacters) {
    const EncodeRow& r = GetParam();
    EXPECT_EQ(LatLonToLocator(r.lon.d, r.lon.m, r.lon.s, r.lat.d, r.lat.m, r.lat.s, r.east, r.north,
                              false),
              r.six);
    EXPECT_EQ(LatLonToLocator(r.lon.d, r.lon.m, r.lon.s, r.lat.d, r.lat.m, r.lat.s, r.east, r.north,
                              true),
              r.eight);
}

INSTANTIATE_TEST_SUITE_P(
    Locator, EncodeTable,
    ::testing::Values(
        EncodeRow{"Frankfurt", {8, 50, 48}, true, {49, 56, 30}, true, "jn49kw", "jn49kw16"},
        EncodeRow{"NewYork", {74, 5, 50}, false, {40, 30, 16}, true, "fn20wm", "fn20wm81"},
        EncodeRow{"Sydney", {151, 12, 31}, true, {33, 52, 10}, false, "qf56od", "qf56od51"},
        EncodeRow{"BuenosAires", {58, 25, 40}, false, {34, 10, 20}, false, "gf05st", "gf05st88"},
        EncodeRow{"Origin", {0, 0, 0}, true, {0, 0, 0}, true, "jj00aa", "jj00aa00"},
        EncodeRow{"NorthEastLimit", {179, 59, 59}, true, {89, 59, 59}, true, "rr99xx", "rr99xx99"},
        // A west/south boundary belongs to the square farther out.
        EncodeRow{"WestSouthBoundary", {20, 0, 0}, false, {10, 0, 0}, false, "hh99xx", "hh99xx99"},
        EncodeRow{"ExtendedDigitFive", {2, 2, 55}, true, {0, 0, 0}, true, "jj10aa", "jj10aa50"},
        EncodeRow{"WestOfZeroMeridian", {0, 0, 0}, false, {0, 0, 0}, false, "ii99xx", "ii99xx99"},
        EncodeRow{"OddDegreeSecondHalf", {1, 0, 0}, true, {0, 2, 30}, true, "jj00mb", "jj00mb00"},
        EncodeRow{
            "SouthWestLimit", {179, 59, 59}, false, {89, 59, 59}, false, "aa00aa", "aa00aa00"},
        // Seconds above 59 are not rejected: 4'60" is v = 460, between the ranges.
        EncodeRow{
            "LatitudeSecondsSixty", {8, 0, 0}, true, {49, 4, 60}, true, "jn49a?", "jn49a?00"}),
    [](const auto& info) { return std::string(info.param.name); });

struct RangeRow {
    const char* name;
    Dms lon;
    Dms lat;
    bool east, north;
    const char* mentions;
};

class RangeErrorTable : public ::testing::TestWithParam<RangeRow> {};

TEST_P(RangeErrorTable, RaisesAndNamesTheValue) {
    const RangeRow& r = GetParam();
    try {
        LatLonToLocator(r.lon.d, r.lon.m, r.lon.s, r.lat.d, r.lat.m, r.lat.s, r.east, r.north,
                        true);
        FAIL() << "no range error";
    } catch (const LocatorRangeError& e) {
        EXPECT_NE(std::string(e.what()).find(r.mentions), std::string::npos) << e.what();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Locator, RangeErrorTable,
    ::testing::Values(
        RangeRow{"Longitude180", {180, 0, 0}, {0, 0, 0}, true, true, "longitude degrees 180"},
        RangeRow{"Latitude90", {0, 0, 0}, {90, 0, 0}, true, true, "latitude degrees 90"},
        RangeRow{"Latitude90South", {0, 0, 0}, {90, 0, 0}, true, false, "latitude degrees 90"},
        RangeRow{"NegativeLongitude", {-20, 0, 0}, {0, 0, 0}, true, true, "longitude degrees -20"},
        RangeRow{
            "MinutesSixtyOddDegree", {1, 60, 0}, {0, 0, 0}, true, true, "longitude minutes 60"},
        RangeRow{"NegativeMinutes", {0, -5, 0}, {0, 0, 0}, true, true, "longitude minutes -5"},
        RangeRow{"HugeDegrees", {INT32_MAX, 0, 0}, {0, 0, 0}, true, true, "longitude degrees"},
        RangeRow{"LowestDegrees", {0, 0, 0}, {INT32_MIN, 0, 0}, true, true, "latitude degrees"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Locator, ExtremeMinutesAndSecondsGiveQuestionMarksNotOverflow) {
    // Field and subsquare indexes stay valid while the minute/second values are
    // far outside their range: the ranges give "?", and latM*100 or lonM*60
    // (which overflow 32 bits) must not invoke undefined behaviour.
    EXPECT_EQ(LatLonToLocator(8, 4, INT32_MIN, 49, 0, INT32_MIN, true, true, true), "jn49a???");
    EXPECT_EQ(LatLonToLocator(8, 4, 0, 49, 0, INT32_MAX, true, true, false), "jn49a?");
    for (bool east : {true, false}) {
        for (bool north : {true, false}) {
            const std::string t =
                LatLonToLocator(8, 4, INT32_MAX, 49, INT32_MAX, INT32_MIN, east, north, true);
            EXPECT_EQ(t.size(), 8u) << t;
            EXPECT_EQ(t[5], '?') << t;
        }
    }
}

TEST(Locator, NegativeDegreesKeepTheLengthFixed) {
    // -5 div 20 is 0, a valid field; its negative square digit would print as "-2".
    for (bool east : {true, false}) {
        for (bool north : {true, false}) {
            const std::string t = LatLonToLocator(-5, 0, 0, -5, 0, 0, east, north, true);
            EXPECT_EQ(t.size(), 8u) << t;
            EXPECT_EQ(t[2], '?') << t;
            EXPECT_EQ(t[3], '?') << t;
        }
    }
}

TEST(Locator, AllValidInputsGiveWellFormedText) {
    // Every degree and every minute, both hemispheres: the text is always the
    // locator alphabet, never "?" and never a range error.
    for (bool east : {true, false}) {
        for (bool north : {true, false}) {
            for (std::int32_t d = 0; d < 180; ++d) {
                for (std::int32_t m = 0; m < 60; ++m) {
                    const std::string t = LatLonToLocator(d, m, (d + m) % 60, d % 90, m,
                                                          (d * 7) % 60, east, north, true);
                    ASSERT_EQ(t.size(), 8u);
                    ASSERT_TRUE(t[0] >= 'a' && t[0] <= 'r' && t[1] >= 'a' && t[1] <= 'r') << t;
                    ASSERT_TRUE(t[4] >= 'a' && t[4] <= 'x' && t[5] >= 'a' && t[5] <= 'x') << t;
                    for (int i : {2, 3, 6, 7}) {
                        ASSERT_TRUE(t[i] >= '0' && t[i] <= '9') << t;
                    }
                }
            }
        }
    }
}

struct DecodeRow {
    const char* name;
    const char* text;
    bool centre;
    double lon, lat;
};

class DecodeTable : public ::testing::TestWithParam<DecodeRow> {};

TEST_P(DecodeTable, NineDecimals) {
    const DecodeRow& r = GetParam();
    double lon = 99, lat = 99;
    ASSERT_TRUE(LocatorToLatLon(r.text, lon, lat, r.centre));
    EXPECT_NEAR(lon, r.lon, 5e-10);
    EXPECT_NEAR(lat, r.lat, 5e-10);
}

INSTANTIATE_TEST_SUITE_P(
    Locator, DecodeTable,
    ::testing::Values(DecodeRow{"Corner", "JN49KW", false, 8.833611097, 49.916944365},
                      DecodeRow{"Centre", "JN49KW", true, 8.875277764, 49.937777698},
                      DecodeRow{"LowerCaseEight", "jn49kw16", false, 8.841944430, 49.941944365},
                      DecodeRow{"CentreEight", "JN49KW16", true, 8.846111097, 49.944027698},
                      DecodeRow{"WestNorth", "FN20WM81", false, -74.099722104, 40.504444380},
                      DecodeRow{"EastSouth", "QF56OD51", false, 151.208610869, -33.870555501},
                      DecodeRow{"SouthWestLimit", "AA00AA", false, -179.999721934, -89.999722078},
                      DecodeRow{"Origin", "JJ00AA", false, 0.000277778, 0.000277778},
                      DecodeRow{"MixedCase", "jN49Kw", false, 8.833611097, 49.916944365}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Locator, WrongLengthFailsAndZeroesOutValues) {
    for (const char* text : {"", "JN49", "JN49K", "JN49KW1", "JN49KW123"}) {
        double lon = 5, lat = 5;
        EXPECT_FALSE(LocatorToLatLon(text, lon, lat, true)) << text;
        EXPECT_EQ(lon, 0.0);
        EXPECT_EQ(lat, 0.0);
    }
}

TEST(Locator, AppendedZerosDecodeToTheSamePosition) {
    for (const char* six : {"JN49KW", "AA00AA", "RR99XX", "FN20WM", "QF56OD"}) {
        double lon6 = 0, lat6 = 0, lon8 = 0, lat8 = 0;
        ASSERT_TRUE(LocatorToLatLon(six, lon6, lat6, false));
        ASSERT_TRUE(LocatorToLatLon(std::string(six) + "00", lon8, lat8, false));
        EXPECT_EQ(lon6, lon8) << six;
        EXPECT_EQ(lat6, lat8) << six;
    }
}

TEST(Locator, BytesAboveAsciiAreUnsignedAndNulIsACharacter) {
    double lon = 0, lat = 0;
    // 0xFF read as 255: far east and north, not negative as a signed char would give.
    ASSERT_TRUE(LocatorToLatLon(std::string(6, '\xFF'), lon, lat, false));
    EXPECT_GT(lon, 1000);
    EXPECT_GT(lat, 1000);
    // NUL counts toward the length and decodes as code 0.
    ASSERT_TRUE(LocatorToLatLon(std::string("JN49K\0", 6), lon, lat, true));
    EXPECT_TRUE(std::isfinite(lon) && std::isfinite(lat));
    EXPECT_LT(lat, 47); // code 0 - "A" as subsquare: well south of square 9 (49 degrees)
}

// Round trip of interior positions: decode the encoded text with centring on,
// truncate back to degrees/minutes/seconds and encode again: same square.
TEST(Locator, CentreOfEncodedSquareReencodesToTheSameText) {
    std::mt19937 gen(4242);
    std::uniform_int_distribution<int> lonD(0, 179), latD(0, 89), ms(0, 59), flag(0, 1);
    const auto toDms = [](double x) {
        double a = std::fabs(x);
        const auto d = static_cast<std::int32_t>(a);
        a = (a - d) * 60;
        const auto m = static_cast<std::int32_t>(a);
        a = (a - m) * 60;
        return Dms{d, m, static_cast<std::int32_t>(a)};
    };
    for (int i = 0; i < 50000; ++i) {
        const bool east = flag(gen), north = flag(gen), eight = flag(gen);
        const std::string text = LatLonToLocator(lonD(gen), ms(gen), ms(gen), latD(gen), ms(gen),
                                                 ms(gen), east, north, eight);
        double lon = 0, lat = 0;
        ASSERT_TRUE(LocatorToLatLon(text, lon, lat, true));
        const Dms lo = toDms(lon), la = toDms(lat);
        ASSERT_EQ(LatLonToLocator(lo.d, lo.m, lo.s, la.d, la.m, la.s, lon >= 0, lat >= 0, eight),
                  text)
            << lon << ' ' << lat;
    }
}

} // namespace
