// The intake without a window: what one message gives, and the state it keeps.
#include "GpsIntake.h"
#include "Nmea.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
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
        sixth = intake.take("$GPGLL,50" + minutes + ".000,N,008" + minutes + ".000,E,12000" +
                                std::to_string(i) + ",A\r",
                            0, false, ',');
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
    EXPECT_FALSE(
        intake.take("$GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1*39\r", 0, false, '.').position);
    intake.take("$GPGLL,1\r", 0, false, '.');
    intake.take("$GPGLL,2\x01\n\r", 0, false, '.');
    const GpsIntakeResult r = intake.take("$GPGLL,3\0hidden\r"s, 0, false, '.');
    EXPECT_EQ(r.monitor, (std::array<std::string, 4>{"---", "$GPGLL,1", "$GPGLL,2?", "$GPGLL,3"}));
    intake.monitorOff();
    EXPECT_EQ(intake.take("$GPGLL,4\r", 0, false, '.').monitor,
              (std::array<std::string, 4>{"", "", "", "$GPGLL,4"}));
}

// Positions of an RMC+GGA receiver, then of one that also sends GLL:
// one fix an epoch, and GLL alone once it is seen.
TEST(GpsIntakeUnit, OneFixAnEpochAndGllFirst) {
    GpsIntake intake;
    const auto rmc = [](const char* time) {
        return tessaro::test::withChecksum(std::string("$GNRMC,") + time +
                                           ",A,5130.7712,N,00007.3456,W,0.0,0.0,091226,,,A") +
               "\r";
    };
    const auto gga = [](const char* time) {
        return tessaro::test::withChecksum(std::string("$GNGGA,") + time +
                                           ",5130.7712,N,00007.3456,W,1,08,0.9,45.0,M,47.0,M,,") +
               "\r";
    };
    const auto gll = [](const char* time) {
        return std::string("$GNGLL,5130.7712,N,00007.3456,W,") + time + ",A,A\r";
    };
    std::vector<std::string> used; // the sentence types that gave a fix
    for (const std::string& sentence :
         {rmc("093015.00"), gga("093015.00"), gga("093016.00"), rmc("093016.00"), rmc("093017.00"),
          gll("093017.00"), gga("093017.00"), gll("093018.00"), rmc("093018.00"),
          rmc("093019.00")}) {
        if (intake.take(sentence, 0, false, '.').fields) {
            const bool isGll = sentence.compare(3, 3, "GLL") == 0;
            used.push_back(sentence.substr(3, 3) + sentence.substr(isGll ? 32 : 7, 6));
        }
    }
    EXPECT_EQ(used, (std::vector<std::string>{"RMC093015", "GGA093016", "RMC093017", "GLL093018"}));
    EXPECT_EQ(intake.countdown(), 1);
}

// Moving due east along a parallel, two seconds of arc a second: at ten
// fixes a second as at one, every heading shown is east (within a degree:
// the bearing is the great circle's, which leaves a parallel poleward), never
// the 0.0 of two fixes that read alike.
TEST(GpsIntakeUnit, HeadingOfAFastReceiverIsAsSteadyAsOfASlowOne) {
    for (const int perSecond : {1, 10}) {
        SCOPED_TRACE(perSecond);
        GpsIntake intake;
        int headings = 0;
        for (int i = 0; i < 20 * perSecond; ++i) {
            const int tenths = i * 10 / perSecond;
            const double minutes = 7.0 + 2.0 * tenths / 10 / 60;
            char sentence[96];
            std::snprintf(sentence, sizeof sentence,
                          "$GPRMC,0930%02d.%d0,A,5000.0000,N,008%07.4f,E\r", 10 + tenths / 10,
                          tenths % 10, minutes);
            const GpsIntakeResult r = intake.take(sentence, 0, false, '.');
            ASSERT_TRUE(r.fields) << sentence;
            if (r.heading) {
                ++headings;
                EXPECT_NEAR(*r.heading, 90.0, 1.0) << sentence;
            }
        }
        EXPECT_GE(headings, 10);
    }
}

// A one-a-second receiver whose clock steps back within a second (a Telit
// module's recording: 105153.71, then 105153.408): every fix still counts.
TEST(GpsIntakeUnit, AClockSteppingBackCountsFixByFix) {
    GpsIntake intake;
    std::vector<int> countdown;
    for (const char* time : {"105153.71", "105153.408", "105154.408"}) {
        const GpsIntakeResult r = intake.take(
            std::string("$GPGLL,5050.4122,N,00420.8266,E,") + time + ",A,A\r", 0, false, '.');
        countdown.push_back(r.countdown.value_or(-1));
    }
    EXPECT_EQ(countdown, (std::vector<int>{4, 3, 2}));
}

// Why no position follows: looked at once a second, from the bytes counted,
// the sentences taken and the time since the source was chosen.
TEST(GpsIntakeUnit, LineStateSaysWhyNoPositionFollows) {
    struct Row {
        const char* name;
        std::vector<std::string> sentences; // taken each second
        std::uint64_t bytesPerSecond;
        std::string status;
        bool monitorShowsThem;
    };
    const std::string gsv =
        tessaro::test::withChecksum("$GPGSV,3,1,11,03,03,111,00,04,15,270,00,06,01,010,00") + "\r";
    const std::string noFix = "$GPRMC,093015.00,V,,,,,,,091226,,,N\r";
    const Row rows[] = {
        {"Silence", {}, 0, "No data from /dev/ttyUSB0", false},
        {"WrongSpeed",
         {"$\x9a\xe6~x\xf8\r"},
         200,
         "Data from /dev/ttyUSB0 is not NMEA: check the speed",
         false},
        {"ColdStart",
         {gsv},
         400,
         "NMEA data from /dev/ttyUSB0, but no position sentence yet",
         true},
        // Each such sentence says "... is INVALID!" itself.
        {"NoFixYet", {noFix}, 400, "", false},
        {"Fixes", {london}, 400, "", false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        GpsIntake intake;
        intake.restart(100.0, 7);
        std::uint64_t bytes = 7;
        GpsIntake::LineState state;
        for (int second = 1; second <= 6; ++second) {
            for (const std::string& s : row.sentences) {
                intake.take(s, 0, false, '.');
            }
            bytes += row.bytesPerSecond;
            state = intake.lineState(bytes, 100.0 + second, "/dev/ttyUSB0");
            if (second < 5) {
                EXPECT_EQ(state.status, "") << "too early to tell at " << second << " s";
            }
        }
        EXPECT_EQ(state.status, row.status);
        EXPECT_EQ(state.monitor.has_value(), row.monitorShowsThem);
        if (state.monitor) {
            EXPECT_EQ((*state.monitor)[3], gsv.substr(0, gsv.size() - 1));
        }
    }
}

} // namespace
