#include "PageCalc.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <optional>
#include <string>

namespace {

using tessaro::LatLongFields;

// Readable test names from the rows' own names.
template <typename Row> std::string rowName(const testing::TestParamInfo<Row>& info) {
    return info.param.name;
}

constexpr std::int32_t int32Max = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t int32Min = std::numeric_limits<std::int32_t>::min();

// --- lenient integer parse ---------------------------------------------------

struct ParseRow {
    const char* name;
    std::string text;
    std::int32_t expected;
};

class LenientParse : public testing::TestWithParam<ParseRow> {};

TEST_P(LenientParse, ReadsTheDigitsItCan) {
    EXPECT_EQ(tessaro::parseLenientInt(GetParam().text), GetParam().expected)
        << "text: \"" << GetParam().text << "\"";
}

INSTANTIATE_TEST_SUITE_P(
    Rows, LenientParse,
    testing::Values(
        ParseRow{"Empty", "", 0}, ParseRow{"OnlyBlanks", "   ", 0}, ParseRow{"Plain", "42", 42},
        ParseRow{"LeadingZeros", "0005", 5}, ParseRow{"LeadingBlanks", "  12", 12},
        ParseRow{"TrailingLetter", "7a", 7}, ParseRow{"InnerBlankStops", "1 2", 1},
        ParseRow{"Negative", "-5", -5}, ParseRow{"BlankThenNegative", " -5", -5},
        ParseRow{"Plus", "+5", 5}, ParseRow{"NegativeStoppedByLetterLosesSign", "-5x", 5},
        ParseRow{"NegativeStoppedByBlankLosesSign", "-5 ", 5}, ParseRow{"TrailingMinus", "5-", 5},
        ParseRow{"LoneMinus", "-", 0}, ParseRow{"LonePlus", "+", 0},
        ParseRow{"SignThenBlank", "- 5", 0}, ParseRow{"Letters", "abc", 0},
        ParseRow{"TabIsNoBlank", "\t5", 0}, ParseRow{"DollarHex", "$ff", 255},
        ParseRow{"DollarHexUpper", "$FF", 255}, ParseRow{"BlanksBeforePrefix", " $1f", 31},
        ParseRow{"ZeroXHex", "0x1F", 31}, ParseRow{"XHex", "X1a", 26},
        ParseRow{"LowerXHex", "x10", 16}, ParseRow{"HexStopsAtMisfit", "$1g", 1},
        ParseRow{"LoneDollar", "$", 0}, ParseRow{"LoneX", "x", 0}, ParseRow{"LoneZeroX", "0x", 0},
        ParseRow{"ZeroXWithoutHexDigit", "0xg", 0}, ParseRow{"UpperZeroXIsNoPrefix", "0X1F", 0},
        ParseRow{"SignBeforeHex", "-0x5", 0}, ParseRow{"SignInsideHex", "$-5", 0},
        ParseRow{"LargestInt", "2147483647", int32Max},
        ParseRow{"SmallestInt", "-2147483648", int32Min},
        ParseRow{"JustAboveSaturates", "2147483648", int32Max},
        ParseRow{"JustBelowSaturates", "-2147483649", int32Min},
        ParseRow{"ManyDigitsSaturate", "99999999999999999999999", int32Max},
        ParseRow{"HexWouldBeMinusOne", "$FFFFFFFF", int32Max},
        ParseRow{"HexWouldWrapToFive", "$100000005", int32Max},
        ParseRow{"StoppedNegativeSaturatesPositive", "-99999999999x", int32Max}),
    rowName<ParseRow>);

// --- range checks ------------------------------------------------------------

// Field order: from lat d/m/s, from lon d/m/s, to lat d/m/s, to lon d/m/s.
LatLongFields fields(std::initializer_list<std::pair<int, std::int32_t>> changes) {
    LatLongFields f{};
    for (const auto& [index, value] : changes) {
        f[static_cast<std::size_t>(index)] = value;
    }
    return f;
}

const std::string fromLat = "from lat. error: 0\xB0 to 89\xB0 allowed";
const std::string fromLon = "from long. error: 0\xB0 to 179\xB0 allowed";
const std::string fromMin = "from minutes error: 0\xB4 to 59\xB4 allowed";
const std::string fromSec = "from seconds error: 00\" to 59\" allowed";
const std::string toLat = "to lat. error: min 00\xB0 to max 89\xB0";
const std::string toLon = "to long. error: 0\xB0 to 179\xB0 allowed";
const std::string toMin = "to minutes error: 0\xB4 to 59\xB4 allowed";
const std::string toSec = "to seconds error: 0\" to 59\" allowed";

struct RangeRow {
    const char* name;
    LatLongFields f;
    std::string expected;
};

class RangeChecks : public testing::TestWithParam<RangeRow> {};

TEST_P(RangeChecks, LastFailingCheckWins) {
    EXPECT_EQ(tessaro::latLongRangeError(GetParam().f), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, RangeChecks,
    testing::Values(
        RangeRow{"AllZero", fields({}), ""},
        RangeRow{"LargestValues", {89, 59, 59, 179, 59, 59, 89, 59, 59, 179, 59, 59}, ""},
        RangeRow{"FromLat90", fields({{0, 90}}), fromLat},
        RangeRow{"FromLatNegative", fields({{0, -1}}), fromLat},
        RangeRow{"FromLon180", fields({{3, 180}}), fromLon},
        RangeRow{"FromLatMinutes60", fields({{1, 60}}), fromMin},
        RangeRow{"FromLonMinutesNegative", fields({{4, -1}}), fromMin},
        RangeRow{"FromLatSeconds60", fields({{2, 60}}), fromSec},
        RangeRow{"FromLonSeconds60", fields({{5, 60}}), fromSec},
        RangeRow{"ToLatNegative", fields({{6, -5}}), toLat},
        RangeRow{"ToLat90", fields({{6, 90}}), toLat},
        RangeRow{"ToLonNegative", fields({{9, -5}}), toLon},
        RangeRow{"ToLon180", fields({{9, 180}}), toLon},
        RangeRow{"ToLatMinutes60", fields({{7, 60}}), toMin},
        RangeRow{"ToLonMinutes60", fields({{10, 60}}), toMin},
        RangeRow{"ToLatSeconds60", fields({{8, 60}}), toSec},
        RangeRow{"ToLonSecondsNegative", fields({{11, -1}}), toSec},
        RangeRow{"BadFromLatAndBadToLonLeaveTheLatter", fields({{0, 90}, {9, 200}}), toLon},
        RangeRow{"BadFromSecondsAndBadToLatLeaveTheLatter", fields({{2, 99}, {6, 99}}), toLat},
        RangeRow{"BadFromLatAndFromLonLeaveLongitude", fields({{0, 90}, {3, 180}}), fromLon},
        RangeRow{"EverythingBadLeavesToSeconds",
                 {-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
                 toSec},
        RangeRow{"SaturatedParseIsRefused", fields({{0, int32Max}}), fromLat},
        RangeRow{"SaturatedNegativeIsRefused", fields({{9, int32Min}}), toLon}),
    rowName<RangeRow>);

// --- number display ----------------------------------------------------------

struct DistanceRow {
    const char* name;
    double km;
    int units;
    char separator;
    std::string expected;
};

class DistanceDisplay : public testing::TestWithParam<DistanceRow> {};

TEST_P(DistanceDisplay, RoundsAndAddsSuffix) {
    const auto& row = GetParam();
    EXPECT_EQ(tessaro::distanceText(row.km, row.units, row.separator), row.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, DistanceDisplay,
    testing::Values(DistanceRow{"Zero", 0, 0, '.', "0.000 km"},
                    DistanceRow{"ThreeDecimals", 45.67891, 0, '.', "45.679 km"},
                    DistanceRow{"Exactly100KeepsThreeDecimals", 100, 0, '.', "100.000 km"},
                    DistanceRow{"Above100OneDecimal", 100.0001, 0, '.', "100.0 km"},
                    DistanceRow{"FiveSignificant", 1234.5678, 0, '.', "1234.6 km"},
                    DistanceRow{"FiveSignificantPadded", 12345.678, 0, '.', "12346.0 km"},
                    DistanceRow{"Miles", 100, 1, '.', "62.150 mi"},
                    DistanceRow{"MilesThresholdOnConvertedValue", 150, 1, '.', "93.225 mi"},
                    DistanceRow{"MilesAbove100", 200, 1, '.', "124.3 mi"},
                    DistanceRow{"NauticalJustBelow100", 185.2, 2, '.', "99.999 nm"},
                    DistanceRow{"Nautical", 2000, 2, '.', "1079.9 nm"},
                    DistanceRow{"NoSelectionIsKmWithoutSuffix", 100, -1, '.', "100.000"},
                    DistanceRow{"UnknownIndexIsKmWithoutSuffix", 1234.5678, 3, '.', "1234.6"},
                    DistanceRow{"CommaSeparator", 1234.5678, 0, ',', "1234,6 km"},
                    DistanceRow{"CommaSeparatorSmall", 45.67891, 2, ',', "24,664 nm"}),
    rowName<DistanceRow>);

struct DegreesRow {
    const char* name;
    double degrees;
    char separator;
    std::string expected;
};

class DegreesDisplay : public testing::TestWithParam<DegreesRow> {};

TEST_P(DegreesDisplay, OneDecimalAndDegreeSign) {
    const auto& row = GetParam();
    EXPECT_EQ(tessaro::degreesText(row.degrees, row.separator), row.expected);
}

INSTANTIATE_TEST_SUITE_P(Rows, DegreesDisplay,
                         testing::Values(DegreesRow{"Zero", 0, '.', "0.0\xB0"},
                                         DegreesRow{"RoundsUpTo360", 359.96, '.', "360.0\xB0"},
                                         DegreesRow{"Negative", -30, '.', "-30.0\xB0"},
                                         DegreesRow{"HalfAwayFromZero", 45.25, '.', "45.3\xB0"},
                                         DegreesRow{"Comma", 123.44, ',', "123,4\xB0"}),
                         rowName<DegreesRow>);

// --- bearings ----------------------------------------------------------------

struct ReverseRow {
    const char* name;
    double bearing;
    double expected;
};

class ReverseBearing : public testing::TestWithParam<ReverseRow> {};

TEST_P(ReverseBearing, PointsBack) {
    EXPECT_DOUBLE_EQ(tessaro::reverseBearing(GetParam().bearing), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Rows, ReverseBearing,
                         testing::Values(ReverseRow{"North", 0, 180}, ReverseRow{"South", 180, 0},
                                         ReverseRow{"East", 90, 270}, ReverseRow{"West", 270, 90},
                                         ReverseRow{"JustBelowSouth", 179.9, 359.9},
                                         ReverseRow{"JustBelowNorth", 359.5, 179.5}),
                         rowName<ReverseRow>);

struct RelativeRow {
    const char* name;
    double bearing;
    double heading;
    double expected;
};

class RelativeBearing : public testing::TestWithParam<RelativeRow> {};

TEST_P(RelativeBearing, SingleCorrections) {
    const auto& row = GetParam();
    EXPECT_DOUBLE_EQ(tessaro::relativeBearing(row.bearing, row.heading), row.expected);
}

INSTANTIATE_TEST_SUITE_P(Rows, RelativeBearing,
                         testing::Values(RelativeRow{"HeadingNorth", 45, 0, 45},
                                         RelativeRow{"NegativeWrapsOnce", 10, 350, 20},
                                         RelativeRow{"Above360WrapsOnce", 350, -20, 10},
                                         RelativeRow{"FarNegativeStaysNegative", 10, 400, -30},
                                         RelativeRow{"Exactly360Stays", 360, 0, 360},
                                         RelativeRow{"FarAboveStaysAbove", 800, 0, 440},
                                         RelativeRow{"ZeroStaysZero", 100, 100, 0}),
                         rowName<RelativeRow>);

// --- pointer ----------------------------------------------------------------

struct PointerRow {
    const char* name;
    double relative;
    int x;
    int y;
};

class PointerEnds : public testing::TestWithParam<PointerRow> {};

// Expected ends computed independently (double precision, truncation toward 0).
TEST_P(PointerEnds, TruncatedEndPoint) {
    const auto end = tessaro::pointerEnd(GetParam().relative);
    EXPECT_EQ(end.x, GetParam().x);
    EXPECT_EQ(end.y, GetParam().y);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, PointerEnds,
    testing::Values(
        PointerRow{"Ahead", 0, 75, -75}, PointerRow{"Right", 90, 225, 75},
        PointerRow{"Behind", 180, 75, 225}, PointerRow{"Left", 270, -75, 75},
        PointerRow{"AheadRight", 45, 181, -31}, PointerRow{"NegativeAngle", -30, 1, -54},
        PointerRow{"AlmostFullCircle", 359.99, 75, -74}, PointerRow{"BehindLeft", 225, -31, 181},
        PointerRow{"NaNStaysAtPivot", std::numeric_limits<double>::quiet_NaN(), 75, 75},
        PointerRow{"InfinityStaysAtPivot", std::numeric_limits<double>::infinity(), 75, 75}),
    rowName<PointerRow>);

TEST(PointerEnds, HugeAnglesStayOnTheCircle) {
    for (double r : {1e300, -1e300, std::numeric_limits<double>::max(),
                     std::numeric_limits<double>::lowest()}) {
        const auto end = tessaro::pointerEnd(r);
        EXPECT_GE(end.x, -75);
        EXPECT_LE(end.x, 225);
        EXPECT_GE(end.y, -75);
        EXPECT_LE(end.y, 225);
    }
}

// --- precision texts ---------------------------------------------------------

struct PrecisionRow {
    const char* name;
    std::size_t length;
    bool centred;
    std::string latitude;
    std::string longitude;
};

class Precision : public testing::TestWithParam<PrecisionRow> {};

TEST_P(Precision, ByLengthAndCentring) {
    const auto texts = tessaro::precisionTexts(GetParam().length, GetParam().centred);
    EXPECT_EQ(texts.latitude, GetParam().latitude);
    EXPECT_EQ(texts.longitude, GetParam().longitude);
}

INSTANTIATE_TEST_SUITE_P(Rows, Precision,
                         testing::Values(PrecisionRow{"EightCentred", 8, true, "\xB1 7.5\"",
                                                      "\xB1 15\""},
                                         PrecisionRow{"EightCorner", 8, false, "+ 15\"", "+ 30\""},
                                         PrecisionRow{"SixCentred", 6, true,
                                                      "\xB1 1\xB4"
                                                      "15\"",
                                                      "\xB1 2\xB4"
                                                      "30\""},
                                         PrecisionRow{"SixCorner", 6, false,
                                                      "+ 2\xB4"
                                                      "30\"",
                                                      "+ 5\xB4"
                                                      "00\""}),
                         rowName<PrecisionRow>);

// --- locator alphabet --------------------------------------------------------

struct LocatorRow {
    const char* name;
    std::string locator;
    bool valid;
};

class LocatorCharacters : public testing::TestWithParam<LocatorRow> {};

TEST_P(LocatorCharacters, AlphabetByPosition) {
    EXPECT_EQ(tessaro::locatorCharactersValid(GetParam().locator), GetParam().valid)
        << GetParam().locator;
}

INSTANTIATE_TEST_SUITE_P(
    Rows, LocatorCharacters,
    testing::Values(
        LocatorRow{"Six", "JN49kw", true}, LocatorRow{"EightMixedCase", "jn49KW14", true},
        LocatorRow{"LowestCorner", "AA00AA00", true}, LocatorRow{"HighestCorner", "RR99XX99", true},
        LocatorRow{"HighestCornerLower", "rr99xx99", true},
        LocatorRow{"SevenCharactersStillChecked", "JN49kw1", true}, LocatorRow{"Empty", "", true},
        LocatorRow{"FieldLetterS", "SN49kw", false},
        LocatorRow{"SecondFieldLetterS", "Js49kw", false},
        LocatorRow{"LetterInSquare", "JNA9kw", false},
        LocatorRow{"LetterInSquare2", "JN4Xkw", false}, LocatorRow{"SubsquareY", "JN49yw", false},
        LocatorRow{"SubsquareZ", "JN49kz", false},
        LocatorRow{"LetterInExtended", "JN49kw1a", false},
        LocatorRow{"DigitInField", "1N49kw", false}, LocatorRow{"Blank", "JN 9kw", false},
        LocatorRow{"BeforeUpperA", "@N49kw", false}, LocatorRow{"BeforeLowerA", "`N49kw", false},
        LocatorRow{"HighByte",
                   "J\xC4"
                   "49kw",
                   false},
        LocatorRow{"NineCharacters", "JN49kw140", false}),
    rowName<LocatorRow>);

// --- heading -----------------------------------------------------------------

struct HeadingRow {
    const char* name;
    std::string text;
    char separator;
    std::optional<double> expected;
};

class Heading : public testing::TestWithParam<HeadingRow> {};

TEST_P(Heading, ParsesLikeTheLocaleNumber) {
    const auto& row = GetParam();
    const auto value = tessaro::parseHeading(row.text, row.separator);
    ASSERT_EQ(value.has_value(), row.expected.has_value()) << "text: \"" << row.text << "\"";
    if (value) {
        EXPECT_DOUBLE_EQ(*value, *row.expected);
    }
}

const std::string hugeDigits = "1" + std::string(400, '0');
const std::string tinyFraction = "0." + std::string(400, '0') + "1";

INSTANTIATE_TEST_SUITE_P(
    Rows, Heading,
    testing::Values(HeadingRow{"Integer", "45", '.', 45.0},
                    HeadingRow{"Blanks", "  45  ", '.', 45.0},
                    HeadingRow{"NegativeDecimal", "-12.5", '.', -12.5},
                    HeadingRow{"Plus", "+7", '.', 7.0}, HeadingRow{"Exponent", "1e2", '.', 100.0},
                    HeadingRow{"ExponentSigned", "1.5E-1", '.', 0.15},
                    HeadingRow{"ExponentPlus", "2e+1", '.', 20.0},
                    HeadingRow{"CommaLocale", "12,5", ',', 12.5},
                    HeadingRow{"PointInCommaLocale", "12.5", ',', std::nullopt},
                    HeadingRow{"CommaInPointLocale", "12,5", '.', std::nullopt},
                    HeadingRow{"LeadingSeparator", ".5", '.', 0.5},
                    HeadingRow{"TrailingSeparator", "5.", '.', 5.0},
                    HeadingRow{"TrailingDegreeSign", "45\xB0", '.', 45.0},
                    HeadingRow{"DegreeSignBeforeTheNumber",
                               "\xB0"
                               "45",
                               '.', std::nullopt},
                    HeadingRow{"TwoDegreeSigns", "45\xB0\xB0", '.', std::nullopt},
                    HeadingRow{"Empty", "", '.', std::nullopt},
                    HeadingRow{"OnlyBlanks", "   ", '.', std::nullopt},
                    HeadingRow{"LoneSign", "-", '.', std::nullopt},
                    HeadingRow{"LoneSeparator", ".", '.', std::nullopt},
                    HeadingRow{"ExponentWithoutDigits", "1e", '.', std::nullopt},
                    HeadingRow{"ExponentSignWithoutDigits", "1e+", '.', std::nullopt},
                    HeadingRow{"ExponentWithoutMantissa", "e5", '.', std::nullopt},
                    HeadingRow{"InnerBlank", "4 5", '.', std::nullopt},
                    HeadingRow{"Tab", "\t45", '.', std::nullopt},
                    HeadingRow{"DoubleSign", "++5", '.', std::nullopt},
                    HeadingRow{"Hex", "0x10", '.', std::nullopt},
                    HeadingRow{"Infinity", "inf", '.', std::nullopt},
                    HeadingRow{"NotANumber", "nan", '.', std::nullopt},
                    HeadingRow{"ThousandsSeparator", "1,000.5", '.', std::nullopt},
                    HeadingRow{"OverflowPositive", "1e400", '.', std::nullopt},
                    HeadingRow{"OverflowNegative", "-1e400", '.', std::nullopt},
                    HeadingRow{"OverflowByDigits", hugeDigits, '.', std::nullopt},
                    HeadingRow{"HugeExponent", "1e99999999999999999999", '.', std::nullopt},
                    HeadingRow{"UnderflowIsZero", "1e-400", '.', 0.0},
                    HeadingRow{"UnderflowByDigitsIsZero", tinyFraction, '.', 0.0},
                    HeadingRow{"ManyDigitsScaledBack", hugeDigits + "e-400", '.', 1.0}),
    rowName<HeadingRow>);

} // namespace
