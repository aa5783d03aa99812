// TForm1: the main window. A thin adapter: each handler reads its controls,
// calls a pure function (geodesy/, app/PageCalc, gps/GpsIntake) and writes controls.
//
// Map of the fixed names to their jobs:
//   Lat/Long page    edFm*/edTo* fields, rgFmLat/rgFmLon/rgToLat/rgToLon,
//                    BitBtn1 -> BitBtn1Click (distance, bearing, locators)
//   QTH Locator page edFmQth/edToQTH, CalcQTHtoGeo -> CalcQTHtoGeoClick
//   Setup page       rgUnits, rgDigits -> rgDigitsClick, CheckBox1 -> CheckBox1Click,
//                    CheckBox2 -> CheckBox2Click (Car page content on/off),
//                    cbLocatorUdp/edLocatorUdpServer -> locatorUdpChanged, lbLocatorUdp
//   GPS page         rgComport/rgComspeed/rgGpsTarget -> OpenGpsPort, lbNmea1..4 monitor,
//                    gps (GpsSource) -> showGpsFix / showGpsLineState (FormGps.cpp)
//   About/Help page  Image1, Versionlabel, red1 (help text)
//   Car page         car picture + pointer, edCurrHead/btEnterCurrHead, pb1, lbRelbear/lbRelDist
//   Window           Button1 "Exit" (Esc), sb status line, FormActivate/FormClose/FormDestroy,
//                    LoadSettings/SaveSettings (FormSettings.cpp)
#pragma once

#include "GpsIntake.h"
#include "ui_Form1.h"

#include <QMainWindow>
#include <QMap>
#include <QString>
#include <QVariant>
#include <array>
#include <cstdint>
#include <memory>
#include <string>

namespace tessaro {
class GpsSource;
}
class LocatorLink;

class TForm1 : public QMainWindow, public Ui::TForm1 {
    Q_OBJECT
public:
    explicit TForm1(QWidget* parent = nullptr);
    ~TForm1() override;

    // The controls come from Form1.ui (Ui::TForm1), public by their fixed
    // names so that tests and the GPS intake reach them.

    // The GPS receiver's source: its serial component and intake (created with the window).
    tessaro::GpsSource* gps = nullptr;

    // --- handlers ---
    void FormCreate(QObject* Sender);
    void FormActivate(QObject* Sender);
    void FormClose(QObject* Sender);
    void FormDestroy(QObject* Sender);
    void PageControl1Change(QObject* Sender);
    void rgDigitsClick(QObject* Sender);
    void CheckBox1Click(QObject* Sender);
    void Button1Click(QObject* Sender);
    bool LoadSettings();
    void SaveSettings();
    void GetVersionNumbers(std::uint16_t& major, std::uint16_t& minor, std::uint16_t& release,
                           std::uint16_t& build) const;

    void BitBtn1Click(QObject* Sender);
    void CalcQTHtoGeoClick(QObject* Sender);
    void btEnterCurrHeadClick(QObject* Sender);
    void CheckBox2Click(QObject* Sender);
    // The WSJT-X row of the Setup page changed: the server follows it.
    void locatorUdpChanged();
    void updateCarPage(double bearing, const std::string& distanceText);
    // A Setup choice changed: the pages calculated so far are calculated again.
    void setupChanged();
    bool greatCircleShown() const; // great circle chosen and built in

    // GPS (FormGps.cpp)
    void rgGpsTargetClick(QObject* Sender);
    void rgComportClick(QObject* Sender);
    void rgComspeedClick(QObject* Sender);
    void OpenGpsPort();
    void closeGpsPort();
    // What the GPS source reports, written into the controls.
    void showGpsFix(const tessaro::GpsIntakeResult& result);
    void showGpsLineState(const tessaro::GpsIntake::LineState& state);
    void showGpsMonitor(const std::array<std::string, 4>& lines);

    // --- state (zero, false or empty when the window is created) ---
    bool firstActivationDone = false;
    std::int32_t activePage = 0;
    QString fmLatDegText, fmLatMinText, fmLatSecText, fmLonDegText, fmLonMinText, fmLonSecText;
    std::int32_t fmLatHemisphere = 0;
    std::int32_t fmLonHemisphere = 0;
    std::int32_t unitsIndex = 0;
    QString qthLocText;
    std::int32_t numDigitsIndex = 0;
    bool eightDigits = false;
    bool centerLocator = false;
    bool showCarPage = false;
    std::int32_t comPortIndex = 0;
    std::int32_t comSpeedIndex = 0;
    std::int32_t gpsTarget = 0;
    bool gpsOpenDeferred = false; // see applyLoadedSettings
    // rgMethod's index as stored; kept as read where great circle is not built in.
    std::int32_t distanceMethod = 0;
    // Set by LoadSettings: the values read as they were stored (those it
    // replaced are absent), so that the save writes only what changed, and
    // the message naming the replaced ones (empty when none was).
    bool settingsRead = false;
    QMap<QString, QVariant> storedSettings;
    QString settingsReport;
    double currentHeading = 0.0;
    std::int32_t carPointerX = 0;
    std::int32_t carPointerY = 0;
    bool carPointerDrawn = false;
    // What a changed choice or heading recomputes (FormPages.cpp).
    bool latLongCalculated = false;
    bool qthCalculated = false;
    bool carHasBearing = false;
    double carBearing = 0.0;
    std::string carDistanceText;
    // "Send my locator to WSJT-X / JTDX" and its UDP server, as stored.
    bool locatorUdpOn = false;
    QString locatorUdpServer;
    std::unique_ptr<LocatorLink> locatorUdp; // gets the start point's locator of each GPS fix

protected:
    bool event(QEvent* e) override;         // activation -> FormActivate
    void showEvent(QShowEvent* e) override; // first show -> FormActivate, should no activation come
    void closeEvent(QCloseEvent* e) override; // any close -> FormClose
    void keyPressEvent(QKeyEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* event) override; // mnemonics (FormKeys.cpp)

private:
    void fitToFonts(); // the sizes the .ui names in characters and pixels
    void drawPictures(const QImage& icon);
    void createGpsSource(); // FormGps.cpp: gps with its reports bound
    void bindHandlers();
    void setLatLongTabOrder();
    // A refused calculation leaves no figures of an earlier one (FormPages.cpp).
    void clearLatLongResults();
    void clearQthResults();
    // Shows a page without running PageControl1Change, which is for the user's changes.
    void showPageFromCode(int index);
    QPushButton* pageDefaultButton() const;
    void applyLoadedSettings();   // FormActivate's step: the loaded values into the controls
    void useFirstStartDefaults(); // GPS Off and centring as the check box shows (Settings.cpp)

    // Keyboard (FormKeys.cpp)
    QList<QWidget*> pageTabOrder() const; // the shown page's widgets in tab order
    void focusPageStart();                // the shown page's first control takes the focus
    void watchMnemonics();
    void
    watchEditing(); // locator blanks, the selection after a calculation, the GPS choice's arrows
    bool gpsChoiceArrow(QObject* watched, const QKeyEvent* key);
    bool pageMnemonic(const QKeySequence& key);

    bool m_pageFromCode = false;
};

extern TForm1* Form1;
