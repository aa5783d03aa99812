#include "QTH.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace {

enum class Axis { Latitude, Longitude };

struct TextRow {
    const char* name;
    Axis axis;
    double value;
    const char* text; // Windows-1252: degree sign 0xB0
};

class CoordinateTextTable : public ::testing::TestWithParam<TextRow> {};

TEST_P(CoordinateTextTable, Text) {
    const TextRow& r = GetParam();
    EXPECT_EQ(r.axis == Axis::Latitude ? LatitudeToText(r.value) : LongitudeToText(r.value),
              r.text);
}

INSTANTIATE_TEST_SUITE_P(
    CoordinateText, CoordinateTextTable,
    ::testing::Values(
        TextRow{"CornerLatitude", Axis::Latitude, 49.916944365, "N 49\xB0 55' 0\" "},
        TextRow{"CornerLongitude", Axis::Longitude, 8.833611097, "E 8\xB0 50' 0\" "},
        TextRow{"WestTwoSecondsLess", Axis::Longitude, -74.099722104, "W 74\xB0 5' 58\" "},
        TextRow{"SouthTwoSecondsLess", Axis::Latitude, -33.870555501, "S 33\xB0 52' 13\" "},
        TextRow{"EquatorCorner", Axis::Latitude, 0.000277778, "N 0\xB0 0' 1\" "},
        TextRow{"ZeroIsEast", Axis::Longitude, 0.0, "E 0\xB0 0' 0\" "},
        TextRow{"ZeroIsNorth", Axis::Latitude, 0.0, "N 0\xB0 0' 0\" "},
        TextRow{"HalfDegreeSouth", Axis::Latitude, -0.5, "S 0\xB0 30' 0\" "},
        TextRow{"TruncatedNotRounded", Axis::Latitude, 10.99999, "N 10\xB0 59' 59\" "},
        TextRow{"FarWest", Axis::Longitude, -179.999721934, "W 179\xB0 59' 58\" "}),
    [](const auto& info) { return std::string(info.param.name); });

// The decoder's one-second offset against the truncating text: what each
// decoded corner shows. The 8-character corners at 15", 30" and 45" north show
// one second more, because the decimal constants land above the whole second;
// other 8-character corners may show the corner itself.
struct CornerRow {
    const char* name;
    const char* locator;
    const char* latitude;
    const char* longitude;
};

class DecodedCornerTable : public ::testing::TestWithParam<CornerRow> {};

TEST_P(DecodedCornerTable, Text) {
    const CornerRow& r = GetParam();
    double lon = 0, lat = 0;
    ASSERT_TRUE(LocatorToLatLon(r.locator, lon, lat, false));
    EXPECT_EQ(LatitudeToText(lat), r.latitude);
    EXPECT_EQ(LongitudeToText(lon), r.longitude);
}

INSTANTIATE_TEST_SUITE_P(
    CoordinateText, DecodedCornerTable,
    ::testing::Values(
        CornerRow{"Origin", "JJ00AA", "N 0\xB0 0' 1\" ", "E 0\xB0 0' 1\" "},
        CornerRow{"Frankfurt", "JN49KW", "N 49\xB0 55' 0\" ", "E 8\xB0 50' 0\" "},
        CornerRow{"EightLat15", "JJ00AA01", "N 0\xB0 0' 16\" ", "E 0\xB0 0' 1\" "},
        CornerRow{"EightLat30", "JJ00AA02", "N 0\xB0 0' 31\" ", "E 0\xB0 0' 1\" "},
        CornerRow{"EightLat45", "JJ00AA03", "N 0\xB0 0' 46\" ", "E 0\xB0 0' 1\" "},
        CornerRow{"EightLon30", "JJ00AA10", "N 0\xB0 0' 1\" ", "E 0\xB0 0' 30\" "},
        CornerRow{"NewYorkEight", "FN20WM81", "N 40\xB0 30' 15\" ", "W 74\xB0 5' 58\" "},
        CornerRow{"SydneyEight", "QF56OD51", "S 33\xB0 52' 13\" ", "E 151\xB0 12' 30\" "}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CoordinateText, OutOfRangeAndNonFiniteValuesDoNotCrash) {
    EXPECT_EQ(LongitudeToText(5000.5), "E 5000\xB0 30' 0\" ");
    EXPECT_EQ(LatitudeToText(-1e300).substr(0, 3), "S 1");
    EXPECT_EQ(LatitudeToText(NAN).back(), ' ');
    EXPECT_EQ(LongitudeToText(-INFINITY).substr(0, 2), "W ");
}

} // namespace
