#include "NumberDisplay.h"
#include "NumberDisplayDetail.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>

namespace {

using tessaro::formatFixed;

struct FormatRow {
    const char* name;
    double value;
    int precision;
    int decimals;
    const char* text;
};

class FormatTable : public ::testing::TestWithParam<FormatRow> {};

TEST_P(FormatTable, Text) {
    const FormatRow& r = GetParam();
    EXPECT_EQ(formatFixed(r.value, r.precision, r.decimals, '.'), r.text);
    // The slow path is the reference; it must agree on every row.
    EXPECT_EQ(tessaro::detail::formatFixedExact(r.value, r.precision, r.decimals, '.'), r.text);
}

// Expected texts come from the exact decimal value of each double, e.g.
// 99.9995 is 99.99949999999999761..., 0.0005 is 0.00050000000000000001...
INSTANTIATE_TEST_SUITE_P(
    NumberDisplay, FormatTable,
    ::testing::Values(
        // Worked values of the display rule.
        FormatRow{"DistanceAboveHundred", 1234.5678, 5, 1, "1234.6"},
        FormatRow{"SignificantDigitsWin", 12345.678, 5, 1, "12346.0"},
        FormatRow{"DistanceThreeDecimals", 45.67891, 5, 3, "45.679"},
        FormatRow{"ExactlyHundred", 100, 5, 3, "100.000"},
        FormatRow{"BearingCarries", 359.96, 7, 1, "360.0"},
        FormatRow{"NegativeBearing", -30, 7, 1, "-30.0"}, FormatRow{"Zero", 0, 5, 3, "0.000"},
        // Halves: exact ties go away from zero (printf would go to even).
        FormatRow{"TieToOdd", 2.5, 7, 0, "3"}, FormatRow{"TieNegative", -2.5, 7, 0, "-3"},
        FormatRow{"TieEighth", 0.125, 7, 2, "0.13"},
        FormatRow{"TieEighthNegative", -0.125, 7, 2, "-0.13"},
        FormatRow{"TieAtSignificantDigits", 1234.5, 4, 1, "1235.0"},
        FormatRow{"TieOneDigit", 1.5, 1, 3, "2.000"},
        // Decimal "halves" that are not exact in binary.
        FormatRow{"JustAboveHalf", 0.0005, 5, 3, "0.001"},
        FormatRow{"JustBelowHalf", 1.0005, 5, 3, "1.000"},
        FormatRow{"NotRoundedTwice", 99.9995, 5, 3, "99.999"},
        FormatRow{"CarryToTen", 9.99995, 5, 3, "10.000"},
        FormatRow{"CarryToNewDigit", 99999.5, 5, 1, "100000.0"},
        // More integer digits than significant digits: still fixed notation.
        FormatRow{"Million", 1e6, 5, 1, "1000000.0"},
        FormatRow{"RoundedMillions", 1234567, 5, 1, "1234600.0"},
        FormatRow{"HalfBelowZero", -0.04, 7, 1, "0.0"},
        FormatRow{"NegativeZero", -0.0, 7, 1, "0.0"},
        FormatRow{"NegativeTinyHalf", -0.05, 7, 1, "-0.1"},
        FormatRow{"NoDecimals", 12.3, 5, 0, "12"},
        FormatRow{"SmallValueSignificant", 0.012345, 2, 5, "0.01200"},
        FormatRow{"ManyDecimals", 0.1, 30, 30, "0.100000000000000005551115123126"},
        FormatRow{"Tiny", 1e-300, 5, 3, "0.000"}, FormatRow{"Subnormal", -5e-324, 5, 3, "0.000"},
        FormatRow{"LargeIntegerMantissa", 9007199254740993.0, 20, 1, "9007199254740992.0"},
        FormatRow{"ClampedArguments", 1.25, -3, -2, "1"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(NumberDisplay, SeparatorAndPadding) {
    EXPECT_EQ(formatFixed(1234.5678, 5, 1, ','), "1234,6");
    EXPECT_EQ(formatFixed(-0.5, 5, 3, ','), "-0,500");
    // Decimals beyond the binary expansion are zeros.
    EXPECT_EQ(formatFixed(0.5, 5, 8, '.'), "0.50000000");
    EXPECT_EQ(formatFixed(0.5, 1000, 100, '.'), "0.5" + std::string(99, '0'));
}

TEST(NumberDisplay, HugeValuesKeepFixedNotation) {
    EXPECT_EQ(formatFixed(1e300, 5, 1, '.'), "1" + std::string(300, '0') + ".0");
    EXPECT_EQ(formatFixed(-1.7976931348623157e308, 3, 0, '.'), "-18" + std::string(307, '0'));
}

TEST(NumberDisplay, NonFiniteValuesGiveFixedTexts) {
    EXPECT_EQ(formatFixed(NAN, 5, 1, '.'), "NAN");
    EXPECT_EQ(formatFixed(INFINITY, 5, 1, '.'), "INF");
    EXPECT_EQ(formatFixed(-INFINITY, 5, 1, '.'), "-INF");
}

// The integer shortcut must agree with the digit-string reference wherever it answers.
TEST(NumberDisplay, FastPathAgreesWithExactExpansion) {
    std::mt19937_64 gen(99);
    std::uniform_real_distribution<double> mantissa(-10, 10);
    std::uniform_int_distribution<int> exponent(-8, 16), precision(1, 18), decimals(0, 12);
    int answered = 0;
    for (int i = 0; i < 100000; ++i) {
        double v = mantissa(gen) * std::pow(10.0, exponent(gen));
        if (i % 4 == 0) {
            // Exact decimal halves and near-halves at the rounding digit.
            v = std::round(v * 1000) / 1000 + 0.0005 * (i % 8 == 0 ? 1 : -1);
        }
        const int p = precision(gen), d = decimals(gen);
        const auto fast = tessaro::detail::formatFixedFast(v, p, d, '.');
        if (fast) {
            ++answered;
            ASSERT_EQ(*fast, tessaro::detail::formatFixedExact(v, p, d, '.'))
                << std::hexfloat << v << ' ' << p << ' ' << d;
        }
    }
    EXPECT_GT(answered, 50000); // the shortcut covers the usual magnitudes
}

} // namespace
