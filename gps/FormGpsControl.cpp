// GPS source control of TForm1: the choice of port, speed and use of the GPS
// data, how the pages change while GPS feeds a point, and the opening of the
// port with the framing that makes one NMEA sentence one message.
#include "Application.h"
#include "Form1.h"
#include "PortMap.h"
#include "Serial4.h"
#include "Widgets.h"
#include "Win1252.h"

#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <array>
#include <exception>
#include <initializer_list>
#include <memory>
#include <utility>
#include <vector>

namespace tessaro {
namespace {

// "ComDevice1".."ComDevice4": device paths for the GPS ports, set by hand in
// the settings store and never written by the program. Anything but a text
// counts as not set, so a damaged entry cannot stop the start.
std::vector<std::string> configuredDevices() {
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope,
                       QStringLiteral("Veltmark-soft"), QStringLiteral("tessaro"));
    settings.beginGroup(QStringLiteral("v1"));
    std::vector<std::string> devices;
    for (int port = 1; port <= 4; ++port) {
        const QVariant value = settings.value(QStringLiteral("ComDevice%1").arg(port));
        const bool isText = value.typeId() == QMetaType::QString;
        devices.push_back(isText ? value.toString().trimmed().toStdString() : std::string());
    }
    return devices;
}

sPorts portFor(std::int32_t comPortIndex) {
    // An index outside the group (a stored -1, say) opens port 2.
    return comPortIndex >= 0 && comPortIndex <= 3 ? static_cast<sPorts>(comPortIndex + 1) : 2;
}

std::int32_t baudrateFor(std::int32_t comSpeedIndex) {
    static const std::int32_t speeds[] = {1200, 2400, 4800, 9600, 19200, 38400};
    return comSpeedIndex >= 0 && comSpeedIndex <= 5 ? speeds[comSpeedIndex] : 4800;
}

} // namespace
} // namespace tessaro

void TForm1::createSerial() {
    Serial1 = new TSerial(this);
    Serial1->setObjectName(QStringLiteral("Serial1"));
    Serial1->SetRxEventMode(rxMessage);
    Serial1->SetNotifyErrors(neEvent);
    // A receiver unplugged, not yet plugged in or held by another program
    // comes back by itself.
    Serial1->SetRetryOpen(true);
    // The window's children go before Serial1, whose destruction closes the
    // port and may still report: by then nothing is left to write to.
    const QPointer<QWidget> pages(PageControl1);
    const QPointer<QWidget> status(sb);
    Serial1->OnMessage = [this, pages, status](TSerial* sender, std::string message) {
        if (pages && status) {
            Serial1Message(sender, std::move(message));
        }
    };
    Serial1->OnError = [this, pages, status](TSerial* sender) {
        if (pages && status) {
            Serial1Error(sender);
        }
    };
    Serial1->OnRecover = [this, pages, status](TSerial* sender) {
        if (pages && status) {
            Serial1Recover(sender);
        }
    };

    const auto ports = std::make_shared<tessaro::PortMap>(tessaro::configuredDevices());
    Serial1->SetPortResolver([ports](int port) { return ports->devicePath(port); });
    for (int i = 0; i < rgComport->Count(); ++i) {
        rgComport->Button(i)->setToolTip(QString::fromStdString(ports->devicePath(i + 1)));
    }
}

void TForm1::closeGpsPort() {
    if (Serial1 != nullptr) {
        Serial1->SetActive(false);
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
        watchGpsLine(false);
        sb->SetSimpleText(QStringLiteral(" "));
        gpsIntake.monitorOff();
        const std::array<QLabel*, 4> lines{lbNmea1, lbNmea2, lbNmea3, lbNmea4};
        for (std::size_t i = 0; i < lines.size(); ++i) {
            lines[i]->setText(tessaro::fromWin1252(gpsIntake.monitor()[i]));
        }
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
    if (Serial1 == nullptr) {
        return;
    }
    // A new attempt: the reason of an earlier failure no longer applies.
    sb->SetDetail(QString());
    if (gpsTarget == 2 || gpsOpenDeferred) {
        return;
    }
    Serial1->SetPort(tessaro::portFor(comPortIndex));
    Serial1->SetBaudrate(tessaro::baudrateFor(comSpeedIndex));
    // 8 data bits; parity, stop bits and flow control keep the defaults (none, 1, none).
    Serial1->SetCheckParity(false);
    Serial1->SetDataBits(d8bit);
    // One sentence, "$" through its carriage return, is one message; the line
    // feed is dropped. Stored logs, some phone apps and network feeds end
    // lines in LF alone: that ends a sentence too.
    Serial1->SetMessageAppendCount(0);
    Serial1->SetMessageEndChar('\r');
    Serial1->SetMessageEndAtLineFeed(true);
    Serial1->SetMessageStartChar('$');
    try {
        Serial1->SetActive(true);
        watchGpsLine(true);
        showPortRoute();
    } catch (const std::exception&) {
        // Ordinary failures arrive through OnError; this is for anything the
        // component raises instead. The box says so and the port stays closed.
        TApplication::presentError(tr("Error"),
                                   tr("COM%1: not valid or in use; no GPS data is read.\r"
                                      "Check the hardware, or choose another port.")
                                       .arg(comPortIndex + 1));
        Serial1->SetActive(false);
    }
}

// The device may have changed since the last look (a receiver plugged in),
// and a device gpsd holds is read through gpsd.
void TForm1::showPortRoute() {
    if (QRadioButton* item = rgComport->Button(Serial1->Port() - 1)) {
        const std::string route = Serial1->route();
        item->setToolTip(QString::fromStdString(Serial1->devicePath() +
                                                (route.empty() ? "" : " (" + route + ")")));
    }
}

void TForm1::Serial1Recover(TSerial*) {
    // The failure is over: its report goes, a newer message stays.
    if (sb->SimpleText() == QLatin1String("Serial I/O Error...")) {
        sb->SetSimpleText(QStringLiteral(" "));
    }
    sb->SetDetail(QString());
    showPortRoute();
}

void TForm1::Serial1Error(TSerial*) {
    sb->SetSimpleText(QStringLiteral("Serial I/O Error..."));
    // The system's reason ("Permission denied", "Device or resource busy")
    // as the status line's tooltip; the status text itself stays short.
    const int code = Serial1 != nullptr ? Serial1->ErrorCode() : 0;
    if (code != 0) {
        sb->SetDetail(QString::fromLocal8Bit(TSerial::ErrorText(code).c_str()) +
                      QStringLiteral(" (") + QString::fromStdString(Serial1->ErrorSource()) +
                      QStringLiteral(")"));
    }
}
