// The intake without a window: what one message gives, and the state it keeps.
#include "GpsIntake.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

namespace {

using namespace std::string_literals;
using tessaro::GpsIntake;
using tessaro::GpsIntakeResult;

const std::string london = "$GPGLL,5130.7712,N,00007.3456,W,093015.00,A*1F\r";

// Five start fixes make the kept fix; the sixth has a heading from it. Moving
// one minute north and one east on a plane where a minute of longitude is
// cos(50 deg 15') of one of latitude: atan(0.6394) = 32.59 deg.
TEST(GpsIntakeUnit, EveryFifthStartFixIsKeptAndTheNextGivesTheHeading) {
    GpsIntake intake;
    std::vector<int> countdown;
    GpsIntakeResult sixth;
    for (int i = 0; i < 6; ++i) {
        const std::string minutes = std::to_string(10 + i);
        sixth = intake.take("$GPGLL,50" + minutes + ".000,N,008" + minutes + ".000,E,120000,A\r", 0,
                            false, ',');
        countdown.push_back(sixth.countdown.value_or(-1));
        EXPECT_EQ(sixth.heading.has_value(), i == 5) << "fix " << i + 1;
    }
    EXPECT_EQ(countdown, (std::vector<int>{4, 3, 2, 1, 0, 4}));
    ASSERT_TRUE(sixth.heading);
    EXPECT_NEAR(*sixth.heading, 32.59, 0.01);
    EXPECT_EQ(sixth.headingText, "32,6\xB0");
    ASSERT_TRUE(intake.keptFix());
    EXPECT_DOUBLE_EQ((*intake.keptFix())[0], 50.0 + 14 / 60.0);
}

// Destination, off and invalid fixes leave the heading's state alone.
TEST(GpsIntakeUnit, OnlyValidStartFixesTouchTheHeadingState) {
    GpsIntake intake;
    const GpsIntakeResult destination = intake.take(london, 1, false, '.');
    ASSERT_TRUE(destination.fields);
    EXPECT_EQ(destination.fields->target, 1);
    EXPECT_EQ(destination.fields->latitude, (std::array<std::string, 3>{"51", "30", "46"}));
    EXPECT_EQ(destination.fields->longitudeIndex, 1);
    EXPECT_EQ(destination.status, "New GPS data received at 09:30:15 UT");
    EXPECT_FALSE(destination.countdown);

    const GpsIntakeResult off = intake.take(london, 2, false, '.');
    EXPECT_TRUE(off.position);
    EXPECT_FALSE(off.fields);
    EXPECT_EQ(off.status, "");

    const GpsIntakeResult invalid =
        intake.take("$GPGLL,5130.7712,N,00007.3456,W,093015.00,A*1E\r", 0, false, '.');
    EXPECT_FALSE(invalid.fields);
    EXPECT_EQ(invalid.status, "GPS data from 09:30:15 UT is INVALID!");
    EXPECT_FALSE(invalid.countdown);
    EXPECT_EQ(intake.countdown(), 5);
}

TEST(GpsIntakeUnit, MonitorScrollsPositionSentencesOnlyAndShowsThemOnOneLine) {
    GpsIntake intake;
    EXPECT_FALSE(intake.take("$GPRMC,093015.00,A,5130.7712,N\r", 0, false, '.').position);
    intake.take("$GPGLL,1\r", 0, false, '.');
    intake.take("$GPGLL,2\x01\n\r", 0, false, '.');
    const GpsIntakeResult r = intake.take("$GPGLL,3\0hidden\r"s, 0, false, '.');
    EXPECT_EQ(r.monitor, (std::array<std::string, 4>{"---", "$GPGLL,1", "$GPGLL,2?", "$GPGLL,3"}));
    intake.monitorOff();
    EXPECT_EQ(intake.take("$GPGLL,4\r", 0, false, '.').monitor,
              (std::array<std::string, 4>{"", "", "", "$GPGLL,4"}));
}

} // namespace
