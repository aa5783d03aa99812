// The main window driven as a user drives it: keys, clicks, start-up, closing.
#include "Form1.h"
#include "GpsSource.h"
#include "HelpText.h"
#include "LocatorLink.h"
#include "Nmea.h"
#include "Widgets.h"
#include "Win1252.h"
#include "window_fixture.h"

#include <QAccessible>
#include <QCheckBox>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QUdpSocket>
#include <stdexcept>

namespace {

// On the circle of the item, where a user clicks (the button may be wider than its label).
void clickItem(TRadioGroup* group, int index) {
    QRadioButton* button = group->Button(index);
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(6, button->height() / 2));
}

// --- the radio group on its own -------------------------------------------------------------

struct IndexCase {
    const char* name;
    int start;
    int set;
    int expected;
    int clicks;
};

class RadioGroupIndex : public ::testing::TestWithParam<IndexCase> {};

TEST_P(RadioGroupIndex, ClampsAndClicksOnlyOnChangeToAnItem) {
    const IndexCase& c = GetParam();
    TRadioGroup group(
        QStringLiteral("g"),
        {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"), QStringLiteral("d")}, 2);
    group.SetItemIndex(c.start);
    int clicks = 0;
    QObject* sender = nullptr;
    group.OnClick = [&](QObject* s) {
        ++clicks;
        sender = s;
    };
    group.SetItemIndex(c.set);
    EXPECT_EQ(group.ItemIndex(), c.expected);
    EXPECT_EQ(clicks, c.clicks);
    if (clicks > 0) {
        EXPECT_EQ(sender, &group);
    }
    for (int i = 0; i < group.Count(); ++i) {
        EXPECT_EQ(group.Button(i)->isChecked(), i == c.expected) << "item " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rules, RadioGroupIndex,
    ::testing::Values(IndexCase{"NoneToItem", -1, 2, 2, 1}, IndexCase{"ItemToOther", 0, 1, 1, 1},
                      IndexCase{"SameIndex", 1, 1, 1, 0}, IndexCase{"ToNone", 1, -1, -1, 0},
                      IndexCase{"BelowMinusOne", 1, -7, -1, 0},
                      IndexCase{"PastEndClampsToLast", 0, 7, 3, 1},
                      IndexCase{"PastEndWhenLastAlready", 3, 9, 3, 0},
                      IndexCase{"NoneStaysNone", -1, -5, -1, 0}),
    [](const ::testing::TestParamInfo<IndexCase>& info) { return std::string(info.param.name); });

TEST(RadioGroup, UserClicksAndArrowKeysSelectAndClickOnce) {
    TRadioGroup group(QStringLiteral("g"),
                      {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")}, 1);
    int clicks = 0;
    group.OnClick = [&](QObject*) { ++clicks; };
    group.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&group));

    clickItem(&group, 1);
    EXPECT_EQ(group.ItemIndex(), 1);
    EXPECT_EQ(clicks, 1);
    clickItem(&group, 1); // already selected: stays so, no click
    EXPECT_EQ(clicks, 1);
    EXPECT_TRUE(group.Button(1)->isChecked());
    EXPECT_FALSE(group.Button(0)->isChecked());

    QTest::keyClick(group.Button(1), Qt::Key_Down);
    EXPECT_EQ(group.ItemIndex(), 2);
    EXPECT_FALSE(group.Button(1)->isChecked());
    QTest::keyClick(group.Button(2), Qt::Key_Down); // wraps to the first
    EXPECT_EQ(group.ItemIndex(), 0);
    QTest::keyClick(group.Button(0), Qt::Key_Up);
    EXPECT_EQ(group.ItemIndex(), 2);
    EXPECT_EQ(clicks, 4);
    EXPECT_TRUE(group.Button(2)->hasFocus() || !group.isActiveWindow());

    group.Button(1)->setEnabled(false);
    QTest::keyClick(group.Button(2), Qt::Key_Up); // skips the disabled item
    EXPECT_EQ(group.ItemIndex(), 0);
}

TEST(RadioGroup, IsOneTabStopAtTheSelectedItem) {
    TRadioGroup group(QStringLiteral("g"), {QStringLiteral("a"), QStringLiteral("b")}, 2);
    EXPECT_TRUE(group.Button(0)->focusPolicy() & Qt::TabFocus); // none selected: the first
    EXPECT_FALSE(group.Button(1)->focusPolicy() & Qt::TabFocus);
    group.SetItemIndex(1);
    EXPECT_FALSE(group.Button(0)->focusPolicy() & Qt::TabFocus);
    EXPECT_TRUE(group.Button(1)->focusPolicy() & Qt::TabFocus);
}

// --- texts at the window's edge ---------------------------------------------------------------

TEST(Win1252, MapsTheCoreCharactersBothWays) {
    const std::string bytes = "N 49\xB0 56\xB4 \xB1"
                              "2.5\x80\x9F";
    const QString text = tessaro::fromWin1252(bytes);
    EXPECT_EQ(text, QString::fromUtf8("N 49\u00B0 56\u00B4 \u00B12.5\u20AC\u0178"));
    EXPECT_EQ(tessaro::toWin1252(text), bytes);
    EXPECT_EQ(tessaro::toWin1252(QString::fromUtf8("a\u4E2Db\U0001F600c")), "a?b?c");
}

struct StopCase {
    const char* name;
    const char* text;
    const char* shown;
};

class FullStop : public ::testing::TestWithParam<StopCase> {};

TEST_P(FullStop, AddedWhenTheLastCharacterSortsAfterThePoint) {
    EXPECT_EQ(tessaro::withFullStop(QString::fromUtf8(GetParam().text)),
              QString::fromUtf8(GetParam().shown));
}

INSTANTIATE_TEST_SUITE_P(
    Rule, FullStop,
    ::testing::Values(StopCase{"Letter", "nicht holen", "nicht holen."},
                      StopCase{"ClosingParenthesis", "Maximum (9)", "Maximum (9)"},
                      StopCase{"Point", "done.", "done."}, StopCase{"Digit", "COM 1", "COM 1."},
                      StopCase{"Quote", "'12.5'", "'12.5'"}, StopCase{"Slash", "a/", "a/."},
                      StopCase{"Degree", "5\u00B0", "5\u00B0."}, StopCase{"Empty", "", ""}),
    [](const ::testing::TestParamInfo<StopCase>& info) { return std::string(info.param.name); });

// Every thrown text is Windows-1252: bytes that would also read as UTF-8 are
// not guessed at.
TEST(ExceptionText, Windows1252Only) {
    EXPECT_EQ(tessaro::exceptionText("f\xFCr"), QString::fromUtf8("f\u00FCr"));
    EXPECT_EQ(tessaro::exceptionText("f\xC3\xBCr"), QString::fromUtf8("f\u00C3\u00BCr"));
    EXPECT_EQ(tessaro::exceptionText(nullptr), QString());
}

class GeneralErrorHandler : public WindowFixture {};

TEST_F(GeneralErrorHandler, ShowsAnEscapedErrorAndCarriesOn) {
    QPushButton button(QStringLiteral("x"));
    int runs = 0;
    QObject::connect(&button, &QPushButton::clicked, [&] {
        ++runs;
        throw std::runtime_error("Konnte Daten f\xFCr 'Units' nicht holen");
    });
    button.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&button));
    QTest::mouseClick(&button, Qt::LeftButton);
    QTest::mouseClick(&button, Qt::LeftButton);
    EXPECT_EQ(runs, 2);
    ASSERT_EQ(m_errors.size(), 2);
    EXPECT_EQ(m_errors.at(0), QString::fromUtf8("Konnte Daten f\u00FCr 'Units' nicht holen."));
}

// --- the window -------------------------------------------------------------------------------

class Window : public WindowFixture {
protected:
    QMap<QString, QVariant> storedAfterSession(bool titleBar);
};

TEST_F(Window, EveryControlCarriesItsNameAndLayoutValues) {
    TForm1& f = start();
    const char* names[] = {
        "PageControl1", "Button1",    "sb",         "Label5",      "Label8",
        "Label6",       "Label7",     "rgFmLat",    "rgToLat",     "rgFmLon",
        "rgToLon",      "edFmLatDeg", "edFmLatMin", "edFmLatSec",  "edFmLonDeg",
        "edFmLonMin",   "edFmLonSec", "edToLatDeg", "edToLatMin",  "edToLatSec",
        "edtoLonDeg",   "edToLonMin", "edToLonSec", "fmLoc",       "toLOc",
        "Label9",       "Label10",    "Label3",     "lbDist",      "lbBear",
        "lbRevBear",    "lbGpsFm",    "lbGpsTo",    "BitBtn1",     "Label14",
        "Label13",      "Label15",    "edFmQth",    "edToQTH",     "CalcQTHtoGeo",
        "fmLat",        "fmLon",      "toLat",      "toLOn",       "fmLatDiff",
        "fmLonDiff",    "toLatDiff",  "toLOnDiff",  "Label16",     "Label17",
        "Label4",       "lbDist2",    "lbBear2",    "lbRevBear2",  "lbGpsFm2",
        "lbGpsTo2",     "rgUnits",    "rgDigits",   "GroupBox1",   "CheckBox1",
        "CheckBox2",    "rgComport",  "rgComspeed", "rgGpsTarget", "Label1",
        "lbNmea1",      "lbNmea2",    "lbNmea3",    "lbNmea4",     "Image1",
        "Versionlabel", "red1",       "carContent", "car",         "Label11",
        "Label12",      "lbCarGPS",   "edCurrHead", "pb1",         "btEnterCurrHead",
        "Label25",      "Label26",    "Label27",    "lbRelbear",   "lbRelDist"};
    for (const char* name : names) {
        EXPECT_NE(f.findChild<QWidget*>(QLatin1String(name)), nullptr) << name;
    }

    EXPECT_EQ(f.windowTitle(), QStringLiteral("Tessaro"));
    EXPECT_EQ(f.minimumSize(), f.maximumSize()); // not resizable
    EXPECT_FALSE(f.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(f.windowFlags() & Qt::WindowMinimizeButtonHint);
    const QStringList tabs = {QStringLiteral("&Lat/Long"),   QStringLiteral("&QTH Locator"),
                              QStringLiteral("&Setup"),      QStringLiteral("&GPS"),
                              QStringLiteral("&About/Help"), QStringLiteral("&Car")};
    ASSERT_EQ(f.PageControl1->count(), 6);
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(f.PageControl1->tabText(i), tabs.at(i));
    }

    EXPECT_EQ(f.rgFmLat->title(), QStringLiteral("&Lat"));
    EXPECT_EQ(f.rgFmLon->Button(1)->text(), QStringLiteral("&W"));
    for (QLineEdit* two : {f.edFmLatDeg, f.edFmLatMin, f.edFmLatSec, f.edFmLonMin, f.edFmLonSec,
                           f.edToLatDeg, f.edToLatMin, f.edToLatSec, f.edToLonMin, f.edToLonSec}) {
        EXPECT_EQ(two->maxLength(), 2) << qPrintable(two->objectName());
    }
    EXPECT_EQ(f.edFmLonDeg->maxLength(), 3);
    EXPECT_EQ(f.edtoLonDeg->maxLength(), 3);
    EXPECT_EQ(f.Label5->buddy(), f.edFmLatDeg);
    EXPECT_EQ(f.Label8->buddy(), f.edToLatDeg);
    EXPECT_EQ(f.Label13->buddy(), f.edFmQth);
    EXPECT_EQ(f.Label15->buddy(), f.edToQTH);
    EXPECT_EQ(f.Label11->buddy(), f.edCurrHead);
    for (QLabel* mark : {f.lbGpsFm, f.lbGpsTo, f.lbGpsFm2, f.lbGpsTo2, f.lbCarGPS}) {
        EXPECT_EQ(mark->text(), QStringLiteral("GPS"));
        EXPECT_TRUE(mark->font().bold());
        EXPECT_EQ(mark->palette().color(QPalette::WindowText), QColor(Qt::red));
        EXPECT_TRUE(mark->isHidden());
    }
    EXPECT_FALSE(f.CheckBox2->isChecked());
    EXPECT_TRUE(f.carContent->isHidden());
    EXPECT_TRUE(f.red1->isReadOnly());
    EXPECT_TRUE(QFontInfo(f.red1->font()).fixedPitch());
    EXPECT_EQ(f.red1->font().pixelSize(), 13);
    for (const QPushButton* calculate : {f.BitBtn1, f.CalcQTHtoGeo}) {
        EXPECT_FALSE(calculate->icon().isNull()) << qPrintable(calculate->objectName());
    }
    EXPECT_EQ(f.red1->toPlainText(), tessaro::fromWin1252(tessaro::helpText()));
    EXPECT_EQ(f.red1->document()->blockCount(), 70);
    EXPECT_EQ(f.red1->document()->findBlockByNumber(30).text(),
              QStringLiteral("- as starting point ")); // trailing blank kept
}

TEST_F(Window, EveryInputHasAnAccessibleName) {
    TForm1& f = start();
    int checked = 0;
    for (QWidget* w : f.findChildren<QWidget*>()) {
        const bool input = qobject_cast<QLineEdit*>(w) || qobject_cast<QAbstractButton*>(w) ||
                           qobject_cast<TRadioGroup*>(w) || qobject_cast<QPlainTextEdit*>(w);
        if (!input || (w->isHidden() && qobject_cast<QRadioButton*>(w))) {
            continue; // the hidden "no selection" member of a radio group
        }
        if (qobject_cast<QAbstractButton*>(w) && !w->accessibleName().isEmpty()) {
            ++checked;
            continue;
        }
        EXPECT_FALSE(w->accessibleName().isEmpty()) << qPrintable(w->objectName());
        ++checked;
    }
    EXPECT_GT(checked, 50);
    EXPECT_EQ(f.edToQTH->accessibleName(), QStringLiteral("To locator"));
    EXPECT_EQ(f.rgFmLat->Button(1)->accessibleName(), QStringLiteral("South"));
}

TEST_F(Window, FirstStartSelectsGpsOffAndStoresIt) {
    TForm1& f = start();
    EXPECT_TRUE(f.firstActivationDone);
    EXPECT_TRUE(m_errors.isEmpty());
    EXPECT_EQ(f.rgGpsTarget->ItemIndex(), 2);
    EXPECT_EQ(f.gpsTarget, 2);
    EXPECT_EQ(f.sb->SimpleText(), QStringLiteral(" "));
    EXPECT_EQ(f.lbNmea1->text(), QStringLiteral("Off"));
    EXPECT_TRUE(f.lbNmea4->text().isEmpty());
    EXPECT_TRUE(f.edFmLatDeg->isEnabled());
    EXPECT_TRUE(f.BitBtn1->isEnabled());
    // Everything else keeps its layout value: the Car page is shown.
    EXPECT_EQ(f.PageControl1->currentIndex(), 5);
    EXPECT_EQ(f.edFmLatDeg->text(), QStringLiteral("49"));
    EXPECT_EQ(f.edFmQth->text(), QStringLiteral("JN49kw"));
    EXPECT_EQ(f.gps->intake().countdown(), 5);
    EXPECT_TRUE(f.CheckBox1->isChecked());
    EXPECT_TRUE(f.centerLocator); // what the check box shows is what is computed

    std::uint16_t major = 0, minor = 0, release = 0, build = 0;
    f.GetVersionNumbers(major, minor, release, build);
    EXPECT_EQ(
        f.Versionlabel->text(),
        QStringLiteral("Tessaro V%1.%2.%3 Build %4").arg(major).arg(minor).arg(release).arg(build));
    EXPECT_EQ(f.red1->textCursor().position(), 0);
    EXPECT_FALSE(f.red1->textCursor().hasSelection());

    QTest::keyClick(&f, Qt::Key_Escape);
    EXPECT_FALSE(f.isVisible());
    finish();
    const auto store = readStore();
    EXPECT_EQ(store.size(), 20);
    EXPECT_EQ(store.value(QStringLiteral("showcar")).toInt(), 0);
    EXPECT_EQ(store.value(QStringLiteral("LocatorUdp")).toInt(), 0);
    EXPECT_EQ(store.value(QStringLiteral("LocatorUdpServer")).toString(),
              QStringLiteral("127.0.0.1:2237"));
    EXPECT_EQ(store.value(QStringLiteral("target")).toInt(), 2);
    EXPECT_EQ(store.value(QStringLiteral("distmethod")).toInt(), 0); // plane
    EXPECT_EQ(store.value(QStringLiteral("actpage")).toInt(), 5);
    EXPECT_EQ(store.value(QStringLiteral("center")).toInt(), 1);
    EXPECT_EQ(store.value(QStringLiteral("FmLatitudeDeg")).toString(), QStringLiteral("49"));
    EXPECT_EQ(store.value(QStringLiteral("qthloc")).toString(), QStringLiteral("JN49kw"));
}

TEST_F(Window, StoredValuesReachTheControlsInOrder) {
    writeStoreText(firstTenValues() +
                   "numdigits=1\ncomport=2\ncomspeed=4\nactpage=3\ncenter=0\ntarget=1\n");
    TForm1& f = start();
    EXPECT_TRUE(m_errors.isEmpty()) << qPrintable(m_errors.join('|'));
    EXPECT_EQ(f.edFmLatDeg->text(), QStringLiteral("51"));
    EXPECT_EQ(f.edFmLonSec->text(), QStringLiteral("20"));
    EXPECT_EQ(f.rgFmLon->ItemIndex(), 1);
    EXPECT_EQ(f.rgUnits->ItemIndex(), 2);
    EXPECT_EQ(f.edFmQth->text(), QStringLiteral("IO91wm"));
    EXPECT_EQ(f.rgDigits->ItemIndex(), 1);
    EXPECT_TRUE(f.eightDigits);
    EXPECT_EQ(f.rgComport->ItemIndex(), 2);
    EXPECT_EQ(f.rgComspeed->ItemIndex(), 4);
    EXPECT_EQ(f.comSpeedIndex, 4);
    EXPECT_EQ(f.PageControl1->currentIndex(), 3);
    EXPECT_FALSE(f.CheckBox1->isChecked());
    EXPECT_FALSE(f.centerLocator);
    // GPS feeds the destination: its inputs are locked and marked.
    EXPECT_EQ(f.rgGpsTarget->ItemIndex(), 1);
    EXPECT_FALSE(f.edToQTH->isEnabled());
    EXPECT_TRUE(f.edFmQth->isEnabled());
    EXPECT_FALSE(f.lbGpsTo->isHidden());
}

TEST_F(Window, OnlyTheFirstTenValuesGiveTheDefaultsSilently) {
    writeStoreText(firstTenValues());
    TForm1& f = start();
    EXPECT_TRUE(m_errors.isEmpty()) << qPrintable(m_errors.join('|'));
    EXPECT_EQ(f.PageControl1->currentIndex(), 1);
    EXPECT_EQ(f.activePage, 1);
    EXPECT_EQ(f.rgGpsTarget->ItemIndex(), 2);
    EXPECT_TRUE(f.CheckBox1->isChecked());
    EXPECT_TRUE(f.centerLocator);
    EXPECT_EQ(f.rgComport->ItemIndex(), 0);
    EXPECT_EQ(f.rgComspeed->ItemIndex(), 0);
    EXPECT_EQ(f.rgDigits->ItemIndex(), 0);
    EXPECT_FALSE(f.eightDigits);
    EXPECT_FALSE(f.CheckBox2->isChecked());
    EXPECT_FALSE(f.cbLocatorUdp->isChecked());
    EXPECT_EQ(f.edLocatorUdpServer->text(), QStringLiteral("127.0.0.1:2237"));
    EXPECT_EQ(f.lbLocatorUdp->text(), QString());
}

// The WSJT-X row by keys: a stored server text that is no address is told,
// Alt+U and a typed address listen there, Alt+W stops it; both are stored.
TEST_F(Window, TheWsjtxRowIsWorkedByKeysAndKept) {
    writeStoreText(firstTenValues() + "LocatorUdp=1\nLocatorUdpServer=127.0.0.1:22x7\n");
    TForm1& f = start();
    EXPECT_TRUE(m_errors.isEmpty()) << qPrintable(m_errors.join('|'));
    EXPECT_TRUE(f.cbLocatorUdp->isChecked());
    EXPECT_EQ(f.lbLocatorUdp->text(),
              QStringLiteral("\"127.0.0.1:22x7\" is no address and port such as 127.0.0.1:2237 "
                             "or 224.0.0.1:2237"));

    press(Qt::Key_S, Qt::AltModifier);
    EXPECT_EQ(QApplication::focusWidget(), f.rgUnits->tabStop()); // the first choice, not the field
    press(Qt::Key_U, Qt::AltModifier);
    ASSERT_EQ(QApplication::focusWidget(), f.edLocatorUdpServer);
    QUdpSocket probe; // a free port, given back
    ASSERT_TRUE(probe.bind(QHostAddress::LocalHost, 0));
    const QString server = QStringLiteral("127.0.0.1:%1").arg(probe.localPort());
    probe.close();
    typeKeys(server + QStringLiteral("\n"));
    EXPECT_EQ(f.lbLocatorUdp->text(),
              QStringLiteral("Listening on %1: no WSJT-X or JTDX heard yet").arg(server));
    press(Qt::Key_W, Qt::AltModifier);
    EXPECT_FALSE(f.cbLocatorUdp->isChecked());
    EXPECT_EQ(QApplication::focusWidget(), f.cbLocatorUdp);
    EXPECT_EQ(f.lbLocatorUdp->text(), QString());

    press(Qt::Key_Escape);
    finish();
    const auto store = readStore();
    EXPECT_EQ(store.value(QStringLiteral("LocatorUdp")).toInt(), 0);
    EXPECT_EQ(store.value(QStringLiteral("LocatorUdpServer")).toString(), server);
}

#ifdef Q_OS_LINUX
// Without its module the link says so where its status goes, and the window
// carries on; turned off, the message goes.
TEST_F(Window, AMissingWsjtxModuleIsTold) {
    QTemporaryDir empty;
    const QString folder = LocatorLink::setModuleFolder(empty.path());
    writeStoreText(firstTenValues());
    TForm1& f = start();
    press(Qt::Key_S, Qt::AltModifier);
    press(Qt::Key_W, Qt::AltModifier);
    LocatorLink::setModuleFolder(folder);
    EXPECT_TRUE(f.lbLocatorUdp->text().startsWith(
        QStringLiteral("tessaro-wsjtx.so is not installed (looked in %1, ").arg(empty.path())))
        << qPrintable(f.lbLocatorUdp->text());
    press(Qt::Key_W, Qt::AltModifier);
    EXPECT_EQ(f.lbLocatorUdp->text(), QString());
}
#endif

// Whoever ends on the Car page with its content shown comes back to it.
TEST_F(Window, ShowCarPageIsKept) {
    writeStoreText(firstTenValues());
    TForm1& f = start();
    press(Qt::Key_S, Qt::AltModifier);
    QTest::mouseClick(f.CheckBox2, Qt::LeftButton, {}, QPoint(6, f.CheckBox2->height() / 2));
    for (int page = 2; page < 5; ++page) {
        press(Qt::Key_PageDown, Qt::ControlModifier);
    }
    press(Qt::Key_Escape);
    finish();
    m_form.reset();
    TForm1& next = start();
    EXPECT_EQ(next.PageControl1->currentIndex(), 5);
    EXPECT_TRUE(next.CheckBox2->isChecked());
    EXPECT_FALSE(next.carContent->isHidden());
    EXPECT_TRUE(m_errors.isEmpty()) << qPrintable(m_errors.join('|'));
}

// A store in which every value differs from its first-start default.
QByteArray fullStore() {
    return firstTenValues() + "numdigits=1\ncomport=2\ncomspeed=4\nactpage=3\ncenter=0\ntarget=0\n";
}

struct DamageCase {
    const char* name;
    // Up to two stored lines replaced by damaged ones, and the name of each
    // value with the first-start value it then takes.
    struct Damage {
        const char* stored;
        const char* damaged;
        const char* value;
        const char* fallback;
    } damage[2];
};

class DamagedStore : public WindowFixture, public ::testing::WithParamInterface<DamageCase> {};

// Each damaged value takes its first-start value, all others survive the
// session, and one message names the file and each value replaced. The next
// start finds a sound store.
TEST_P(DamagedStore, KeepsEveryGoodValue) {
    QByteArray text = fullStore();
    QMap<QString, QVariant> expected;
    for (const QByteArray& line : text.split('\n')) {
        const qsizetype equals = line.indexOf('=');
        if (equals > 0) {
            expected.insert(QString::fromLatin1(line.left(equals)),
                            QString::fromLatin1(line.mid(equals + 1)));
        }
    }
    for (const auto& damage : GetParam().damage) {
        if (damage.stored != nullptr) {
            text.replace(damage.stored, damage.damaged);
            expected.insert(QLatin1String(damage.value), QLatin1String(damage.fallback));
        }
    }
    writeStoreText(text);
    TForm1& f = start();
    ASSERT_EQ(m_errors.size(), 1);
#ifdef _WIN32
    const QString store = QStringLiteral("HKEY_CURRENT_USER\\Software\\Veltmark-soft\\tessaro\\v1");
#else
    const QString store = storePath();
#endif
    EXPECT_TRUE(m_errors.at(0).contains(store)) << qPrintable(m_errors.at(0));
    for (const auto& damage : GetParam().damage) {
        if (damage.stored != nullptr) {
            EXPECT_TRUE(m_errors.at(0).contains(QLatin1String(damage.value)))
                << qPrintable(m_errors.at(0));
        }
    }
    // GPS use is off only where its own value was damaged.
    EXPECT_EQ(f.rgGpsTarget->ItemIndex(), expected.value(QStringLiteral("target")).toInt());
    EXPECT_EQ(f.rgUnits->ItemIndex(), expected.value(QStringLiteral("Units")).toInt());
    EXPECT_EQ(f.edFmQth->text(), expected.value(QStringLiteral("qthloc")).toString());
    EXPECT_EQ(f.PageControl1->currentIndex(), expected.value(QStringLiteral("actpage")).toInt());
    press(Qt::Key_Escape);
    finish();
    const auto stored = readStore();
    for (auto value = expected.cbegin(); value != expected.cend(); ++value) {
        EXPECT_EQ(stored.value(value.key()).toString(), value.value().toString())
            << qPrintable(value.key());
    }

    m_form.reset();
    TForm1& next = start();
    EXPECT_EQ(m_errors.size(), 1);
    EXPECT_EQ(next.rgGpsTarget->ItemIndex(), expected.value(QStringLiteral("target")).toInt());
    EXPECT_EQ(next.edFmLatDeg->text(), expected.value(QStringLiteral("FmLatitudeDeg")).toString());
}

INSTANTIATE_TEST_SUITE_P(
    Values, DamagedStore,
    ::testing::Values(
        DamageCase{"MissingUnits", {{"Units=2\n", "", "Units", "0"}}},
        DamageCase{"UnitsNotANumber", {{"Units=2", "Units=abc", "Units", "0"}}},
        DamageCase{"UnitsEmpty", {{"Units=2", "Units=", "Units", "0"}}},
        DamageCase{"UnitsPastTheLastItem", {{"Units=2", "Units=3", "Units", "0"}}},
        DamageCase{"HemisphereNotANumber",
                   {{"FmLatitude_NS=0", "FmLatitude_NS=abc", "FmLatitude_NS", "0"},
                    {"FMLongitude_EW=1", "FMLongitude_EW=-1", "FMLongitude_EW", "0"}}},
        DamageCase{"LocatorAList", {{"qthloc=IO91wm", "qthloc=1, 2", "qthloc", "JN49kw"}}},
        DamageCase{"DegreesLongerThanTheField",
                   {{"FmLatitudeDeg=51", "FmLatitudeDeg=512", "FmLatitudeDeg", "49"}}},
        DamageCase{
            "PageOutOfRange",
            {{"actpage=3", "actpage=9", "actpage", "1"}, {"Units=2", "Units=abc", "Units", "0"}}},
        DamageCase{"PortAndSpeedOutOfRange",
                   {{"comport=2", "comport=9", "comport", "0"},
                    {"comspeed=4", "comspeed=-3", "comspeed", "0"}}},
        DamageCase{"CenterNotANumber", {{"center=0", "center=no", "center", "1"}}},
        DamageCase{"TargetOutOfRange", {{"target=0", "target=7", "target", "2"}}}),
    [](const ::testing::TestParamInfo<DamageCase>& info) { return std::string(info.param.name); });

// Ended before its first activation (a signal at start-up), the window shows
// its layout values, not the user's: it stores nothing.
TEST_F(Window, EndedBeforeReadingItStoresNothing) {
    writeStoreText(fullStore());
    {
        TForm1 form;
        form.FormClose(&form);
        form.FormDestroy(&form);
    }
    EXPECT_EQ(readStore().value(QStringLiteral("FmLatitudeDeg")).toString(), QStringLiteral("51"));
    EXPECT_EQ(readStore().value(QStringLiteral("target")).toString(), QStringLiteral("0"));
}

// Two copies at once: each stores only what changed in its window, so the
// one that ends last does not write its stale values over the other's.
TEST_F(Window, TwoCopiesKeepEachOthersChanges) {
    writeStoreText(QByteArray(fullStore()).replace("target=0", "target=2"));
    TForm1& first = start();
    TForm1 second;
    second.show();
    ASSERT_TRUE(QTest::qWaitFor([&second] { return second.firstActivationDone; }, 5000));
    second.PageControl1->setCurrentIndex(2);
    clickItem(second.rgUnits, 1);
    second.close();
    second.FormDestroy(&second);

    first.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&first));
    first.PageControl1->setCurrentIndex(1);
    first.edFmQth->selectAll();
    QTest::keyClicks(first.edFmQth, QStringLiteral("JO62qm"));
    EXPECT_EQ(first.edFmQth->text(), QStringLiteral("JO62qm"));
    QTest::keyClick(first.edFmQth, Qt::Key_Escape);
    EXPECT_FALSE(first.isVisible());
    finish();
    const auto store = readStore();
    EXPECT_EQ(store.value(QStringLiteral("Units")).toString(), QStringLiteral("1"));
    EXPECT_EQ(store.value(QStringLiteral("qthloc")).toString(), QStringLiteral("JO62qm"));
    EXPECT_EQ(store.value(QStringLiteral("FmLatitudeDeg")).toString(), QStringLiteral("51"));
}

TEST_F(Window, CenterFiveIsTrueAndWrittenBackAsOne) {
    writeStoreText(firstTenValues() + "center=5\n");
    TForm1& f = start();
    EXPECT_TRUE(f.CheckBox1->isChecked());
    f.close();
    finish();
    EXPECT_EQ(readStore().value(QStringLiteral("center")).toString(), QStringLiteral("1"));
}

TEST_F(Window, ASecondActivationChangesNothing) {
    writeStoreText(firstTenValues());
    TForm1& f = start();
    clickItem(f.rgUnits, 0);
    f.edFmLatDeg->setText(QStringLiteral("12"));
    f.lbDist->setText(QStringLiteral("1.000 km"));
    writeStoreText(firstTenValues() + "actpage=4\n");

    QWidget other;
    other.show();
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    f.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&f));

    EXPECT_EQ(f.rgUnits->ItemIndex(), 0);
    EXPECT_EQ(f.edFmLatDeg->text(), QStringLiteral("12"));
    EXPECT_EQ(f.lbDist->text(), QStringLiteral("1.000 km"));
    EXPECT_EQ(f.PageControl1->currentIndex(), 1);
    EXPECT_TRUE(m_errors.isEmpty());
}

TEST_F(Window, StartUpWorkRunsEvenWhenTheDesktopDoesNotActivate) {
    writeStoreText(firstTenValues());
    TForm1 form;
    QShowEvent shown; // the show alone, no activation
    QApplication::sendEvent(&form, &shown);
    EXPECT_FALSE(form.firstActivationDone);
    EXPECT_TRUE(QTest::qWaitFor([&form] { return form.firstActivationDone; }, 5000));
    EXPECT_EQ(form.edFmQth->text(), QStringLiteral("IO91wm"));
}

// The same user changes, then Exit (Esc) or the title bar's close: what is stored.
QMap<QString, QVariant> Window::storedAfterSession(bool titleBar) {
    writeStoreText(firstTenValues());
    TForm1& f = start();
    press(Qt::Key_S, Qt::AltModifier); // from the QTH Locator page: the Setup tab
    clickItem(f.rgDigits, 1);
    clickItem(f.rgUnits, 1);
    QTest::mouseClick(f.CheckBox1, Qt::LeftButton, {}, QPoint(6, f.CheckBox1->height() / 2));
    press(Qt::Key_L, Qt::AltModifier);
    press(Qt::Key_F, Qt::AltModifier);            // "&From": the latitude degrees
    typeKeys(QStringLiteral("\t\t123"));          // the seconds field takes two
    press(Qt::Key_PageDown, Qt::ControlModifier); // Alt+S is South here: two pages on
    press(Qt::Key_PageDown, Qt::ControlModifier);
    if (titleBar) {
        QCloseEvent close;
        QApplication::sendEvent(f.windowHandle(), &close);
    } else {
        QTest::keyClick(f.edFmLatSec, Qt::Key_Escape);
    }
    EXPECT_FALSE(f.isVisible());
    finish();
    m_form.reset();
    return readStore();
}

TEST_F(Window, TitleBarCloseStoresWhatExitStores) {
    const auto viaExit = storedAfterSession(false);
    const auto viaTitleBar = storedAfterSession(true);
    EXPECT_EQ(viaExit, viaTitleBar);
    EXPECT_EQ(viaExit.size(), 20);
    EXPECT_EQ(viaExit.value(QStringLiteral("numdigits")).toInt(), 1);
    EXPECT_EQ(viaExit.value(QStringLiteral("Units")).toInt(), 1);
    EXPECT_EQ(viaExit.value(QStringLiteral("center")).toInt(), 0);
    EXPECT_EQ(viaExit.value(QStringLiteral("FmLatitudeSec")).toString(), QStringLiteral("12"));
    EXPECT_EQ(viaExit.value(QStringLiteral("actpage")).toInt(), 2);
    EXPECT_EQ(viaExit.value(QStringLiteral("target")).toInt(), 2);
}

TEST_F(Window, PageChangesFromCodeDoNotCountAsTheUsers) {
    writeStoreText(firstTenValues() + "actpage=0\n");
    TForm1& f = start();
    EXPECT_EQ(f.activePage, 0);
    QTest::keyClick(&f, Qt::Key_Q, Qt::AltModifier); // the user: "&QTH Locator"
    EXPECT_EQ(f.PageControl1->currentIndex(), 1);
    EXPECT_EQ(f.activePage, 1);
}

struct TargetCase {
    const char* name;
    int target;
    bool startEnabled;
    bool destinationEnabled;
    bool startMarks;
    bool destinationMarks;
    bool headingEnabled;
    bool calculateEnabled;
};

class GpsUse : public WindowFixture, public ::testing::WithParamInterface<TargetCase> {};

TEST_P(GpsUse, LocksTheFedPointAndShowsItsMarks) {
    const TargetCase& c = GetParam();
    TForm1& f = start();
    f.rgGpsTarget->SetItemIndex(c.target == 2 ? 0 : 2); // come from another use
    f.sb->SetSimpleText(QStringLiteral("old"));
    QTest::keyClick(&f, Qt::Key_G, Qt::AltModifier);
    clickItem(f.rgGpsTarget, c.target);
    EXPECT_EQ(f.gpsTarget, c.target);
    for (QWidget* w : std::initializer_list<QWidget*>{f.rgFmLat, f.edFmLatDeg, f.edFmLatMin,
                                                      f.edFmLatSec, f.rgFmLon, f.edFmLonDeg,
                                                      f.edFmLonMin, f.edFmLonSec, f.edFmQth}) {
        EXPECT_EQ(w->isEnabled(), c.startEnabled) << qPrintable(w->objectName());
    }
    for (QWidget* w : std::initializer_list<QWidget*>{f.rgToLat, f.edToLatDeg, f.edToLatMin,
                                                      f.edToLatSec, f.rgToLon, f.edtoLonDeg,
                                                      f.edToLonMin, f.edToLonSec, f.edToQTH}) {
        EXPECT_EQ(w->isEnabled(), c.destinationEnabled) << qPrintable(w->objectName());
    }
    EXPECT_EQ(!f.lbGpsFm->isHidden(), c.startMarks);
    EXPECT_EQ(!f.lbGpsFm2->isHidden(), c.startMarks);
    EXPECT_EQ(!f.lbCarGPS->isHidden(), c.startMarks);
    EXPECT_EQ(!f.lbGpsTo->isHidden(), c.destinationMarks);
    EXPECT_EQ(!f.lbGpsTo2->isHidden(), c.destinationMarks);
    EXPECT_EQ(f.edCurrHead->isEnabled(), c.headingEnabled);
    EXPECT_EQ(f.btEnterCurrHead->isEnabled(), c.headingEnabled);
    EXPECT_EQ(f.BitBtn1->isEnabled(), c.calculateEnabled);
    EXPECT_EQ(f.CalcQTHtoGeo->isEnabled(), c.calculateEnabled);
    if (c.target == 2) {
        EXPECT_EQ(f.sb->SimpleText(), QStringLiteral(" "));
        EXPECT_EQ(f.lbNmea1->text(), QStringLiteral("Off"));
        EXPECT_TRUE(f.lbNmea2->text().isEmpty());
        EXPECT_TRUE(f.lbNmea3->text().isEmpty());
    } else {
        EXPECT_EQ(f.sb->SimpleText(), QStringLiteral("old"));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, GpsUse,
    ::testing::Values(TargetCase{"AsStart", 0, false, true, true, false, false, false},
                      TargetCase{"AsDestination", 1, true, false, false, true, true, false},
                      TargetCase{"Off", 2, true, true, false, false, true, true}),
    [](const ::testing::TestParamInfo<TargetCase>& info) { return std::string(info.param.name); });

TEST_F(Window, PortAndSpeedClicksStoreTheirIndex) {
    TForm1& f = start();
    QTest::keyClick(&f, Qt::Key_G, Qt::AltModifier);
    clickItem(f.rgComport, 3);
    clickItem(f.rgComspeed, 5);
    EXPECT_EQ(f.comPortIndex, 3);
    EXPECT_EQ(f.comSpeedIndex, 5);
    QTest::keyClick(&f, Qt::Key_S, Qt::AltModifier);
    clickItem(f.rgDigits, 1);
    EXPECT_TRUE(f.eightDigits);
    f.CheckBox1->setChecked(false); // from code, as the start-up does
    EXPECT_FALSE(f.centerLocator);
}

// --- keys -------------------------------------------------------------------------------------

TEST_F(Window, EnterRunsTheShownPagesDefaultButtonOnlyWhenEnabled) {
    TForm1& f = start();
    QSignalSpy latLong(f.BitBtn1, &QPushButton::clicked);
    QSignalSpy locator(f.CalcQTHtoGeo, &QPushButton::clicked);
    QSignalSpy heading(f.btEnterCurrHead, &QPushButton::clicked);

    f.PageControl1->setCurrentIndex(0);
    f.edToLatMin->setFocus();
    QTest::keyClick(f.edToLatMin, Qt::Key_Return);
    QTest::keyClick(f.rgToLat->Button(0), Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(latLong.count(), 2);

    f.PageControl1->setCurrentIndex(1);
    f.edToQTH->setFocus();
    QTest::keyClick(f.edToQTH, Qt::Key_Return);
    EXPECT_EQ(locator.count(), 1);

    f.rgGpsTarget->SetItemIndex(0); // GPS feeds the start: Calculate rests
    QTest::keyClick(f.edToQTH, Qt::Key_Return);
    EXPECT_EQ(locator.count(), 1);
    f.rgGpsTarget->SetItemIndex(2);

    f.PageControl1->setCurrentIndex(5);
    f.carContent->show();
    f.edCurrHead->setFocus();
    QTest::keyClick(f.edCurrHead, Qt::Key_Return);
    EXPECT_EQ(heading.count(), 1);

    f.PageControl1->setCurrentIndex(4);
    f.red1->setFocus();
    const QString help = f.red1->toPlainText();
    QTest::keyClick(f.red1, Qt::Key_Return);
    EXPECT_EQ(f.red1->toPlainText(), help);
    EXPECT_EQ(latLong.count() + locator.count() + heading.count(), 4);
    EXPECT_TRUE(f.isVisible());
}

TEST_F(Window, EscapeAnywhereRunsExit) {
    TForm1& f = start();
    f.PageControl1->setCurrentIndex(3);
    f.rgComspeed->Button(0)->setFocus();
    QTest::keyClick(f.rgComspeed->Button(0), Qt::Key_Escape);
    EXPECT_FALSE(f.isVisible());
    EXPECT_TRUE(QApplication::topLevelWidgets().contains(&f));
    EXPECT_EQ(f.activePage, 3); // FormClose ran
}

// Alt+S is South and Alt+C Calculate on Lat/Long; a tab answers only to a
// letter that no control of the shown page carries, and always to Ctrl+Tab.
TEST_F(Window, MnemonicsOfTheShownPageWinOverTheTabs) {
    writeStoreText(firstTenValues() + "actpage=0\n");
    TForm1& f = start();
    QSignalSpy latLong(f.BitBtn1, &QPushButton::clicked);
    QSignalSpy locator(f.CalcQTHtoGeo, &QPushButton::clicked);
    const auto alt = [this](Qt::Key key) { press(key, Qt::AltModifier); };

    // Two "&S": each press the next after the focus (To's latitude degrees) in tab order.
    alt(Qt::Key_S);
    EXPECT_EQ(QApplication::focusWidget(), f.rgFmLat->Button(1));
    alt(Qt::Key_S);
    EXPECT_EQ(QApplication::focusWidget(), f.rgToLat->Button(1));
    EXPECT_EQ(f.rgToLat->ItemIndex(), 0); // the focus alone chooses nothing
    press(Qt::Key_Space);
    EXPECT_EQ(f.rgToLat->ItemIndex(), 1);
    alt(Qt::Key_C);
    EXPECT_EQ(latLong.count(), 1);
    alt(Qt::Key_L); // the page's "&Lat" groups, not its own tab
    EXPECT_EQ(QApplication::focusWidget(), f.rgFmLat->Button(0));
    EXPECT_EQ(f.PageControl1->currentIndex(), 0);

    alt(Qt::Key_Q);
    EXPECT_EQ(f.PageControl1->currentIndex(), 1);
    alt(Qt::Key_C);
    EXPECT_EQ(locator.count(), 1);
    EXPECT_EQ(f.PageControl1->currentIndex(), 1);
    alt(Qt::Key_S); // no control here uses S
    EXPECT_EQ(f.PageControl1->currentIndex(), 2);
    press(Qt::Key_PageDown, Qt::ControlModifier);
    EXPECT_EQ(f.PageControl1->currentIndex(), 3);
    press(Qt::Key_PageUp, Qt::ControlModifier);
    EXPECT_EQ(f.PageControl1->currentIndex(), 2);
    alt(Qt::Key_C);
    EXPECT_EQ(f.PageControl1->currentIndex(), 5);
    alt(Qt::Key_L);
    EXPECT_EQ(f.PageControl1->currentIndex(), 0);
    EXPECT_EQ(latLong.count() + locator.count(), 2);
}

// Wherever the window opens, and after Alt+L or Alt+Q, Enter calculates and
// Tab never reaches Exit: a typed destination is never lost by a quit.
struct OpeningCase {
    const char* name;
    const char* stored; // nullptr: a first start
    const char* keys;   // from the opening focus
    const char* result; // the label that shows a result afterwards, if any
};

class Opening : public WindowFixture, public ::testing::WithParamInterface<OpeningCase> {};

TEST_P(Opening, EnterCalculatesAndTabNeverReachesExit) {
    const OpeningCase& c = GetParam();
    if (c.stored != nullptr) {
        writeStoreText(firstTenValues() + c.stored);
    }
    TForm1& f = start();
    typeKeys(QString::fromLatin1(c.keys));
    EXPECT_TRUE(f.isVisible());
    EXPECT_EQ(f.sb->SimpleText().trimmed(), QString());
    if (c.result != nullptr) {
        EXPECT_FALSE(f.findChild<QLabel*>(QLatin1String(c.result))->text().isEmpty());
    }
    for (int i = 0; i < 20; ++i) {
        press(Qt::Key_Tab);
        EXPECT_NE(QApplication::focusWidget(), f.Button1);
    }
    press(Qt::Key_Return);
    EXPECT_TRUE(f.isVisible());
}

INSTANTIATE_TEST_SUITE_P(
    Starts, Opening,
    ::testing::Values(OpeningCase{"FirstStartOnTheCarPage", nullptr, "\n", nullptr},
                      OpeningCase{"StoredLatLong", "actpage=0\n", "52\n", "lbDist"},
                      OpeningCase{"StoredQthLocator", "actpage=1\n", "\tJO62qm\n", "lbDist2"},
                      OpeningCase{"StoredCar", "actpage=5\n", "\n", nullptr}),
    [](const ::testing::TestParamInfo<OpeningCase>& info) { return std::string(info.param.name); });

TEST_F(Window, LatLongTabOrderRunsDestinationFirst) {
    writeStoreText(firstTenValues() + "actpage=0\n");
    TForm1& f = start();
    EXPECT_EQ(QApplication::focusWidget(), f.edToLatDeg); // the window opens here
    press(Qt::Key_Backtab);                               // back to its N/S item
    QStringList visited;
    for (int i = 0; i < 18; ++i) {
        QWidget* focus = QApplication::focusWidget();
        ASSERT_NE(focus, nullptr);
        QWidget* named = focus;
        if (qobject_cast<QRadioButton*>(focus)) {
            named = focus->parentWidget(); // the radio group
        }
        visited << named->objectName();
        QTest::keyClick(focus, Qt::Key_Tab);
    }
    const QStringList expected = {
        QStringLiteral("rgToLat"),    QStringLiteral("edToLatDeg"), QStringLiteral("edToLatMin"),
        QStringLiteral("edToLatSec"), QStringLiteral("rgToLon"),    QStringLiteral("edtoLonDeg"),
        QStringLiteral("edToLonMin"), QStringLiteral("edToLonSec"), QStringLiteral("BitBtn1"),
        QStringLiteral("rgFmLat"),    QStringLiteral("edFmLatDeg"), QStringLiteral("edFmLatMin"),
        QStringLiteral("edFmLatSec"), QStringLiteral("rgFmLon"),    QStringLiteral("edFmLonDeg"),
        QStringLiteral("edFmLonMin"), QStringLiteral("edFmLonSec"), QStringLiteral("rgToLat")};
    EXPECT_EQ(visited, expected);
}

// After Alt+Q and Alt+L the focus is on the page's first field; the results
// then read with their captions, as a screen reader speaks them.
TEST_F(Window, FromTheFirstStartByKeysToSpokenResults) {
    TForm1& f = start();
    press(Qt::Key_Q, Qt::AltModifier);
    EXPECT_EQ(QApplication::focusWidget(), f.edFmQth);
    press(Qt::Key_L, Qt::AltModifier);
    EXPECT_EQ(QApplication::focusWidget(), f.edToLatDeg);
    // Due north of the start by 3 degrees: 3 x 111.3 km.
    typeKeys(QStringLiteral("52\t56\t30\t\t8\t50\t48\n"));
    const auto spoken = [](QWidget* w) {
        return QAccessible::queryAccessibleInterface(w)->text(QAccessible::Name);
    };
    const QString deg = tessaro::fromWin1252("\xB0");
    EXPECT_EQ(spoken(f.lbDist), QStringLiteral("Distance 333.9 km"));
    EXPECT_EQ(spoken(f.lbBear), QStringLiteral("Bearing 0.0") + deg);
    EXPECT_EQ(spoken(f.lbRevBear), QStringLiteral("Reverse bearing 180.0") + deg);
    EXPECT_EQ(spoken(f.fmLoc), QStringLiteral("From locator jn49kw"));
    EXPECT_EQ(spoken(f.lbRelbear), QStringLiteral("Relative bearing from car 0.0") + deg);
    EXPECT_EQ(spoken(f.lbRelDist), QStringLiteral("Distance 333.9 km"));
    EXPECT_EQ(spoken(f.lbDist2), QStringLiteral("Distance")); // nothing calculated there yet
    EXPECT_TRUE(f.isVisible());
}

// --- the rendered pages -----------------------------------------------------------------------

// Nothing on any page is cut off: every shown control gets at least the room
// it asks for, inside the window. With TESSARO_RENDER_DIR set, the pages are
// also written out as PNG files for a look.
TEST_F(Window, NoControlIsClipped) {
    TForm1& f = start();
    f.CheckBox2->setChecked(true);
    f.carContent->show();
    for (QLabel* mark : {f.lbGpsFm, f.lbGpsTo, f.lbGpsFm2, f.lbGpsTo2, f.lbCarGPS}) {
        mark->show();
    }
    f.lbDist->setText(QStringLiteral("12345.7 km"));
    f.lbRelbear->setText(tessaro::fromWin1252("-359.9\xB0"));
    f.fmLat->setText(tessaro::fromWin1252("N 89\xB0 59\xB4 59\""));
    f.toLOn->setText(tessaro::fromWin1252("W 179\xB0 59\xB4 59\""));
    f.fmLatDiff->setText(tessaro::fromWin1252("\xB1"
                                              "1.25\xB4"));
    const QRect window = f.rect();
    const QByteArray renderDir = qgetenv("TESSARO_RENDER_DIR");
    for (int page = 0; page < f.PageControl1->count(); ++page) {
        f.PageControl1->setCurrentIndex(page);
        QApplication::processEvents();
        for (QWidget* w : f.PageControl1->currentWidget()->findChildren<QWidget*>()) {
            if (!w->isVisible()) {
                continue;
            }
            const QRect inWindow(w->mapTo(&f, QPoint(0, 0)), w->size());
            EXPECT_TRUE(window.contains(inWindow))
                << "page " << page << ": " << qPrintable(w->objectName());
            if (qobject_cast<QLabel*>(w) || qobject_cast<QAbstractButton*>(w) ||
                qobject_cast<QGroupBox*>(w)) {
                const QSize need = w->minimumSizeHint().expandedTo(
                    qobject_cast<QLabel*>(w) ? w->sizeHint() : QSize());
                EXPECT_GE(w->width(), need.width())
                    << "page " << page << ": " << qPrintable(w->objectName());
                EXPECT_GE(w->height(), need.height())
                    << "page " << page << ": " << qPrintable(w->objectName());
            }
        }
        if (!renderDir.isEmpty()) {
            f.grab().save(QStringLiteral("%1/tessaro-page-%2.png")
                              .arg(QString::fromLocal8Bit(renderDir))
                              .arg(page));
        }
    }
}

// The fixed size is taken while the window is built: it must be the size the
// settled layout asks for, not one from sizes the layout had not yet seen.
TEST_F(Window, OpensAtTheSizeItsLayoutNeeds) {
    TForm1& f = start();
    for (QWidget* w : f.findChildren<QWidget*>()) {
        w->updateGeometry(); // every layout computes afresh
    }
    f.layout()->activate();
    EXPECT_EQ(f.size(), f.sizeHint());
}

// --- focus and selection ------------------------------------------------------------------

struct ShownPageCase {
    const char* name;
    const char* stored;
    Qt::Key key; // Qt::Key_unknown: the window's opening
    Qt::KeyboardModifiers modifiers;
    const char* field; // has the focus, its whole text selected
};

class ShownPage : public WindowFixture, public ::testing::WithParamInterface<ShownPageCase> {};

// Typing on a page just shown replaces its first field's text; where GPS
// feeds a point, the other point's.
TEST_P(ShownPage, FirstFieldTakesTheFocusWholeSelected) {
    const ShownPageCase& c = GetParam();
    writeStoreText(firstTenValues() + c.stored);
    start();
    if (c.key != Qt::Key_unknown) {
        press(c.key, c.modifiers);
    }
    auto* field = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    ASSERT_NE(field, nullptr);
    EXPECT_EQ(field->objectName(), QLatin1String(c.field));
    typeKeys(QStringLiteral("7"));
    EXPECT_EQ(field->text(), QStringLiteral("7"));
}

INSTANTIATE_TEST_SUITE_P(
    Keys, ShownPage,
    ::testing::Values(ShownPageCase{"CtrlTab", "actpage=0\n", Qt::Key_Tab, Qt::ControlModifier,
                                    "edFmQth"},
                      ShownPageCase{"CtrlPageDown", "actpage=0\n", Qt::Key_PageDown,
                                    Qt::ControlModifier, "edFmQth"},
                      ShownPageCase{"CtrlPageUp", "actpage=1\n", Qt::Key_PageUp,
                                    Qt::ControlModifier, "edToLatDeg"},
                      ShownPageCase{"CtrlShiftTab", "actpage=1\n", Qt::Key_Backtab,
                                    Qt::ControlModifier | Qt::ShiftModifier, "edToLatDeg"},
                      ShownPageCase{"GpsFeedsTheStart", "actpage=0\ntarget=0\n", Qt::Key_PageDown,
                                    Qt::ControlModifier, "edToQTH"},
                      ShownPageCase{"OpeningWhileGpsFeedsTheDestination", "actpage=0\ntarget=1\n",
                                    Qt::Key_unknown, Qt::NoModifier, "edFmLatDeg"}),
    [](const ::testing::TestParamInfo<ShownPageCase>& info) {
        return std::string(info.param.name);
    });

// After a calculation the next locator is typed over the whole last one,
// whatever its length; blanks around a locator are not part of it.
TEST_F(Window, NextLocatorReplacesTheWholeLastOne) {
    writeStoreText(firstTenValues() + "actpage=1\n");
    TForm1& f = start();
    typeKeys(QStringLiteral("\tJN58TD14\n"));
    EXPECT_EQ(f.sb->SimpleText().trimmed(), QString());
    typeKeys(QStringLiteral(" JO62qm \n"));
    EXPECT_EQ(f.edToQTH->text(), QStringLiteral("JO62qm"));
    EXPECT_EQ(f.sb->SimpleText().trimmed(), QString());
    EXPECT_EQ(f.edToQTH->selectedText(), QStringLiteral("JO62qm"));
}

// A fix rewrites the start point and leaves the destination being typed alone.
TEST_F(Window, AFixLeavesTheUsersCaretAlone) {
    writeStoreText(firstTenValues() + "actpage=1\ntarget=0\n");
    TForm1& f = start();
    ASSERT_EQ(QApplication::focusWidget(), f.edToQTH);
    typeKeys(QStringLiteral("JO62qm"));
    f.gps->take(tessaro::test::withChecksum("$GPGLL,5007.00,N,00841.00,E,093015,A") + "\r");
    EXPECT_EQ(f.edFmQth->text().left(4).toUpper(), QStringLiteral("JO40"));
    EXPECT_EQ(QApplication::focusWidget(), f.edToQTH);
    EXPECT_FALSE(f.edToQTH->hasSelectedText());
    typeKeys(QStringLiteral("14"));
    EXPECT_EQ(f.edToQTH->text(), QStringLiteral("JO62qm14"));
}

// The arrows pass over "as dest." without applying it; Space chooses.
TEST_F(Window, GpsChoiceArrowsMoveAndSpaceChooses) {
    writeStoreText(firstTenValues() + "actpage=3\ntarget=2\n");
    TForm1& f = start();
    f.rgGpsTarget->Button(2)->setFocus(Qt::TabFocusReason);
    press(Qt::Key_Up);
    EXPECT_EQ(QApplication::focusWidget(), f.rgGpsTarget->Button(1));
    EXPECT_EQ(f.gpsTarget, 2);
    EXPECT_TRUE(f.edToQTH->isEnabled());
    press(Qt::Key_Up);
    EXPECT_EQ(QApplication::focusWidget(), f.rgGpsTarget->Button(0));
    press(Qt::Key_Space);
    EXPECT_EQ(f.gpsTarget, 0);
    EXPECT_TRUE(f.rgGpsTarget->Button(0)->isChecked());
    EXPECT_FALSE(f.rgGpsTarget->Button(2)->isChecked());
    EXPECT_FALSE(f.edFmQth->isEnabled());
}

} // namespace
