// GPS source control of TForm1: the choice of port, speed and use of the GPS
// data, and how the pages change while GPS feeds a point.
#include "Form1.h"

#include "Widgets.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <initializer_list>

void TForm1::createSerial() {
    // The serial component arrives with the serial work; until then there is no port.
    Serial1 = nullptr;
}

void TForm1::closeGpsPort() {
    // Nothing to close while Serial1 does not exist.
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
        lbNmea1->setText(QStringLiteral("Off"));
        lbNmea2->clear();
        lbNmea3->clear();
        lbNmea4->clear();
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
    // Opening the port comes with the serial component.
}
