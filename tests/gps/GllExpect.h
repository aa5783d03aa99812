// The values a test expects from one GLL reading, and the comparison.
#pragma once

#include "Gll.h"

#include <gtest/gtest.h>

#include <string>

struct ExpectedFix {
    int latDeg, latMin, latSec;
    bool north;
    int lonDeg, lonMin, lonSec;
    bool east;
    const char* locator;
    const char* timeText;
    bool valid;
};

inline void expectFix(const tessaro::GllFix& fix, const ExpectedFix& want) {
    EXPECT_EQ(fix.latDeg, want.latDeg);
    EXPECT_EQ(fix.latMin, want.latMin);
    EXPECT_EQ(fix.latSec, want.latSec);
    EXPECT_EQ(fix.north, want.north);
    EXPECT_EQ(fix.lonDeg, want.lonDeg);
    EXPECT_EQ(fix.lonMin, want.lonMin);
    EXPECT_EQ(fix.lonSec, want.lonSec);
    EXPECT_EQ(fix.east, want.east);
    EXPECT_EQ(fix.locator, want.locator);
    EXPECT_EQ(fix.timeText, want.timeText);
    EXPECT_EQ(fix.valid, want.valid);
    EXPECT_EQ(fix.timeText.find('\0'), std::string::npos);
}
