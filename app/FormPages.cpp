// The three calculation pages of TForm1: Lat/Long, QTH Locator and Car. Each
// handler reads its controls, asks PageCalc and the geodesy core, and writes
// the results back; the rules themselves live in PageCalc.
#include "Form1.h"

#include "GreatCircle.h"
#include "PageCalc.h"
#include "QTH.h"
#include "ShownError.h"
#include "Widgets.h"
#include "Win1252.h"

#include <QCheckBox>
#include <QColor>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPen>
#include <array>
#include <optional>
#include <stdexcept>

namespace tessaro {
namespace {

void showText(QLabel* label, const std::string& text) {
    label->setText(fromWin1252(text));
}

std::string upperCase(std::string text) {
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return text;
}

bool locatorLengthValid(const std::string& locator) {
    return locator.size() == 6 || locator.size() == 8;
}

// One point of the Lat/Long page: signed decimal degrees and hemisphere flags.
struct Point {
    double longitude;
    double latitude;
    bool east;
    bool north;
};

// Fields in the order deg, min, sec of latitude, then of longitude.
Point toPoint(const std::int32_t* lat, const std::int32_t* lon, int latIndex, int lonIndex) {
    Point p{};
    p.east = lonIndex != 1;
    p.north = latIndex != 1;
    p.longitude = DmsToDegrees(lon[0], lon[1], lon[2], p.east);
    p.latitude = DmsToDegrees(lat[0], lat[1], lat[2], p.north);
    return p;
}

// Cyan in exclusive-or: red on white, and the same line drawn again
// restores every pixel.
QPen carPointerPen() {
    QPen pen(QColor(0, 255, 255));
    pen.setWidth(8);
    pen.setCapStyle(Qt::RoundCap);
    return pen;
}

// Distance, bearing and reverse bearing as a page shows them, and the long
// path where the great circle is chosen (empty otherwise).
struct Figures {
    double distance;
    double bearing;
    double reverse;
    std::optional<GeodesicFigures> geodesic;
};

Figures figuresBetween(bool greatCircle, double lon1, double lat1, double lon2, double lat2,
                       double planeDistance, double planeBearing) {
    if (greatCircle) {
        if (const auto g = geodesicFigures(lon1, lat1, lon2, lat2)) {
            return {g->distanceKm, g->bearing, g->reverseBearing, g};
        }
    }
    return {planeDistance, planeBearing, reverseBearing(planeBearing), std::nullopt};
}

void showLongPath(QLabel* caption, QLabel* value, const Figures& figures, int unitsIndex,
                  char separator) {
    caption->setVisible(figures.geodesic.has_value());
    value->setVisible(figures.geodesic.has_value());
    if (!figures.geodesic) {
        value->clear();
        return;
    }
    showText(value, distanceText(figures.geodesic->longDistanceKm, unitsIndex, separator) + " at " +
                        degreesText(figures.geodesic->longBearing, separator));
}

} // namespace
} // namespace tessaro

bool TForm1::greatCircleShown() const {
    return distanceMethod == 1 && tessaro::greatCircleAvailable();
}

void TForm1::BitBtn1Click(QObject* /*Sender*/) {
    using namespace tessaro;
    const std::array<QLineEdit*, 12> edits{edFmLatDeg, edFmLatMin, edFmLatSec, edFmLonDeg,
                                           edFmLonMin, edFmLonSec, edToLatDeg, edToLatMin,
                                           edToLatSec, edtoLonDeg, edToLonMin, edToLonSec};
    std::array<std::string, 12> texts;
    LatLongFields f{};
    for (std::size_t i = 0; i < edits.size(); ++i) {
        texts[i] = toWin1252(edits[i]->text());
        f[i] = parseLenientInt(texts[i]);
    }

    latLongCalculated = true;
    sb->SetSimpleText(QString());
    // A text that is not a number comes first: its range says nothing.
    std::string error = latLongTextError(texts);
    if (error.empty()) {
        error = latLongRangeError(f);
    }
    if (!error.empty()) {
        sb->SetSimpleText(fromWin1252(error));
        clearLatLongResults();
        return;
    }

    const Point from = toPoint(&f[0], &f[3], rgFmLat->ItemIndex(), rgFmLon->ItemIndex());
    // The locator takes the unsigned field values; the hemisphere goes in the flags.
    showText(fmLoc, LatLonToLocator(f[3], f[4], f[5], f[0], f[1], f[2], from.east, from.north,
                                    eightDigits));
    const Point to = toPoint(&f[6], &f[9], rgToLat->ItemIndex(), rgToLon->ItemIndex());
    showText(toLOc,
             LatLonToLocator(f[9], f[10], f[11], f[6], f[7], f[8], to.east, to.north, eightDigits));

    const Figures figures =
        figuresBetween(greatCircleShown(), from.longitude, from.latitude, to.longitude, to.latitude,
                       LatLonDistance(from.longitude, from.latitude, to.longitude, to.latitude),
                       LatLonBearing(from.longitude, from.latitude, to.longitude, to.latitude));
    const char separator = decimalSeparator();
    const std::string shownDistance =
        distanceText(figures.distance, rgUnits->ItemIndex(), separator);
    showText(lbDist, shownDistance);
    showText(lbBear, degreesText(figures.bearing, separator));
    showText(lbRevBear, degreesText(figures.reverse, separator));
    showLongPath(lbLongCaption, lbLong, figures, rgUnits->ItemIndex(), separator);

    updateCarPage(figures.bearing, shownDistance);
}

void TForm1::CalcQTHtoGeoClick(QObject* /*Sender*/) {
    using namespace tessaro;
    const std::string fromText = toWin1252(edFmQth->text());
    const std::string toText = toWin1252(edToQTH->text());

    qthCalculated = true;
    sb->SetSimpleText(QString());
    if (!locatorLengthValid(fromText)) {
        sb->SetSimpleText(QStringLiteral("Error in \"from\" loc., 6 or 8 characters required"));
    }
    if (!locatorLengthValid(toText)) {
        sb->SetSimpleText(QStringLiteral("Error in \"to\" loc., 6 or 8 characters required"));
    }
    // Characters outside the locator alphabet would decode to positions beyond
    // +-180/+-90 degrees and give meaningless results without a word.
    if (locatorLengthValid(fromText) && !locatorCharactersValid(fromText)) {
        sb->SetSimpleText(QStringLiteral("Error in \"from\" loc., invalid character"));
    }
    if (locatorLengthValid(toText) && !locatorCharactersValid(toText)) {
        sb->SetSimpleText(QStringLiteral("Error in \"to\" loc., invalid character"));
    }
    if (!sb->SimpleText().isEmpty()) {
        clearQthResults();
        return;
    }

    const std::string from = upperCase(fromText);
    const std::string to = upperCase(toText);
    // From the positions shown beside the results: centres when centring is on.
    double fromLon = 0;
    double fromLat = 0;
    double toLon = 0;
    double toLatitude = 0;
    LocatorToLatLon(from, fromLon, fromLat, centerLocator);
    LocatorToLatLon(to, toLon, toLatitude, centerLocator);
    const Figures figures = figuresBetween(greatCircleShown(), fromLon, fromLat, toLon, toLatitude,
                                           LocatorDistance(from, to, centerLocator),
                                           LocatorBearing(from, to, centerLocator));
    const char separator = decimalSeparator();
    showText(lbDist2, distanceText(figures.distance, rgUnits->ItemIndex(), separator));
    showText(lbBear2, degreesText(figures.bearing, separator));
    showText(lbRevBear2, degreesText(figures.reverse, separator));
    showLongPath(lbLongCaption2, lbLong2, figures, rgUnits->ItemIndex(), separator);

    showText(fmLat, LatitudeToText(fromLat));
    showText(fmLon, LongitudeToText(fromLon));
    showText(toLat, LatitudeToText(toLatitude));
    showText(toLOn, LongitudeToText(toLon));

    const PrecisionTexts fromPrecision = precisionTexts(from.size(), centerLocator);
    showText(fmLatDiff, fromPrecision.latitude);
    showText(fmLonDiff, fromPrecision.longitude);
    const PrecisionTexts toPrecision = precisionTexts(to.size(), centerLocator);
    showText(toLatDiff, toPrecision.latitude);
    showText(toLOnDiff, toPrecision.longitude);
}

void TForm1::clearLatLongResults() {
    for (QLabel* result : {lbDist, lbBear, lbRevBear, lbLong, fmLoc, toLOc, lbRelbear, lbRelDist}) {
        result->clear();
    }
    // The pointer of the refused destination goes too: drawing it again erases it.
    QImage& picture = car->Picture();
    if (carPointerDrawn && !picture.isNull()) {
        QPainter painter(&picture);
        painter.setRenderHint(QPainter::Antialiasing, false);
        painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
        painter.setPen(tessaro::carPointerPen());
        painter.drawLine(75, 75, carPointerX, carPointerY);
        car->Changed();
    }
    carPointerDrawn = false;
    carHasBearing = false;
}

void TForm1::clearQthResults() {
    for (QLabel* result :
         {lbDist2, lbBear2, lbRevBear2, fmLatDiff, fmLonDiff, toLatDiff, toLOnDiff}) {
        result->clear();
    }
    for (QLabel* position : {fmLat, fmLon, toLat, toLOn}) {
        position->setText(QStringLiteral("-"));
    }
}

void TForm1::setupChanged() {
    // The Lat/Long page last: its status line message is the one that stays.
    if (qthCalculated) {
        CalcQTHtoGeoClick(nullptr);
    }
    if (latLongCalculated) {
        BitBtn1Click(nullptr);
    }
}

void TForm1::updateCarPage(double bearing, const std::string& distanceText) {
    using namespace tessaro;
    carHasBearing = true;
    carBearing = bearing;
    carDistanceText = distanceText;
    const double relative = relativeBearing(bearing, currentHeading);
    showText(lbRelbear, degreesText(relative, decimalSeparator()));
    showText(lbRelDist, distanceText);

    const PointerEnd end = pointerEnd(relative);
    QImage& picture = car->Picture();
    if (!picture.isNull()) {
        QPainter painter(&picture);
        painter.setRenderHint(QPainter::Antialiasing, false);
        // Exclusive-or: cyan on white shows red, and drawing the same line
        // again restores every pixel, which is how the old pointer is erased.
        // Each pointer is one drawLine, so no pixel is toggled twice by its
        // own overlapping pieces.
        painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
        painter.setPen(carPointerPen());
        if (carPointerDrawn) {
            painter.drawLine(75, 75, carPointerX, carPointerY);
        }
        painter.drawLine(75, 75, end.x, end.y);
    }
    carPointerX = end.x;
    carPointerY = end.y;
    carPointerDrawn = true;
    car->Changed();
}

void TForm1::btEnterCurrHeadClick(QObject* /*Sender*/) {
    const QString text = edCurrHead->text();
    const std::optional<double> heading =
        tessaro::parseHeading(tessaro::toWin1252(text), tessaro::decimalSeparator());
    if (!heading) {
        // Shown by the application's general error handler; when its box
        // closes, the focus comes back here with the text ready to be typed over.
        edCurrHead->setFocus(Qt::OtherFocusReason);
        edCurrHead->selectAll();
        throw tessaro::ShownError(
            tr("'%1' is not a number: the heading stays as it was").arg(text));
    }
    currentHeading = *heading;
    edCurrHead->setSelection(0, 10);
    if (carHasBearing) {
        updateCarPage(carBearing, carDistanceText);
    }
}

void TForm1::CheckBox2Click(QObject* /*Sender*/) {
    carContent->setVisible(CheckBox2->isChecked());
    lbCarHint->setVisible(!CheckBox2->isChecked());
}
