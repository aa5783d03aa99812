// NMEA intake of TForm1: every framed sentence from Serial1 is queued and
// worked off at once. Position sentences scroll the monitor; valid fixes
// rewrite the point that GPS feeds, recompute both pages and, for the start
// point, derive the vehicle heading from an older kept fix.
#include "Form1.h"

#include "Gll.h"
#include "PageCalc.h"
#include "QTH.h"
#include "Widgets.h"
#include "Win1252.h"

#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QProgressBar>
#include <algorithm>

namespace tessaro {
namespace {

// One line of the monitor: the text up to its first NUL, without the line
// end, control characters shown as "?" so a label stays one line.
QString monitorText(const ReceivedSentence& held) {
    std::string text = held.bytes.substr(0, held.bytes.find('\0'));
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n')) {
        text.pop_back();
    }
    for (char& c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            c = '?';
        }
    }
    return fromWin1252(text);
}

// The reading lets only numbers through that fit the fields: setText obeys
// the typing limit, and a cut number would silently move the position.
void writeNumber(QLineEdit* field, std::int32_t value) {
    const QString text = QString::number(value);
    Q_ASSERT(text.size() <= field->maxLength());
    field->setText(text);
}

char systemDecimalSeparator() {
    const QString point = QLocale().decimalPoint();
    const char c = point.isEmpty() ? '.' : point.at(0).toLatin1();
    return c == '\0' ? '.' : c;
}

double decimalDegrees(std::int32_t deg, std::int32_t min, std::int32_t sec, bool positive) {
    const double value = deg + min / 60.0 + sec / 3600.0;
    return positive ? value : -value;
}

} // namespace
} // namespace tessaro

void TForm1::Serial1Message(TSerial*, std::string RxMessage) {
    auto node = std::make_unique<SentenceNode>();
    node->sentence = tessaro::receiveSentence(RxMessage);

    if (!sentenceQueue) {
        sentenceQueue = std::move(node);
    } else {
        SentenceNode* last = sentenceQueue.get();
        while (last->next) {
            last = last->next.get();
        }
        last->next = std::move(node);
    }
    ProcessSentences();
}

void TForm1::ProcessSentences() {
    while (sentenceQueue) {
        // Off the queue first: whatever the handling does, the node is released.
        std::unique_ptr<SentenceNode> node = std::move(sentenceQueue);
        sentenceQueue = std::move(node->next);

        const tessaro::ReceivedSentence& held = node->sentence;
        if (!tessaro::isPositionSentence(held)) {
            continue;
        }

        lbNmea1->setText(lbNmea2->text());
        lbNmea2->setText(lbNmea3->text());
        lbNmea3->setText(lbNmea4->text());
        lbNmea4->setText(tessaro::monitorText(held));
        // A sentence arrived, so an earlier line error no longer applies.
        sb->SetDetail(QString());

        const tessaro::GllFix fix = tessaro::readGll(held, eightDigits);
        const QString time = QString::fromLatin1(fix.timeText.c_str());
        if (!fix.valid) {
            sb->SetSimpleText(QStringLiteral("GPS data from ") + time +
                              QStringLiteral(" is INVALID!"));
            continue;
        }
        if (gpsTarget != 0 && gpsTarget != 1) {
            continue;
        }

        const bool start = gpsTarget == 0;
        tessaro::writeNumber(start ? edFmLatDeg : edToLatDeg, fix.latDeg);
        tessaro::writeNumber(start ? edFmLatMin : edToLatMin, fix.latMin);
        tessaro::writeNumber(start ? edFmLatSec : edToLatSec, fix.latSec);
        (start ? rgFmLat : rgToLat)->SetItemIndex(fix.north ? 0 : 1);
        tessaro::writeNumber(start ? edFmLonDeg : edtoLonDeg, fix.lonDeg);
        tessaro::writeNumber(start ? edFmLonMin : edToLonMin, fix.lonMin);
        tessaro::writeNumber(start ? edFmLonSec : edToLonSec, fix.lonSec);
        (start ? rgFmLon : rgToLon)->SetItemIndex(fix.east ? 0 : 1);
        (start ? edFmQth : edToQTH)->setText(tessaro::fromWin1252(fix.locator));
        BitBtn1Click(nullptr);
        CalcQTHtoGeoClick(nullptr);
        sb->SetSimpleText(QStringLiteral("New GPS data received at ") + time);
        if (!start) {
            continue;
        }

        // The heading runs after the calculations, so the Car page above
        // still used the heading of the previous fix.
        const double lat = tessaro::decimalDegrees(fix.latDeg, fix.latMin, fix.latSec, fix.north);
        const double lon = tessaro::decimalDegrees(fix.lonDeg, fix.lonMin, fix.lonSec, fix.east);
        if (lastFixValid) {
            currentHeading = LatLonBearing(lastFixLon, lastFixLat, lon, lat);
            edCurrHead->setText(tessaro::fromWin1252(
                tessaro::degreesText(currentHeading, tessaro::systemDecimalSeparator())));
        }
        --fixCountdown;
        // The bar's range starts at 1: a countdown of 0 shows as empty, as 1 does.
        // QProgressBar repaints the window at once on a visible change; an
        // ordinary update is painted with everything else this fix changed.
        pb1->setUpdatesEnabled(false);
        pb1->setValue(std::max(fixCountdown, pb1->minimum()));
        pb1->setUpdatesEnabled(true);
        if (fixCountdown == 0) {
            lastFixLat = lat;
            lastFixLon = lon;
            lastFixValid = true;
            fixCountdown = 5;
        }
    }
}
