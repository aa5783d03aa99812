// NMEA intake of TForm1: each framed sentence from Serial1 goes to the
// window's GpsIntake, and what it returns is written into the controls.
#include "Form1.h"

#include "LocatorUdp.h"
#include "Widgets.h"
#include "Win1252.h"

#include "Serial4.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QTimer>
#include <algorithm>
#include <array>

namespace {

// setText obeys the typing limit, and a cut number would silently move the position.
void writeNumber(QLineEdit* field, const std::string& text) {
    Q_ASSERT(static_cast<int>(text.size()) <= field->maxLength());
    field->setText(QString::fromLatin1(text.c_str()));
}

// Seconds on a steady clock, for the intake's look at the line.
double steadySeconds() {
    static QElapsedTimer clock;
    if (!clock.isValid()) {
        clock.start();
    }
    return static_cast<double>(clock.nsecsElapsed()) / 1e9;
}

} // namespace

void TForm1::watchGpsLine(bool on) {
    if (gpsLineTimer == nullptr) {
        gpsLineTimer = new QTimer(this);
        gpsLineTimer->setInterval(1000);
        connect(gpsLineTimer, &QTimer::timeout, this, [this] { gpsLineTick(); });
    }
    if (!on) {
        gpsLineTimer->stop();
        return;
    }
    gpsIntake.restart(steadySeconds(), Serial1 != nullptr ? Serial1->bytesReceived() : 0);
    const std::array<QLabel*, 4> lines{lbNmea1, lbNmea2, lbNmea3, lbNmea4};
    for (std::size_t i = 0; i < lines.size(); ++i) {
        lines[i]->setText(tessaro::fromWin1252(gpsIntake.monitor()[i]));
    }
    gpsLineTimer->start();
}

void TForm1::gpsLineTick() {
    if (Serial1 == nullptr || !Serial1->Active()) {
        return;
    }
    const auto state =
        gpsIntake.lineState(Serial1->bytesReceived(), steadySeconds(), Serial1->devicePath());
    // A port that failed says so itself, with the reason in the tooltip; and
    // a text already shown is not announced again.
    if (state.status.empty() || sb->SimpleText() == QLatin1String("Serial I/O Error...")) {
        return;
    }
    const QString text = tessaro::fromWin1252(state.status);
    if (sb->SimpleText() != text) {
        sb->SetSimpleText(text);
    }
    if (state.monitor) {
        const std::array<QLabel*, 4> lines{lbNmea1, lbNmea2, lbNmea3, lbNmea4};
        for (std::size_t i = 0; i < lines.size(); ++i) {
            lines[i]->setText(tessaro::fromWin1252((*state.monitor)[i]));
        }
    }
}

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

    bool refused = false;
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
        if (start) {
            locatorUdp->setOwnLocator(fields->locator); // its square, 6 characters
        }
        BitBtn1Click(nullptr);
        // A Lat/Long page that refused the user's other point says why, and
        // keeps saying it at every fix until the input is mended. (An empty
        // destination locator of the QTH page is no such case: many use the
        // Lat/Long page alone.)
        const QString refusal = sb->SimpleText();
        refused = !refusal.isEmpty();
        CalcQTHtoGeoClick(nullptr);
        if (refused) {
            sb->SetSimpleText(refusal);
        }
    }
    if (!result.status.empty() && !refused) {
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
