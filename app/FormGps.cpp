// The GPS page's handlers: the choice of port, speed and use of the GPS data,
// how the pages change while GPS feeds a point, and what the GPS source
// reports written into the controls.
#include "Form1.h"

#include "Application.h"
#include "GpsSource.h"
#include "LocatorLink.h"
#include "Serial4.h"
#include "Widgets.h"
#include "Win1252.h"

#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QRadioButton>
#include <algorithm>
#include <initializer_list>

namespace {

// setText obeys the typing limit, and a cut number would silently move the position.
void writeNumber(QLineEdit* field, const std::string& text) {
    Q_ASSERT(static_cast<int>(text.size()) <= field->maxLength());
    field->setText(QString::fromLatin1(text.c_str()));
}

const QLatin1String kSerialError("Serial I/O Error...");

} // namespace

void TForm1::createGpsSource() {
    gps = new tessaro::GpsSource(this, [this] {
        return tessaro::GpsUse{gpsTarget, eightDigits, tessaro::decimalSeparator()};
    });
    connect(gps, &tessaro::GpsSource::fixTaken, this, &TForm1::showGpsFix);
    connect(gps, &tessaro::GpsSource::lineState, this, &TForm1::showGpsLineState);
    connect(gps, &tessaro::GpsSource::monitorChanged, this, &TForm1::showGpsMonitor);
    connect(gps, &tessaro::GpsSource::portFailed, this, [this](const QString& reason) {
        sb->SetSimpleText(kSerialError);
        // The reason as the status line's tooltip; the status text itself stays short.
        if (!reason.isEmpty()) {
            sb->SetDetail(reason);
        }
    });
    connect(gps, &tessaro::GpsSource::portRecovered, this, [this] {
        // The failure is over: its report goes, a newer message stays.
        if (sb->SimpleText() == kSerialError) {
            sb->SetSimpleText(QStringLiteral(" "));
        }
        sb->SetDetail(QString());
    });
    connect(gps, &tessaro::GpsSource::portRoute, this, [this](int port, const QString& device) {
        if (QRadioButton* item = rgComport->Button(port - 1)) {
            item->setToolTip(device);
        }
    });
    for (int i = 0; i < rgComport->Count(); ++i) {
        rgComport->Button(i)->setToolTip(QString::fromStdString(gps->devicePath(i + 1)));
    }
}

void TForm1::closeGpsPort() {
    if (gps != nullptr) {
        gps->close();
    }
}

void TForm1::rgGpsTargetClick(QObject*) {
    gpsTarget = rgGpsTarget->ItemIndex();
    const bool feedsStart = gpsTarget == 0;
    const bool feedsDestination = gpsTarget == 1;
    const bool off = !feedsStart && !feedsDestination;

    for (QWidget* input :
         std::initializer_list<QWidget*>{rgFmLat, edFmLatDeg, edFmLatMin, edFmLatSec, rgFmLon,
                                         edFmLonDeg, edFmLonMin, edFmLonSec, edFmQth}) {
        input->setEnabled(!feedsStart);
    }
    for (QWidget* input :
         std::initializer_list<QWidget*>{rgToLat, edToLatDeg, edToLatMin, edToLatSec, rgToLon,
                                         edtoLonDeg, edToLonMin, edToLonSec, edToQTH}) {
        input->setEnabled(!feedsDestination);
    }
    lbGpsFm->setVisible(feedsStart);
    lbGpsFm2->setVisible(feedsStart);
    lbGpsTo->setVisible(feedsDestination);
    lbGpsTo2->setVisible(feedsDestination);
    lbCarGPS->setVisible(feedsStart);
    // The heading comes from the fixes while GPS feeds the start point.
    edCurrHead->setEnabled(!feedsStart);
    btEnterCurrHead->setEnabled(!feedsStart);
    // Each fix recalculates, so the Calculate buttons rest while GPS feeds a point.
    BitBtn1->setEnabled(off);
    CalcQTHtoGeo->setEnabled(off);
    if (off) {
        sb->SetSimpleText(QStringLiteral(" "));
        gps->monitorOff();
    }
    OpenGpsPort();
}

void TForm1::rgComportClick(QObject*) {
    comPortIndex = rgComport->ItemIndex();
    OpenGpsPort();
}

void TForm1::rgComspeedClick(QObject*) {
    comSpeedIndex = rgComspeed->ItemIndex();
    OpenGpsPort();
}

void TForm1::OpenGpsPort() {
    // Every change of port, speed or use closes the running connection first.
    closeGpsPort();
    if (gps == nullptr) {
        return;
    }
    // A new attempt: the reason of an earlier failure no longer applies.
    sb->SetDetail(QString());
    if (gpsTarget == 2 || gpsOpenDeferred) {
        return;
    }
    if (!gps->open(comPortIndex, comSpeedIndex)) {
        TApplication::presentError(tr("Error"),
                                   tr("COM%1: not valid or in use; no GPS data is read.\r"
                                      "Check the hardware, or choose another port.")
                                       .arg(comPortIndex + 1));
    }
}

void TForm1::showGpsMonitor(const std::array<std::string, 4>& lines) {
    const std::array<QLabel*, 4> labels{lbNmea1, lbNmea2, lbNmea3, lbNmea4};
    for (std::size_t i = 0; i < labels.size(); ++i) {
        labels[i]->setText(tessaro::fromWin1252(lines[i]));
    }
}

void TForm1::showGpsLineState(const tessaro::GpsIntake::LineState& state) {
    // A port that failed says so itself, with the reason in the tooltip; and
    // a text already shown is not announced again.
    if (sb->SimpleText() == kSerialError) {
        return;
    }
    const QString text = tessaro::fromWin1252(state.status);
    if (sb->SimpleText() != text) {
        sb->SetSimpleText(text);
    }
    if (state.monitor) {
        showGpsMonitor(*state.monitor);
    }
}

void TForm1::showGpsFix(const tessaro::GpsIntakeResult& result) {
    using tessaro::fromWin1252;
    showGpsMonitor(result.monitor);
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
