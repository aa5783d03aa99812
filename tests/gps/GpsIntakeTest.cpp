// The NMEA intake on the real window: sentences handed to the GPS source as
// the serial component hands them over, without a port.
#include "Form1.h"
#include "GpsSource.h"
#include "GpsWindowFixture.h"
#include "Nmea.h"
#include "Widgets.h"

#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QProgressBar>
#include <string>
#include <vector>

namespace {

using namespace std::string_literals;

const std::string london = "$GPGLL,5130.7712,N,00007.3456,W,093015.00,A*1F\r";

// Everything a fix may change on the pages, to show that nothing did.
struct PageState {
    QStringList texts;
    std::vector<int> groups;
    QString heading;
    int countdown;
    int bar;
    bool operator==(const PageState& o) const {
        return texts == o.texts && groups == o.groups && heading == o.heading &&
               countdown == o.countdown && bar == o.bar;
    }
};

PageState pageState(const TForm1& f) {
    PageState s;
    for (const QLineEdit* e : {f.edFmLatDeg, f.edFmLatMin, f.edFmLatSec, f.edFmLonDeg, f.edFmLonMin,
                               f.edFmLonSec, f.edFmQth, f.edToLatDeg, f.edToLatMin, f.edToLatSec,
                               f.edtoLonDeg, f.edToLonMin, f.edToLonSec, f.edToQTH}) {
        s.texts << e->text();
    }
    for (const QLabel* l : {f.lbDist, f.lbBear, f.lbRevBear, f.lbDist2, f.lbBear2, f.lbRevBear2}) {
        s.texts << l->text();
    }
    for (const TRadioGroup* g : {f.rgFmLat, f.rgFmLon, f.rgToLat, f.rgToLon}) {
        s.groups.push_back(g->ItemIndex());
    }
    s.heading = f.edCurrHead->text();
    s.countdown = f.gps->intake().countdown();
    s.bar = f.pb1->value();
    return s;
}

QStringList monitor(const TForm1& f) {
    return {f.lbNmea1->text(), f.lbNmea2->text(), f.lbNmea3->text(), f.lbNmea4->text()};
}

// A valid start fix at whole minutes: latitude 50 deg latMin' N, longitude 8 deg lonMin' E.
std::string fixAt(int latMin, int lonMin) {
    char text[80];
    std::snprintf(text, sizeof text, "$GPGLL,50%02d.000,N,008%02d.000,E,120000,A\r", latMin,
                  lonMin);
    return text;
}

class Intake : public GpsWindowFixture {
protected:
    TForm1& startFeeding(int target) {
        TForm1& f = startWindow(true);
        f.gpsTarget = target;
        return f;
    }
    void send(const std::string& sentence) { m_form->gps->take(sentence); }
};

TEST_F(Intake, WorkedExampleFillsTheStartPointAndRecomputesBothPages) {
    TForm1& f = startFeeding(0);
    f.edFmQth->setText(QStringLiteral("JN49kw"));
    send(london);

    EXPECT_EQ(f.edFmLatDeg->text(), QStringLiteral("51"));
    EXPECT_EQ(f.edFmLatMin->text(), QStringLiteral("30"));
    EXPECT_EQ(f.edFmLatSec->text(), QStringLiteral("46"));
    EXPECT_EQ(f.rgFmLat->ItemIndex(), 0);
    EXPECT_EQ(f.edFmLonDeg->text(), QStringLiteral("0"));
    EXPECT_EQ(f.edFmLonMin->text(), QStringLiteral("7"));
    EXPECT_EQ(f.edFmLonSec->text(), QStringLiteral("20"));
    EXPECT_EQ(f.rgFmLon->ItemIndex(), 1);
    EXPECT_EQ(f.edFmQth->text(), QStringLiteral("io91wm"));
    EXPECT_EQ(f.sb->SimpleText(), QStringLiteral("New GPS data received at 09:30:15 UT"));
    EXPECT_EQ(monitor(f), (QStringList{QString(), QString(), QString(),
                                       QString::fromLatin1(london.c_str()).trimmed()}));
    // Both pages ran on the new start point (the destination is empty, so
    // the Lat/Long page shows a result for 0 N 0 E).
    EXPECT_FALSE(f.lbDist->text().isEmpty());
    EXPECT_FALSE(f.lbBear->text().isEmpty());
}

TEST_F(Intake, DestinationFixFillsTheDestinationAndLeavesTheHeading) {
    TForm1& f = startFeeding(1);
    send(london);
    EXPECT_EQ(f.edToLatDeg->text(), QStringLiteral("51"));
    EXPECT_EQ(f.edToLatSec->text(), QStringLiteral("46"));
    EXPECT_EQ(f.edtoLonDeg->text(), QStringLiteral("0"));
    EXPECT_EQ(f.edToLonSec->text(), QStringLiteral("20"));
    EXPECT_EQ(f.rgToLon->ItemIndex(), 1);
    EXPECT_EQ(f.edToQTH->text(), QStringLiteral("io91wm"));
    EXPECT_EQ(f.edFmLatDeg->text(), QStringLiteral("49")); // start untouched
    EXPECT_EQ(f.gps->intake().countdown(), 5);
    EXPECT_EQ(f.sb->SimpleText(), QStringLiteral("New GPS data received at 09:30:15 UT"));
}

TEST_F(Intake, MonitorKeepsTheLastFourPositionSentencesNewestAtTheBottom) {
    TForm1& f = startFeeding(2);
    for (int i = 0; i < 6; ++i) {
        send("$GPGLL,5130.7712,N,00007.3456,W,09301" + std::to_string(i) + ",V\r");
    }
    send("$GPRMC,093015.00,A,5130.7712,N,00007.3456,W,0.0,0.0,010101,,\r");
    EXPECT_EQ(monitor(f),
              (QStringList{QStringLiteral("$GPGLL,5130.7712,N,00007.3456,W,093012,V"),
                           QStringLiteral("$GPGLL,5130.7712,N,00007.3456,W,093013,V"),
                           QStringLiteral("$GPGLL,5130.7712,N,00007.3456,W,093014,V"),
                           QStringLiteral("$GPGLL,5130.7712,N,00007.3456,W,093015,V")}));
}

// Sentences that are position sentences but no fix: the monitor shows them,
// the status line says INVALID, nothing else changes, and the next one works.
struct InvalidRow {
    const char* name;
    std::string sentence;
    const char* time;
};

class InvalidFix : public Intake, public ::testing::WithParamInterface<InvalidRow> {};

TEST_P(InvalidFix, ShowsInvalidChangesNothingAndTheIntakeGoesOn) {
    const InvalidRow& row = GetParam();
    TForm1& f = startFeeding(0);
    const PageState before = pageState(f);
    send(row.sentence);
    EXPECT_EQ(f.sb->SimpleText(),
              QStringLiteral("GPS data from %1 is INVALID!").arg(QLatin1String(row.time)));
    EXPECT_TRUE(pageState(f) == before);
    EXPECT_TRUE(f.lbNmea4->text().startsWith(QLatin1String(row.sentence.substr(0, 6).c_str())));
    EXPECT_EQ(f.lbNmea4->text().count(QLatin1Char('\n')), 0);

    send(london);
    EXPECT_EQ(f.sb->SimpleText(), QStringLiteral("New GPS data received at 09:30:15 UT"));
    EXPECT_EQ(f.edFmLatDeg->text(), QStringLiteral("51"));
}

INSTANTIATE_TEST_SUITE_P(
    Table, InvalidFix,
    ::testing::Values(
        InvalidRow{"StatusV", "$GPGLL,5130.7712,N,00007.3456,W,093015.00,V*08\r", "09:30:15 UT"},
        InvalidRow{"NoTimeNoStatus", "$GPGLL,5130.7712,N,00007.3456,W\r", "00:00:00 UT"},
        InvalidRow{"EmptyMiddleFields", "$GPGLL,,,,,093015.00,V*26\r", "00:00:00 UT"},
        InvalidRow{"WrongChecksum", "$GPGLL,5130.7712,N,00007.3456,W,093015.00,A*1E\r",
                   "09:30:15 UT"},
        // Line noise turned a byte into NUL: the checksum still covers it.
        InvalidRow{"NulInsideWithChecksum", "$GPGLL,5130.7712,N,00007.3456,W,093015.00,A\0X*1F\r"s,
                   "09:30:15 UT"},
        // 99 degrees north is off the grid: the locator's range error.
        InvalidRow{"LatitudeOutOfRange", "$GPGLL,9930.7712,N,00007.3456,W,093015.00,A\r",
                   "09:30:15 UT"},
        InvalidRow{"LongitudeOutOfRange", "$GPGLL,5130.7712,N,19907.3456,W,093015.00,A\r",
                   "09:30:15 UT"},
        // Longer than the node holds: cut, and with the tail went its checksum.
        InvalidRow{"CutOverlongMessage",
                   "$GPGLL,5130.7712,N,00007.3456,W,093015.00,A" + std::string(600, 'x') + "*00\r",
                   "09:30:15 UT"}),
    [](const ::testing::TestParamInfo<InvalidRow>& info) { return std::string(info.param.name); });

// Every GNSS talker's GLL is a position sentence; nothing else leaves a trace.
struct TalkerRow {
    const char* name;
    std::string sentence;
    bool used;
};

class Talker : public Intake, public ::testing::WithParamInterface<TalkerRow> {};

TEST_P(Talker, PositionSentencesOfEveryTalkerAreUsed) {
    const TalkerRow& row = GetParam();
    TForm1& f = startFeeding(0);
    f.sb->SetSimpleText(QStringLiteral("before"));
    const QStringList monitorBefore = monitor(f);
    send(row.sentence);
    if (row.used) {
        EXPECT_EQ(f.edFmLatDeg->text(), QStringLiteral("51"));
        EXPECT_EQ(f.sb->SimpleText(), QStringLiteral("New GPS data received at 09:30:15 UT"));
        EXPECT_NE(monitor(f), monitorBefore);
    } else {
        EXPECT_EQ(f.edFmLatDeg->text(), QStringLiteral("49"));
        EXPECT_EQ(f.sb->SimpleText(), QStringLiteral("before"));
        EXPECT_EQ(monitor(f), monitorBefore);
    }
}

std::string withTalker(const char* tag) {
    return tessaro::test::withChecksum(tag + std::string(",5130.7712,N,00007.3456,W,093015.00,A")) +
           "\r";
}

INSTANTIATE_TEST_SUITE_P(
    Table, Talker,
    ::testing::Values(
        TalkerRow{"GP", withTalker("$GPGLL"), true}, TalkerRow{"GN", withTalker("$GNGLL"), true},
        TalkerRow{"GL", withTalker("$GLGLL"), true}, TalkerRow{"GA", withTalker("$GAGLL"), true},
        TalkerRow{"GB", withTalker("$GBGLL"), true}, TalkerRow{"BD", withTalker("$BDGLL"), true},
        TalkerRow{"GQ", withTalker("$GQGLL"), true},
        TalkerRow{"LowerCaseLetters", "$GPGLL,5130.7712,n,00007.3456,w,093015.00,a\r", true},
        TalkerRow{"ModeField", "$GPGLL,5130.7712,N,00007.3456,W,093015.00,A,A\r", true},
        TalkerRow{"Rmc", "$GPRMC,093015.00,A,5130.7712,N,00007.3456,W,,,\r", true},
        TalkerRow{"Gga", "$GNGGA,093015.00,5130.7712,N,00007.3456,W,1,08,0.9,45.0,M,,M,,\r", true},
        TalkerRow{"Gns", "$GNGNS,093015.00,5130.7712,N,00007.3456,W,AAN,08\r", true},
        TalkerRow{"MarineGll", withTalker("$ECGLL"), true},
        TalkerRow{"Satellites", "$GPGSV,3,1,11,03,03,111,00,04,15,270,00,06,01,010,00*7B\r", false},
        TalkerRow{"Proprietary", "$PGRMC,093015.00,A,5130.7712,N,00007.3456,W\r", false},
        TalkerRow{"Empty", "", false}, TalkerRow{"Noise", "\xFF\x01$\r\n", false}),
    [](const ::testing::TestParamInfo<TalkerRow>& info) { return std::string(info.param.name); });

TEST_F(Intake, ValidFixWhileOffChangesOnlyTheMonitor) {
    TForm1& f = startFeeding(2);
    const PageState before = pageState(f);
    const QString status = f.sb->SimpleText();
    send(london);
    EXPECT_TRUE(pageState(f) == before);
    EXPECT_EQ(f.sb->SimpleText(), status);
    EXPECT_EQ(f.lbNmea4->text(), QString::fromLatin1(london.c_str()).trimmed());
}

TEST_F(Intake, SixthStartFixGivesTheFirstHeadingAndTheBarCountsDown) {
    TForm1& f = startFeeding(0);
    std::vector<int> countdown;
    std::vector<int> bar;
    std::vector<QString> heading;
    // Moving north-east, one minute of latitude and one of longitude a fix.
    for (int i = 0; i < 7; ++i) {
        send(fixAt(10 + i, 10 + i));
        countdown.push_back(f.gps->intake().countdown());
        bar.push_back(f.pb1->value());
        heading.push_back(f.edCurrHead->text());
    }
    EXPECT_EQ(countdown, (std::vector<int>{4, 3, 2, 1, 5, 4, 3}));
    // The bar runs 4, 3, 2, 1, 0, 4, ...; its range starts at 1, so 0 shows as 1 (empty).
    EXPECT_EQ(bar, (std::vector<int>{4, 3, 2, 1, 1, 4, 3}));
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(heading[i], QStringLiteral("0")) << "fix " << i + 1;
    }
    ASSERT_TRUE(f.gps->intake().keptFix());
    EXPECT_DOUBLE_EQ((*f.gps->intake().keptFix())[0], 50.0 + 14 / 60.0);
    EXPECT_DOUBLE_EQ((*f.gps->intake().keptFix())[1], 8.0 + 14 / 60.0);
    // North-east on a plane where a minute of longitude is cos(50.24 deg) of one
    // of latitude: atan(0.6394) = 32.59 deg.
    EXPECT_NEAR(f.currentHeading, 32.59, 0.01);
    EXPECT_EQ(heading[5], QStringLiteral("32.6\u00B0"));
}

struct HeadingRow {
    const char* name;
    std::string sentence;
    std::string kept; // five of these make the kept fix
    const char* locale;
    const char* text;
};

class Heading : public Intake, public ::testing::WithParamInterface<HeadingRow> {};

TEST_P(Heading, FromTheKeptFixToTheNewOne) {
    const HeadingRow& row = GetParam();
    const QLocale previous;
    QLocale::setDefault(QLocale(QLatin1String(row.locale)));
    TForm1& f = startFeeding(0);
    for (int i = 0; i < 5; ++i) {
        send(row.kept);
    }
    const auto kept = f.gps->intake().keptFix();
    send(row.sentence);
    QLocale::setDefault(previous);
    EXPECT_EQ(f.edCurrHead->text(), QString::fromUtf8(row.text));
    EXPECT_EQ(f.gps->intake().countdown(), 4);
    EXPECT_EQ(f.gps->intake().keptFix(), kept); // kept until the countdown runs out
}

// 51 deg 30' N, 0 deg 9' W and E.
const std::string keptWest = "$GPGLL,5130.000,N,00009.000,W,120000,A\r";
const std::string keptEast = "$GPGLL,5130.000,N,00009.000,E,120000,A\r";

INSTANTIATE_TEST_SUITE_P(
    Table, Heading,
    ::testing::Values(HeadingRow{"WestOfGreenwich", london, keptWest, "C", "53.5\u00B0"},
                      HeadingRow{"DecimalComma", london, keptWest, "de_DE", "53,5\u00B0"},
                      // The same numbers taken as east point the other way.
                      HeadingRow{"SignsMatter", "$GPGLL,5130.7712,N,00007.3456,E,093015.00,A\r",
                                 keptEast, "C", "306.5\u00B0"},
                      HeadingRow{"StandingStill", london, london, "C", "0.0\u00B0"}),
    [](const ::testing::TestParamInfo<HeadingRow>& info) { return std::string(info.param.name); });

TEST_F(Intake, InvalidAndDestinationFixesLeaveTheHeadingState) {
    TForm1& f = startFeeding(0);
    send(london);
    ASSERT_EQ(f.gps->intake().countdown(), 4);
    send("$GPGLL,5130.7712,N,00007.3456,W,093015.00,V*08\r");
    f.gpsTarget = 1;
    send(london);
    EXPECT_EQ(f.gps->intake().countdown(), 4);
    EXPECT_EQ(f.pb1->value(), 4);
    EXPECT_FALSE(f.gps->intake().keptFix());
}

} // namespace
