// The window's values in the settings store: which control or state each
// stored name feeds, and its first-start value. Reading and writing them is
// app/Settings.cpp's.
#include "Form1.h"

#include "Settings.h"
#include "Widgets.h"

#include <QCheckBox>
#include <QLineEdit>
#include <limits>
#include <vector>

namespace {

namespace key = tessaro::settings;
using tessaro::StoredValue;

constexpr std::int32_t kAnyInteger[] = {std::numeric_limits<std::int32_t>::min(),
                                        std::numeric_limits<std::int32_t>::max()};

// A text's first-start value is the layout's, read before anything is put into the field.
StoredValue text(const char* name, const QLineEdit* field, QString& value,
                 bool missingIsSilent = false) {
    return {name,
            field->maxLength(),
            0,
            0,
            missingIsSilent,
            field->text(),
            [&value] { return QVariant(value); },
            [&value](const QVariant& read) { value = read.toString(); }};
}

StoredValue index(const char* name, const TRadioGroup* group, std::int32_t& value,
                  bool missingIsSilent, std::int32_t firstStart) {
    return {name,
            -1,
            0,
            group->Count() - 1,
            missingIsSilent,
            firstStart,
            [&value] { return QVariant(value); },
            [&value](const QVariant& read) { value = read.toInt(); }};
}

// Any integer reads as a Boolean; the raw number stays the comparison's base,
// so that a 5 is written back as 1.
StoredValue flag(const char* name, bool& value, std::int32_t firstStart) {
    return {name,
            -1,
            kAnyInteger[0],
            kAnyInteger[1],
            true,
            firstStart,
            [&value] { return QVariant(value ? 1 : 0); },
            [&value](const QVariant& read) { value = read.toInt() != 0; }};
}

// In the order earlier versions read and wrote them. The first-start values
// are the controls' layout values, and for the later ones what earlier
// versions took when they were missing.
std::vector<StoredValue> storedValues(TForm1& f) {
    return {
        text(key::kFmLatDeg, f.edFmLatDeg, f.fmLatDegText),
        text(key::kFmLatMin, f.edFmLatMin, f.fmLatMinText),
        text(key::kFmLatSec, f.edFmLatSec, f.fmLatSecText),
        text(key::kFmLonDeg, f.edFmLonDeg, f.fmLonDegText),
        text(key::kFmLonMin, f.edFmLonMin, f.fmLonMinText),
        text(key::kFmLonSec, f.edFmLonSec, f.fmLonSecText),
        index(key::kFmLatHemisphere, f.rgFmLat, f.fmLatHemisphere, false, f.rgFmLat->ItemIndex()),
        index(key::kFmLonHemisphere, f.rgFmLon, f.fmLonHemisphere, false, f.rgFmLon->ItemIndex()),
        index(key::kUnits, f.rgUnits, f.unitsIndex, false, f.rgUnits->ItemIndex()),
        text(key::kQthLocator, f.edFmQth, f.qthLocText),
        index(key::kNumDigits, f.rgDigits, f.numDigitsIndex, true, 0),
        index(key::kComPort, f.rgComport, f.comPortIndex, true, 0),
        index(key::kComSpeed, f.rgComspeed, f.comSpeedIndex, true, 0),
        {key::kActivePage, -1, 0, f.PageControl1->count() - 1, true, 1,
         [&f] { return QVariant(f.activePage); },
         [&f](const QVariant& read) { f.activePage = read.toInt(); }},
        flag(key::kCenter, f.centerLocator, 1),
        index(key::kGpsTarget, f.rgGpsTarget, f.gpsTarget, true, 2),
        flag(key::kShowCarPage, f.showCarPage, 0),
        // Absent in stores of earlier versions: the plane, as they computed.
        index(key::kDistanceMethod, f.rgMethod, f.distanceMethod, true, 0),
        flag(key::kLocatorUdp, f.locatorUdpOn, 0),
        text(key::kLocatorUdpServer, f.edLocatorUdpServer, f.locatorUdpServer, true),
    };
}

} // namespace

bool TForm1::LoadSettings() {
    settingsRead = true;
    if (!tessaro::loadValues(storedValues(*this), storedSettings, settingsReport)) {
        useFirstStartDefaults();
        return false;
    }
    eightDigits = numDigitsIndex != 0;
    return true;
}

// A first start: GPS use Off, so that the stored use is never one the user
// did not pick; and centring as the check box shows it, which is what is stored.
void TForm1::useFirstStartDefaults() {
    gpsTarget = 2;
    rgGpsTarget->SetItemIndex(2);
    centerLocator = CheckBox1->isChecked();
}

void TForm1::SaveSettings() {
    if (!settingsRead) {
        // Ended before the first activation: the window shows layout values, not the user's.
        return;
    }
    tessaro::saveChangedValues(storedValues(*this), storedSettings);
}
