// The Lat/Long, QTH Locator and Car pages driven as a user drives them: text
// typed into the fields, Enter on the page, results read from the labels and
// the car picture read pixel by pixel.
#include "Form1.h"
#include "GpsSource.h"
#include "Nmea.h"
#include "QTH.h"
#include "Translations.h"
#include "Widgets.h"
#include "Win1252.h"
#include "window_fixture.h"

#include <QAccessible>
#include <QCheckBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <array>
#include <optional>
#include <utility>
#include <vector>

namespace {

QString w(const char* win1252) {
    return tessaro::fromWin1252(win1252);
}

const QString kDeg = w("\xB0");

// Restores the C locale the test main sets, also when a test fails.
struct LocaleGuard {
    explicit LocaleGuard(const QLocale& locale) { QLocale::setDefault(locale); }
    ~LocaleGuard() { QLocale::setDefault(QLocale::c()); }
};

class Pages : public WindowFixture {
protected:
    // The twelve Lat/Long fields in the order of the page's point rows.
    std::array<QLineEdit*, 12> latLongFields(TForm1& f) {
        return {f.edFmLatDeg, f.edFmLatMin, f.edFmLatSec, f.edFmLonDeg, f.edFmLonMin, f.edFmLonSec,
                f.edToLatDeg, f.edToLatMin, f.edToLatSec, f.edtoLonDeg, f.edToLonMin, f.edToLonSec};
    }

    static void type(QLineEdit* edit, const QString& text) {
        edit->setFocus();
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Backspace);
        QTest::keyClicks(edit, text);
    }

    // Clears all twelve fields (degrees to 0), types the given ones and presses Enter.
    void latLong(TForm1& f, const std::vector<std::pair<int, const char*>>& typed) {
        f.PageControl1->setCurrentIndex(0);
        const auto fields = latLongFields(f);
        for (std::size_t i = 0; i < fields.size(); ++i) {
            fields[i]->setText(i % 3 == 0 ? QStringLiteral("0") : QString());
        }
        for (const auto& [index, text] : typed) {
            type(fields[static_cast<std::size_t>(index)], w(text));
        }
        fields[0]->setFocus();
        QTest::keyClick(fields[0], Qt::Key_Return);
    }

    void locators(TForm1& f, const QString& from, const QString& to) {
        f.PageControl1->setCurrentIndex(1);
        type(f.edFmQth, from);
        type(f.edToQTH, to);
        QTest::keyClick(f.edToQTH, Qt::Key_Return);
    }

    void heading(TForm1& f, const QString& text) {
        f.CheckBox2->setChecked(true);
        f.PageControl1->setCurrentIndex(5);
        type(f.edCurrHead, text);
        QTest::keyClick(f.edCurrHead, Qt::Key_Return);
    }

    static QImage original() {
        return QImage(QStringLiteral(":/tessaro/car.png")).convertToFormat(QImage::Format_RGB32);
    }
};

// Field indexes.
enum { FLatD, FLatM, FLatS, FLonD, FLonM, FLonS, TLatD, TLatM, TLatS, TLonD, TLonM, TLonS };

// --- Lat/Long: refusals -------------------------------------------------------------------------

struct RefusalRow {
    const char* name;
    std::vector<std::pair<int, const char*>> typed;
    const char* status;
};

class LatLongRefusal : public Pages, public ::testing::WithParamInterface<RefusalRow> {};

TEST_P(LatLongRefusal, StatusLineAndNoFiguresOfTheLastRun) {
    TForm1& f = start();
    latLong(f, {{TLatD, "1"}});
    ASSERT_EQ(f.sb->SimpleText(), QString());
    ASSERT_NE(f.car->Picture(), original());

    latLong(f, GetParam().typed);
    EXPECT_EQ(f.sb->SimpleText(), w(GetParam().status));
    for (const QLabel* result :
         {f.lbDist, f.lbBear, f.lbRevBear, f.fmLoc, f.toLOc, f.lbRelbear, f.lbRelDist}) {
        EXPECT_EQ(result->text(), QString()) << result->objectName().toStdString();
    }
    EXPECT_EQ(f.car->Picture(), original()); // the pointer erased
    // A screen reader hears the caption alone.
    EXPECT_EQ(QAccessible::queryAccessibleInterface(f.lbDist)->text(QAccessible::Name),
              QStringLiteral("Distance"));
}

INSTANTIATE_TEST_SUITE_P(
    Rows, LatLongRefusal,
    ::testing::Values(
        RefusalRow{"FromLatitude90", {{FLatD, "90"}}, "from lat. error: 0\xB0 to 89\xB0 allowed"},
        RefusalRow{
            "ToLongitudeMinus5", {{TLonD, "-5"}}, "to long. error: 0\xB0 to 179\xB0 allowed"},
        RefusalRow{"ToLatitudeMinus5", {{TLatD, "-5"}}, "to lat. error: min 00\xB0 to max 89\xB0"},
        RefusalRow{"FromSeconds60", {{FLonS, "60"}}, "from seconds error: 00\" to 59\" allowed"},
        RefusalRow{
            "ToLongitudeHex180", {{TLonD, "$B4"}}, "to long. error: 0\xB0 to 179\xB0 allowed"},
        RefusalRow{
            "ToMinutesNegative", {{TLatM, "-1"}}, "to minutes error: 0\xB4 to 59\xB4 allowed"},
        RefusalRow{"BadFromLatitudeAndBadToLongitudeLeaveTheLatter",
                   {{FLatD, "95"}, {TLonD, "200"}},
                   "to long. error: 0\xB0 to 179\xB0 allowed"},
        // Texts the lenient reading would take for other numbers, named by field.
        RefusalRow{"LetterO", {{TLonM, "5O"}}, "to long. minutes error: not a whole number"},
        RefusalRow{"LetterL", {{FLatD, "l5"}}, "from lat. degrees error: not a whole number"},
        RefusalRow{"Letters", {{TLatS, "ab"}}, "to lat. seconds error: not a whole number"},
        RefusalRow{"Point", {{FLonS, "3."}}, "from long. seconds error: not a whole number"},
        RefusalRow{"TrailingMinus", {{TLatM, "5-"}}, "to lat. minutes error: not a whole number"},
        RefusalRow{
            "MinusAndLetter", {{FLonD, "-5x"}}, "from long. degrees error: not a whole number"},
        RefusalRow{"EmptyDegrees", {{TLatD, ""}}, "to lat. degrees error: empty"},
        RefusalRow{"TextBeforeRange",
                   {{FLatD, "95"}, {FLatM, "5O"}},
                   "from lat. minutes error: not a whole number"}),
    [](const ::testing::TestParamInfo<RefusalRow>& info) { return std::string(info.param.name); });

// --- Lat/Long: results --------------------------------------------------------------------------

TEST_F(Pages, EmptyMinutesAndSecondsGiveZeroNorthZeroEast) {
    TForm1& f = start();
    f.sb->SetSimpleText(QStringLiteral("old message"));
    latLong(f, {});
    EXPECT_EQ(f.sb->SimpleText(), QString());
    EXPECT_EQ(f.lbDist->text(), QStringLiteral("0.000 km"));
    EXPECT_EQ(f.lbBear->text(), QStringLiteral("0.0") + kDeg);
    EXPECT_EQ(f.lbRevBear->text(), QStringLiteral("180.0") + kDeg);
    EXPECT_EQ(f.fmLoc->text(), QStringLiteral("jj00aa"));
    EXPECT_EQ(f.toLOc->text(), QStringLiteral("jj00aa"));
}

// Figures as the pages show them. Distances by hand on the plane grid
// (111.3 km * sqrt(cos(lat1) cos(lat2) dLon^2 + dLat^2)); bearings by hand
// from atan2(sin dLon cos lat2, cos lat1 sin lat2 - sin lat1 cos lat2 cos dLon).
struct FigureRow {
    const char* name;
    std::vector<std::pair<int, const char*>> typed; // Lat/Long page; empty: QTH page
    std::array<int, 4> hemispheres;                 // from lat, from lon, to lat, to lon
    const char* fromLocator;
    const char* toLocator;
    bool centre;
    const char* distance;
    const char* bearing;
    const char* reverse;
};

class Figures : public Pages, public ::testing::WithParamInterface<FigureRow> {};

TEST_P(Figures, AsShown) {
    const FigureRow& r = GetParam();
    TForm1& f = start();
    QLabel* shown[3] = {f.lbDist, f.lbBear, f.lbRevBear};
    if (r.typed.empty()) {
        f.CheckBox1->setChecked(r.centre);
        locators(f, QString::fromLatin1(r.fromLocator), QString::fromLatin1(r.toLocator));
        shown[0] = f.lbDist2;
        shown[1] = f.lbBear2;
        shown[2] = f.lbRevBear2;
    } else {
        f.rgFmLat->SetItemIndex(r.hemispheres[0]);
        f.rgFmLon->SetItemIndex(r.hemispheres[1]);
        f.rgToLat->SetItemIndex(r.hemispheres[2]);
        f.rgToLon->SetItemIndex(r.hemispheres[3]);
        latLong(f, r.typed);
    }
    EXPECT_EQ(f.sb->SimpleText(), QString());
    EXPECT_EQ(shown[0]->text(), QString::fromLatin1(r.distance));
    EXPECT_EQ(shown[1]->text(), QString::fromLatin1(r.bearing) + kDeg);
    EXPECT_EQ(shown[2]->text(), QString::fromLatin1(r.reverse) + kDeg);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, Figures,
    ::testing::Values(
        // The great circle leaves London north of west, though New York lies south.
        FigureRow{"LondonToNewYork",
                  {{FLatD, "51"},
                   {FLatM, "30"},
                   {FLatS, "46"},
                   {FLonD, "0"},
                   {FLonM, "7"},
                   {FLonS, "20"},
                   {TLatD, "40"},
                   {TLatM, "42"},
                   {TLonD, "74"}},
                  {0, 1, 0, 1},
                  "",
                  "",
                  false,
                  "5774.8 km",
                  "288.3",
                  "108.3"},
        FigureRow{"EastAndFirstNorthToFurtherSouth",
                  {{FLatD, "50"}, {FLonD, "0"}, {TLatD, "49"}, {TLonD, "90"}},
                  {0, 0, 0, 0},
                  "",
                  "",
                  false,
                  "6505.9 km",
                  "53.5",
                  "233.5"},
        // 20 degrees along the equator, the short way across the 180th meridian.
        FigureRow{"AcrossTheDateLine",
                  {{FLatD, "0"}, {FLonD, "170"}, {TLatD, "0"}, {TLonD, "170"}},
                  {0, 0, 0, 1},
                  "",
                  "",
                  false,
                  "2226.0 km",
                  "90.0",
                  "270.0"},
        FigureRow{"LocatorsAcrossTheDateLine",
                  {},
                  {},
                  "RJ50aa",
                  "AJ50aa",
                  true,
                  "2226.0 km",
                  "90.0",
                  "270.0"},
        // Centres 1'45" west and 7.5" south of each other at 49.94 N: the
        // positions the page shows beside the figures.
        FigureRow{"CentresOfASquareAndItsSubsquare",
                  {},
                  {},
                  "JN49kw",
                  "JN49kw14",
                  true,
                  "2.102 km",
                  "263.7",
                  "83.7"},
        // Corners 30" east and 60" north.
        FigureRow{"CornersOfASquareAndItsSubsquare",
                  {},
                  {},
                  "JN49kw",
                  "JN49kw14",
                  false,
                  "1.949 km",
                  "17.8",
                  "197.8"}),
    [](const ::testing::TestParamInfo<FigureRow>& info) { return std::string(info.param.name); });

// Setup keys recompute what the pages show (figures by hand: 5774.808 km and
// 1.9487 km * 0.6215 mi/km; the centred 2.1022 km likewise).
TEST_F(Pages, SetupChoicesRecomputeThePagesShown) {
    TForm1& f = start();
    latLong(f, {{FLatD, "51"},
                {FLatM, "30"},
                {FLatS, "46"},
                {FLonM, "7"},
                {FLonS, "20"},
                {TLatD, "40"},
                {TLatM, "42"},
                {TLonD, "74"}});
    ASSERT_EQ(f.rgFmLon->ItemIndex(), 0);
    f.rgFmLon->SetItemIndex(1);
    f.rgToLon->SetItemIndex(1);
    QTest::keyClick(f.BitBtn1, Qt::Key_Return);
    ASSERT_EQ(f.lbDist->text(), QStringLiteral("5774.8 km"));
    ASSERT_TRUE(f.CheckBox1->isChecked()); // centring, as at every first start
    locators(f, QStringLiteral("JN49kw"), QStringLiteral("JN49kw14"));
    ASSERT_EQ(f.lbDist2->text(), QStringLiteral("2.102 km"));

    press(Qt::Key_S, Qt::AltModifier);
    press(Qt::Key_Down); // units: miles
    EXPECT_EQ(f.lbDist->text(), QStringLiteral("3589.0 mi"));
    EXPECT_EQ(f.lbDist2->text(), QStringLiteral("1.307 mi"));
    typeKeys(QStringLiteral("\t"));
    press(Qt::Key_Down); // 8 characters: (3599 - 440) % 300 / 30 = 5, 1846 % 150 / 15 = 3
    EXPECT_EQ(f.fmLoc->text(), QStringLiteral("io91wm53"));
    typeKeys(QStringLiteral("\t ")); // centring off: the corners
    EXPECT_EQ(f.lbDist2->text(), QStringLiteral("1.211 mi"));
    EXPECT_EQ(f.lbBear2->text(), QStringLiteral("17.8") + kDeg);
}

#ifdef TESSARO_HAVE_GEOGRAPHICLIB
// Figures from GeodSolve: "-i" gives azi1 -71.6485, azi2 -128.7736 and
// 5585907.304 m; "-L lat1 lon1 azi1 -a" at 360 gives the circuit 39984335.018 m.
TEST_F(Pages, GreatCircleIsChosenOnSetupStoredAndShowsTheLongPath) {
    TForm1& f = start();
    press(Qt::Key_S, Qt::AltModifier);
    typeKeys(QStringLiteral("\t\t\t\t")); // units, digits, centring, car page, method
    press(Qt::Key_Down);
    ASSERT_EQ(f.rgMethod->ItemIndex(), 1);
    latLong(f, {{FLatD, "51"},
                {FLatM, "30"},
                {FLatS, "46"},
                {FLonM, "7"},
                {FLonS, "20"},
                {TLatD, "40"},
                {TLatM, "42"},
                {TLonD, "74"}});
    f.rgFmLon->SetItemIndex(1);
    f.rgToLon->SetItemIndex(1);
    QTest::keyClick(f.BitBtn1, Qt::Key_Return);
    EXPECT_EQ(f.lbDist->text(), QStringLiteral("5585.9 km"));
    EXPECT_EQ(f.lbBear->text(), QStringLiteral("288.4") + kDeg);
    EXPECT_EQ(f.lbRevBear->text(), QStringLiteral("51.2") + kDeg);
    EXPECT_EQ(f.lbLong->text(),
              QStringLiteral("34398.0 km at 108.4") /* 5 significant digits */ + kDeg);
    EXPECT_TRUE(f.lbLong->isVisible());
    finish();
    EXPECT_EQ(readStore().value(QStringLiteral("distmethod")).toInt(), 1);
}
#endif

// One degree of latitude is 111.3 km on the page's plane grid.
struct UnitRow {
    const char* name;
    int units;
    const char* locale;
    const char* distance;
};

class LatLongUnits : public Pages, public ::testing::WithParamInterface<UnitRow> {};

TEST_P(LatLongUnits, OneDegreeNorth) {
    const LocaleGuard locale{QLocale(QString::fromLatin1(GetParam().locale))};
    TForm1& f = start();
    f.rgUnits->SetItemIndex(GetParam().units);
    latLong(f, {{TLatD, "1"}});
    EXPECT_EQ(f.lbDist->text(), QString::fromLatin1(GetParam().distance));
    EXPECT_EQ(f.lbRelDist->text(), f.lbDist->text());
}

INSTANTIATE_TEST_SUITE_P(Rows, LatLongUnits,
                         ::testing::Values(UnitRow{"Kilometres", 0, "C", "111.3 km"},
                                           UnitRow{"Miles", 1, "C", "69.173 mi"},
                                           UnitRow{"NauticalMiles", 2, "C", "60.096 nm"},
                                           UnitRow{"NoSelectionHasNoSuffix", -1, "C", "111.3"},
                                           UnitRow{"CommaLocale", 0, "de_DE", "111,3 km"}),
                         [](const ::testing::TestParamInfo<UnitRow>& info) {
                             return std::string(info.param.name);
                         });

TEST_F(Pages, SouthAndWestBecomeNegativeWhileLocatorsKeepTheFields) {
    TForm1& f = start();
    f.rgFmLat->SetItemIndex(1);
    f.rgFmLon->SetItemIndex(1);
    f.rgToLat->SetItemIndex(1);
    f.rgToLon->SetItemIndex(1);
    latLong(f, {{FLatD, "10"}, {FLonD, "20"}, {TLatD, "11"}, {TLonD, "20"}});
    // Due south of a southern point: bearing 180, so the signs reached the core.
    EXPECT_EQ(f.lbBear->text(), QStringLiteral("180.0") + kDeg);
    EXPECT_EQ(f.lbRevBear->text(), QStringLiteral("0.0") + kDeg);
    EXPECT_EQ(f.lbDist->text(), QStringLiteral("111.3 km"));
    EXPECT_EQ(f.fmLoc->text(),
              QString::fromStdString(LatLonToLocator(20, 0, 0, 10, 0, 0, false, false, false)));
    EXPECT_NE(f.fmLoc->text(),
              QString::fromStdString(LatLonToLocator(20, 0, 0, 10, 0, 0, true, true, false)));
}

TEST_F(Pages, FirstRunComputesFromTheInitialPlaceAfterOneEnter) {
    TForm1& f = start();
    EXPECT_EQ(f.lbRelbear->text(), QString());
    EXPECT_EQ(f.lbRelDist->text(), QString());
    f.PageControl1->setCurrentIndex(0);
    f.edToLatDeg->setFocus();
    QTest::keyClick(f.edToLatDeg, Qt::Key_Return);
    EXPECT_EQ(f.sb->SimpleText(), QString());
    EXPECT_EQ(f.fmLoc->text(), QStringLiteral("jn49kw"));
    EXPECT_FALSE(f.lbDist->text().isEmpty());

    f.rgDigits->SetItemIndex(1);
    QTest::keyClick(f.edToLatDeg, Qt::Key_Return);
    EXPECT_EQ(f.fmLoc->text().size(), 8);
    EXPECT_TRUE(f.fmLoc->text().startsWith(QStringLiteral("jn49kw")));
}

// --- Car page -----------------------------------------------------------------------------------

TEST_F(Pages, RelativeBearingUsesTheTypedHeadingWithSingleCorrections) {
    TForm1& f = start();
    heading(f, QStringLiteral("480"));
    latLong(f, {{TLonD, "1"}}); // due east: bearing 90
    EXPECT_EQ(f.lbBear->text(), QStringLiteral("90.0") + kDeg);
    EXPECT_EQ(f.lbRelbear->text(), QStringLiteral("-30.0") + kDeg); // 90 - 480 + 360 once
    // Up and to the left of the car's front (the end itself depends on the
    // last bits of the bearing, here a hair below 90).
    EXPECT_LE(f.carPointerX, 1);
    EXPECT_LE(f.carPointerY, -54);

    heading(f, QStringLiteral("100"));
    latLong(f, {{TLonD, "1"}});
    EXPECT_EQ(f.lbRelbear->text(), QStringLiteral("350.0") + kDeg);
}

TEST_F(Pages, NewHeadingTurnsThePointerOfTheLastBearing) {
    TForm1& f = start();
    latLong(f, {{TLonD, "1"}}); // due east
    ASSERT_EQ(f.lbRelbear->text(), QStringLiteral("90.0") + kDeg);
    heading(f, QStringLiteral("45"));
    EXPECT_EQ(f.lbRelbear->text(), QStringLiteral("45.0") + kDeg);
    EXPECT_EQ(f.carPointerX, 181); // 75 + trunc(150 cos -45), 75 + trunc(150 sin -45)
    EXPECT_EQ(f.carPointerY, -31);
    EXPECT_EQ(f.lbRelDist->text(), f.lbDist->text());
}

// While the GPS feeds the start, a refused destination leaves no figures,
// though the fix's own message takes the status line.
TEST_F(Pages, RefusedDestinationUnderGpsShowsNoFigures) {
    TForm1& f = start();
    latLong(f, {{TLatD, "1"}});
    ASSERT_FALSE(f.lbDist->text().isEmpty());
    f.rgGpsTarget->SetItemIndex(0);
    type(f.edToLatDeg, QStringLiteral("95"));
    f.gps->take(tessaro::test::withChecksum("$GPGLL,5030.000,N,00800.000,E,120000,A") + "\r");
    ASSERT_EQ(f.edFmLatDeg->text(), QStringLiteral("50"));
    EXPECT_EQ(f.lbDist->text(), QString());
    EXPECT_EQ(f.lbBear->text(), QString());
    EXPECT_EQ(f.lbRelbear->text(), QString());
    // The refusal stays in the status line; the fix does not talk over it.
    EXPECT_TRUE(f.sb->SimpleText().contains(QLatin1String("error"), Qt::CaseInsensitive))
        << qPrintable(f.sb->SimpleText());
    f.rgGpsTarget->SetItemIndex(2);
}

TEST_F(Pages, PointerIsRedOnWhiteAndOneRedrawRestoresThePicture) {
    TForm1& f = start();
    const QImage before = original();
    ASSERT_EQ(f.car->Picture(), before);
    const QRgb white = qRgb(255, 255, 255);
    const QRgb red = qRgb(255, 0, 0);
    // White spots on the way right of the car and above it.
    const QPoint right(110, 75);
    const QPoint up(75, 22);
    ASSERT_EQ(before.pixel(right), white);
    ASSERT_EQ(before.pixel(up), white);

    latLong(f, {{TLonD, "1"}}); // heading 0, bearing 90: pointer to the right
    const QImage first = f.car->Picture();
    EXPECT_EQ(first.pixel(right), red);
    EXPECT_EQ(first.pixel(up), white);
    EXPECT_EQ(first.pixel(40, 75), before.pixel(40, 75)); // the other side is untouched
    // Every changed pixel is the XOR of the original with cyan.
    int changed = 0;
    for (int y = 0; y < before.height(); ++y) {
        for (int x = 0; x < before.width(); ++x) {
            if (first.pixel(x, y) != before.pixel(x, y)) {
                ++changed;
                EXPECT_EQ(first.pixel(x, y), before.pixel(x, y) ^ 0x0000FFFFu) << x << "," << y;
            }
        }
    }
    EXPECT_GT(changed, 8 * 60);

    latLong(f, {{TLonD, "1"}}); // same result: the old pointer erased, the same drawn
    EXPECT_EQ(f.car->Picture(), first);

    latLong(f, {{TLatD, "1"}}); // due north: pointer up, the right one gone
    const QImage second = f.car->Picture();
    EXPECT_EQ(second.pixel(right), white);
    EXPECT_EQ(second.pixel(up), red);

    latLong(f, {{TLonD, "1"}}); // back to the right: exactly the first picture
    EXPECT_EQ(f.car->Picture(), first);
}

TEST_F(Pages, PointerTowardsTheFrontRightAtFortyFive) {
    TForm1& f = start();
    heading(f, QStringLiteral("45"));
    latLong(f, {{TLonD, "1"}}); // 90 - 45 = 45
    EXPECT_EQ(f.lbRelbear->text(), QStringLiteral("45.0") + kDeg);
    EXPECT_EQ(f.carPointerX, 181);
    EXPECT_EQ(f.carPointerY, -31);
    // Up and right of the car, on the diagonal.
    EXPECT_EQ(f.car->Picture().pixel(112, 38), qRgb(255, 0, 0));
    EXPECT_EQ(f.car->Picture().pixel(38, 38), qRgb(255, 255, 255));
}

struct HeadingRow {
    const char* name;
    const char* locale;
    const char* typed;
    std::optional<double> heading;
};

class HeadingEntry : public Pages, public ::testing::WithParamInterface<HeadingRow> {};

TEST_P(HeadingEntry, AcceptsTheLocaleNumberOrReportsIt) {
    const LocaleGuard locale{QLocale(QString::fromLatin1(GetParam().locale))};
    // The messages in the row's language, as the program picks them at its start.
    struct Language {
        explicit Language(const QLocale& locale) { tessaro::useLanguage(locale); }
        ~Language() { tessaro::useLanguage(QLocale::c()); }
    } language{QLocale(QString::fromLatin1(GetParam().locale))};
    TForm1& f = start();
    f.currentHeading = 7;
    const QString typed = w(GetParam().typed);
    heading(f, typed);
    // The unit beside the field shows the degree sign once.
    EXPECT_EQ((f.edCurrHead->text() + f.Label12->text()).count(kDeg), 1);
    if (GetParam().heading) {
        EXPECT_TRUE(m_errors.isEmpty());
        EXPECT_DOUBLE_EQ(f.currentHeading, *GetParam().heading);
        EXPECT_EQ(f.edCurrHead->selectionStart(), 0);
        EXPECT_EQ(f.edCurrHead->selectedText(), typed);
    } else {
        ASSERT_EQ(m_errors.size(), 1);
        const bool german = QLatin1String(GetParam().locale).startsWith(QLatin1String("de"));
        EXPECT_EQ(m_errors.at(0),
                  QStringLiteral("'") + typed +
                      QString::fromUtf8(german ? "' ist kein g\u00FCltiger Gleitkommawert."
                                               : "' is not a number: the heading stays as it "
                                                 "was."));
        EXPECT_EQ(f.currentHeading, 7);
        // Ready to be typed over.
        EXPECT_EQ(f.edCurrHead->selectedText(), typed);
        EXPECT_EQ(QApplication::focusWidget(), f.edCurrHead);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, HeadingEntry,
    ::testing::Values(HeadingRow{"Plain", "C", "90", 90.0},
                      HeadingRow{"BlanksSignExponent", "C", " -1.5e1 ", -15.0},
                      HeadingRow{"CommaInCommaLocale", "de_DE", "12,5", 12.5},
                      HeadingRow{"PointInCommaLocale", "de_DE", "12.5", std::nullopt},
                      HeadingRow{"TrailingDegreeSignAsTheGpsWritesIt", "C", "45.0\xB0", 45.0},
                      HeadingRow{"Empty", "C", "", std::nullopt},
                      HeadingRow{"Word", "C", "north", std::nullopt}),
    [](const ::testing::TestParamInfo<HeadingRow>& info) { return std::string(info.param.name); });

// The box of a mistyped heading, closed by Enter, gives the focus back to the
// heading with its text selected, even after a click on the Enter button.
TEST_F(Pages, HeadingBoxReturnsTheFocusToTheSelectedHeading) {
    TForm1& f = start();
    heading(f, QStringLiteral("12.5x"));
    ASSERT_EQ(m_errors.size(), 1);
    TApplication::setErrorPresenter([this](const QString& caption, const QString& text) {
        m_errors << text;
        auto* closer = new QTimer;
        QObject::connect(closer, &QTimer::timeout, closer, [closer] {
            if (QWidget* box = QApplication::activeModalWidget()) {
                QTest::keyClick(box, Qt::Key_Return);
                closer->deleteLater();
            }
        });
        closer->start(10);
        TApplication::showErrorBox(caption, text);
    });
    f.edCurrHead->deselect();
    QTest::mouseClick(f.btEnterCurrHead, Qt::LeftButton);
    ASSERT_EQ(m_errors.size(), 2);
    EXPECT_TRUE(QTest::qWaitFor([] { return QApplication::activeModalWidget() == nullptr; }));
    f.activateWindow(); // what the desktop does when the box goes; the headless one does not
    ASSERT_TRUE(QTest::qWaitForWindowActive(&f));
    EXPECT_EQ(QApplication::focusWidget(), f.edCurrHead);
    EXPECT_EQ(f.edCurrHead->selectedText(), QStringLiteral("12.5x"));
}

TEST_F(Pages, ShowCarPageSwitchesTheContentButNotTheTab) {
    TForm1& f = start(); // a first start opens on the Car page, its content hidden
    EXPECT_EQ(f.PageControl1->currentIndex(), 5);
    EXPECT_FALSE(f.carContent->isVisible());
    // One line says where to switch it on, and only while the content is hidden.
    EXPECT_TRUE(f.lbCarHint->isVisible());
    EXPECT_TRUE(f.lbCarHint->text().contains(QStringLiteral("Setup")));
    const auto toggleOnSetup = [this] {
        press(Qt::Key_S, Qt::AltModifier);
        typeKeys(QStringLiteral("\t\t\t ")); // units, digits, centring, then "Show Car page"
        press(Qt::Key_C, Qt::AltModifier);
    };
    toggleOnSetup();
    EXPECT_TRUE(f.CheckBox2->isChecked());
    EXPECT_TRUE(f.carContent->isVisible());
    EXPECT_FALSE(f.lbCarHint->isVisible());
    EXPECT_EQ(QApplication::focusWidget(), f.edCurrHead);
    toggleOnSetup();
    EXPECT_FALSE(f.carContent->isVisible());
    EXPECT_TRUE(f.lbCarHint->isVisible());
    EXPECT_TRUE(f.PageControl1->isTabVisible(5));
    // Hidden content still follows the calculations.
    latLong(f, {{TLonD, "1"}});
    EXPECT_EQ(f.lbRelbear->text(), QStringLiteral("90.0") + kDeg);
}

// --- QTH Locator --------------------------------------------------------------------------------

struct LocatorRefusalRow {
    const char* name;
    const char* from;
    const char* to;
    const char* status;
};

class LocatorRefusal : public Pages, public ::testing::WithParamInterface<LocatorRefusalRow> {};

TEST_P(LocatorRefusal, StatusLineAndNoFiguresOfTheLastRun) {
    TForm1& f = start();
    locators(f, QStringLiteral("JN49kw"), QStringLiteral("JO62qm"));
    ASSERT_EQ(f.sb->SimpleText(), QString());

    locators(f, QString::fromLatin1(GetParam().from), QString::fromLatin1(GetParam().to));
    EXPECT_EQ(f.sb->SimpleText(), QString::fromLatin1(GetParam().status));
    for (const QLabel* result : {f.lbDist2, f.lbBear2, f.lbRevBear2, f.fmLatDiff, f.toLOnDiff}) {
        EXPECT_EQ(result->text(), QString()) << result->objectName().toStdString();
    }
    EXPECT_EQ(f.fmLat->text(), QStringLiteral("-"));
    EXPECT_EQ(f.toLOn->text(), QStringLiteral("-"));
}

INSTANTIATE_TEST_SUITE_P(
    Rows, LocatorRefusal,
    ::testing::Values(LocatorRefusalRow{"SevenAndFiveLeaveTheTo", "JN49kw1", "JO62q",
                                        "Error in \"to\" loc., 6 or 8 characters required"},
                      LocatorRefusalRow{"FromTooShort", "JN49", "JO62qm",
                                        "Error in \"from\" loc., 6 or 8 characters required"},
                      LocatorRefusalRow{"FromSubsquareZ", "JN49kz", "JO62qm",
                                        "Error in \"from\" loc., invalid character"},
                      LocatorRefusalRow{"ToFieldS", "JN49kw", "JS62qm",
                                        "Error in \"to\" loc., invalid character"},
                      LocatorRefusalRow{"ToExtendedLetter", "JN49kw", "JO62qm1x",
                                        "Error in \"to\" loc., invalid character"},
                      LocatorRefusalRow{"BothBadCharactersLeaveTheTo", "JN4!kw", "J?62qm",
                                        "Error in \"to\" loc., invalid character"},
                      LocatorRefusalRow{"BadFromCharacterComesAfterToLength", "JN49k#", "JO62",
                                        "Error in \"from\" loc., invalid character"}),
    [](const ::testing::TestParamInfo<LocatorRefusalRow>& info) {
        return std::string(info.param.name);
    });

TEST_F(Pages, IdenticalLocatorsGiveZeroAndNorth) {
    TForm1& f = start();
    f.sb->SetSimpleText(QStringLiteral("old message"));
    locators(f, QStringLiteral("JN49kw"), QStringLiteral("jn49KW"));
    EXPECT_EQ(f.sb->SimpleText(), QString());
    EXPECT_EQ(f.lbDist2->text(), QStringLiteral("0.000 km"));
    EXPECT_EQ(f.lbBear2->text(), QStringLiteral("0.0") + kDeg);
    EXPECT_EQ(f.lbRevBear2->text(), QStringLiteral("180.0") + kDeg);
}

TEST_F(Pages, LowerCaseGivesTheSameResults) {
    TForm1& f = start();
    const auto results = [&f] {
        return QStringList{f.lbDist2->text(), f.lbBear2->text(), f.lbRevBear2->text(),
                           f.fmLat->text(),   f.fmLon->text(),   f.toLat->text(),
                           f.toLOn->text()};
    };
    locators(f, QStringLiteral("JN49KW"), QStringLiteral("IO91WM"));
    const QStringList upper = results();
    locators(f, QStringLiteral("jn49kw"), QStringLiteral("io91wm"));
    EXPECT_EQ(results(), upper);
    EXPECT_EQ(f.sb->SimpleText(), QString());
}

TEST_F(Pages, PositionsAndPrecisionFollowEachLocatorsLength) {
    TForm1& f = start();
    f.CheckBox1->setChecked(true);
    locators(f, QStringLiteral("JN49kw"), QStringLiteral("IO91wm14"));
    double lon = 0;
    double lat = 0;
    LocatorToLatLon("JN49KW", lon, lat, true);
    EXPECT_EQ(f.fmLat->text(), w(LatitudeToText(lat).c_str()));
    EXPECT_EQ(f.fmLon->text(), w(LongitudeToText(lon).c_str()));
    EXPECT_GT(lat, 49.0); // the from-locator's, not the to-locator's
    LocatorToLatLon("IO91WM14", lon, lat, true);
    EXPECT_EQ(f.toLat->text(), w(LatitudeToText(lat).c_str()));
    EXPECT_EQ(f.toLOn->text(), w(LongitudeToText(lon).c_str()));
    EXPECT_EQ(f.fmLatDiff->text(), w("\xB1 1\xB4"
                                     "15\""));
    EXPECT_EQ(f.fmLonDiff->text(), w("\xB1 2\xB4"
                                     "30\""));
    EXPECT_EQ(f.toLatDiff->text(), w("\xB1 7.5\""));
    EXPECT_EQ(f.toLOnDiff->text(), w("\xB1 15\""));

    f.CheckBox1->setChecked(false);
    locators(f, QStringLiteral("JN49kw"), QStringLiteral("IO91wm14"));
    EXPECT_EQ(f.fmLatDiff->text(), w("+ 2\xB4"
                                     "30\""));
    EXPECT_EQ(f.fmLonDiff->text(), w("+ 5\xB4"
                                     "00\""));
    EXPECT_EQ(f.toLatDiff->text(), w("+ 15\""));
    EXPECT_EQ(f.toLOnDiff->text(), w("+ 30\""));
}

TEST_F(Pages, DestinationIsSelectedForTheNextOne) {
    TForm1& f = start();
    f.rgDigits->SetItemIndex(1);
    locators(f, QStringLiteral("JN49kw"), QStringLiteral("IO91wm"));
    EXPECT_EQ(f.edToQTH->selectedText(), QStringLiteral("IO91wm")); // 8 over 6 selects it all
    f.rgDigits->SetItemIndex(0);
    locators(f, QStringLiteral("JN49kw"), QStringLiteral("IO91wm14"));
    // All of it, whatever the length setting: a shorter one typed next
    // must not keep the old tail.
    EXPECT_EQ(f.edToQTH->selectedText(), QStringLiteral("IO91wm14"));
}

TEST_F(Pages, LocatorUnitsAndSeparator) {
    const LocaleGuard locale{QLocale(QStringLiteral("de_DE"))};
    TForm1& f = start();
    f.rgUnits->SetItemIndex(-1);
    locators(f, QStringLiteral("JN49kw"), QStringLiteral("JN49kw"));
    EXPECT_EQ(f.lbDist2->text(), QStringLiteral("0,000"));
    EXPECT_EQ(f.lbRevBear2->text(), QStringLiteral("180,0") + kDeg);
    f.rgUnits->SetItemIndex(2);
    locators(f, QStringLiteral("JN49kw"), QStringLiteral("JN49kw"));
    EXPECT_EQ(f.lbDist2->text(), QStringLiteral("0,000 nm"));
}

} // namespace
