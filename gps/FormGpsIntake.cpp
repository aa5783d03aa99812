// NMEA intake of TForm1: each framed sentence from Serial1 goes to the
// window's GpsIntake, and what it returns is written into the controls.
#include "Form1.h"

#include "Widgets.h"
#include "Win1252.h"

#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <algorithm>

namespace {

// setText obeys the typing limit, and a cut number would silently move the position.
void writeNumber(QLineEdit* field, const std::string& text) {
    Q_ASSERT(static_cast<int>(text.size()) <= field->maxLength());
    field->setText(QString::fromLatin1(text.c_str()));
}

} // namespace

void TForm1::Serial1Message(TSerial*, std::string RxMessage) {
    using tessaro::fromWin1252;
    const tessaro::GpsIntakeResult result =
        gpsIntake.take(RxMessage, gpsTarget, eightDigits, tessaro::decimalSeparator());
    if (!result.position) {
        return;
    }
    lbNmea1->setText(fromWin1252(result.monitor[0]));
    lbNmea2->setText(fromWin1252(result.monitor[1]));
    lbNmea3->setText(fromWin1252(result.monitor[2]));
    lbNmea4->setText(fromWin1252(result.monitor[3]));
    sb->SetDetail(QString());

    if (const auto& fields = result.fields) {
        const bool start = fields->target == tessaro::kGpsStart;
        writeNumber(start ? edFmLatDeg : edToLatDeg, fields->latitude[0]);
        writeNumber(start ? edFmLatMin : edToLatMin, fields->latitude[1]);
        writeNumber(start ? edFmLatSec : edToLatSec, fields->latitude[2]);
        (start ? rgFmLat : rgToLat)->SetItemIndex(fields->latitudeIndex);
        writeNumber(start ? edFmLonDeg : edtoLonDeg, fields->longitude[0]);
        writeNumber(start ? edFmLonMin : edToLonMin, fields->longitude[1]);
        writeNumber(start ? edFmLonSec : edToLonSec, fields->longitude[2]);
        (start ? rgFmLon : rgToLon)->SetItemIndex(fields->longitudeIndex);
        (start ? edFmQth : edToQTH)->setText(fromWin1252(fields->locator));
        BitBtn1Click(nullptr);
        CalcQTHtoGeoClick(nullptr);
    }
    if (!result.status.empty()) {
        sb->SetSimpleText(fromWin1252(result.status));
    }
    // The heading comes after the calculations, so the Car page above still
    // used the heading of the previous fix.
    if (result.heading) {
        currentHeading = *result.heading;
        edCurrHead->setText(fromWin1252(result.headingText));
    }
    if (result.countdown) {
        // The bar's range starts at 1: a countdown of 0 shows as empty, as 1 does.
        // QProgressBar repaints the window at once on a visible change; an
        // ordinary update is painted with everything else this fix changed.
        pb1->setUpdatesEnabled(false);
        pb1->setValue(std::max(*result.countdown, pb1->minimum()));
        pb1->setUpdatesEnabled(true);
    }
}
