// TForm1: the construction glue around Form1.ui (what Designer cannot say),
// the first activation, the Setup handlers, keys and closing. The page
// calculations live in FormPages.cpp, the GPS handlers in FormGps.cpp, the
// settings in FormSettings.cpp.
#include "Form1.h"

#include "Application.h"
#include "GpsSource.h"
#include "GreatCircle.h"

#include "HelpText.h"
#include "LocatorLink.h"
#include "Widgets.h"
#include "Win1252.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QPainter>
#include <QPointer>
#include <QRadioButton>
#include <QScreen>
#include <QShortcut>
#include <QStyle>
#include <QTabBar>
#include <QTextCursor>

#ifndef TESSARO_VERSION_MAJOR
#define TESSARO_VERSION_MAJOR 0
#define TESSARO_VERSION_MINOR 0
#define TESSARO_VERSION_PATCH 0
#define TESSARO_VERSION_TWEAK 0
#endif

TForm1* Form1 = nullptr;

TForm1::TForm1(QWidget* parent) : QMainWindow(parent) {
    setFont(tessaro::windowFont());
    QPalette palette = this->palette();
    palette.setColor(QPalette::WindowText, Qt::black);
    setPalette(palette);
    // Fixed border, minimise only; the close button stays so that the window
    // can be closed from the title bar, which stores the settings like "Exit".
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    const QImage icon = tessaro::readPicture(QStringLiteral(":/tessaro/icon.png"), QSize(32, 32));
    setWindowIcon(QIcon(QPixmap::fromImage(icon)));

    setupUi(this);
    // Tab runs through the page's controls, never onto the tabs (the tab
    // widget's own policy is in Form1.ui; its bar is made inside Qt).
    PageControl1->tabBar()->setFocusPolicy(Qt::ClickFocus);
    // Exit in the tab bar's corner, which Designer cannot place. It never takes
    // the focus (Form1.ui): Enter on a page must calculate, never quit.
    PageControl1->setCornerWidget(Button1, Qt::TopRightCorner);
    fitToFonts();
    drawPictures(icon);
    // The layouts keep the sizes they saw in setupUi until their next run,
    // which comes after the window below has taken its fixed size: tell them now.
    for (QWidget* widget : findChildren<QWidget*>()) {
        widget->updateGeometry();
    }
    setLatLongTabOrder();
    for (QLabel* label : findChildren<QLabel*>()) {
        const QVariant caption = label->property("screenReaderCaption");
        if (caption.isValid()) {
            tessaro::captionForScreenReaders(label, caption.toString());
        }
    }
    createGpsSource();
    locatorUdp = std::make_unique<LocatorLink>(
        this, [label = QPointer<QLabel>(lbLocatorUdp)](const QString& text) {
            if (label) {
                label->setText(text);
            }
        });
    bindHandlers();
    // The long path is a great-circle figure: its rows show with it only.
    for (QLabel* longPath : {lbLongCaption, lbLong, lbLongCaption2, lbLong2}) {
        longPath->setVisible(false);
    }
    if (!tessaro::greatCircleAvailable()) {
        rgMethod->Button(1)->setEnabled(false);
        rgMethod->Button(1)->setToolTip(QStringLiteral("Not in this build (no GeographicLib)"));
    }
    watchMnemonics();
    watchEditing();

    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    escape->setContext(Qt::WindowShortcut);
    connect(escape, &QShortcut::activated, this, [this] { Button1Click(Button1); });

    // Not resizable: the size the layout needs, fixed, in the middle of the screen.
    setFixedSize(sizeHint());
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        move(screen->availableGeometry().center() - rect().center());
    }
    FormCreate(this);
}

TForm1::~TForm1() {
    // The source outlives the controls (a child made after them), and its
    // port's close may still report: nothing of the window hears it.
    QObject::disconnect(gps, nullptr, this, nullptr);
    if (Form1 == this) {
        Form1 = nullptr;
    }
}

// Form1.ui gives these sizes as dynamic properties, in the units that keep the
// layout right whatever font the system has: pixelSize (a font in pixels),
// fixedPitchFamily (that family, or any fixed-pitch font where it is missing),
// widthChars (a field as wide as that many digits), minWidthText (a label as
// wide as its longest text), oneLineHigh (a label that keeps one line's
// height when empty), linesHigh (a label with room for that many lines),
// keepRoomWhenHidden (a hidden widget that keeps its room).
// Each widget's font changes once: a text field lays its text out anew with
// every font it is given.
void TForm1::fitToFonts() {
    QList<QWidget*> widgets;
    for (QWidget* widget : findChildren<QWidget*>()) {
        // Most have none of them, and asking a widget for one by name costs.
        if (!widget->dynamicPropertyNames().isEmpty()) {
            widgets.append(widget);
        }
    }
    for (QWidget* widget : widgets) {
        const QVariant pixels = widget->property("pixelSize");
        const QVariant family = widget->property("fixedPitchFamily");
        if (!pixels.isValid() && !family.isValid()) {
            continue;
        }
        QFont font = widget->font();
        if (pixels.isValid()) {
            font.setPixelSize(pixels.toInt());
        }
        if (family.isValid()) {
            font.setFamilies({tessaro::installedFamily(family.toString())});
            font.setStyleHint(QFont::Monospace);
        }
        widget->setFont(font);
    }
    for (QWidget* widget : widgets) {
        const QFontMetrics metrics(widget->font());
        const QVariant chars = widget->property("widthChars");
        if (chars.isValid()) {
            widget->setFixedWidth(
                metrics.horizontalAdvance(QString(chars.toInt() + 1, QLatin1Char('0'))) + 10);
        }
        const QVariant text = widget->property("minWidthText");
        if (text.isValid()) {
            widget->setMinimumWidth(metrics.horizontalAdvance(text.toString()));
        }
        if (widget->property("oneLineHigh").toBool()) {
            widget->setMinimumHeight(metrics.height());
        }
        const QVariant lines = widget->property("linesHigh");
        if (lines.isValid()) {
            widget->setMinimumHeight(metrics.lineSpacing() * lines.toInt());
        }
        if (widget->property("keepRoomWhenHidden").toBool()) {
            QSizePolicy policy = widget->sizePolicy();
            policy.setRetainSizeWhenHidden(true);
            widget->setSizePolicy(policy);
        }
    }
}

void TForm1::drawPictures(const QImage& icon) {
    // The icon on the page's own background, one pixel of margin right and below.
    QImage frame(33, 33, QImage::Format_RGB32);
    frame.fill(page4->palette().color(QPalette::Window));
    {
        QPainter painter(&frame);
        painter.drawImage(0, 0, icon);
    }
    Image1->SetPicture(frame);
    car->SetPictureFile(QStringLiteral(":/tessaro/car.png"), QSize(150, 150));
}

// Tab order of the Lat/Long page: destination first, then Calculate, then the
// start point. In code, as it runs through the radio groups' items.
void TForm1::setLatLongTabOrder() {
    QList<QWidget*> chain;
    const QList<QWidget*> order = {rgToLat,    edToLatDeg, edToLatMin, edToLatSec, rgToLon,
                                   edtoLonDeg, edToLonMin, edToLonSec, BitBtn1,    rgFmLat,
                                   edFmLatDeg, edFmLatMin, edFmLatSec, rgFmLon,    edFmLonDeg,
                                   edFmLonMin, edFmLonSec};
    for (QWidget* widget : order) {
        if (auto* group = qobject_cast<TRadioGroup*>(widget)) {
            chain.append(group->tabChain());
        } else {
            chain.append(widget);
        }
    }
    for (int i = 1; i < chain.size(); ++i) {
        setTabOrder(chain.at(i - 1), chain.at(i));
    }
}

// Every handler is bound here, as the layout binds them, so that a change
// made from code runs the same handler as the user's click.
void TForm1::bindHandlers() {
    rgUnits->OnClick = [this](QObject*) { setupChanged(); };
    rgMethod->OnClick = [this](QObject*) {
        if (tessaro::greatCircleAvailable()) {
            distanceMethod = rgMethod->ItemIndex();
        }
        setupChanged();
    };
    rgDigits->OnClick = [this](QObject* sender) { rgDigitsClick(sender); };
    rgComport->OnClick = [this](QObject* sender) { rgComportClick(sender); };
    rgComspeed->OnClick = [this](QObject* sender) { rgComspeedClick(sender); };
    rgGpsTarget->OnClick = [this](QObject* sender) { rgGpsTargetClick(sender); };
    connect(CheckBox1, &QCheckBox::toggled, this, [this] { CheckBox1Click(CheckBox1); });
    connect(CheckBox2, &QCheckBox::toggled, this, [this] { CheckBox2Click(CheckBox2); });
    connect(cbLocatorUdp, &QCheckBox::toggled, this, [this] { locatorUdpChanged(); });
    connect(edLocatorUdpServer, &QLineEdit::editingFinished, this, [this] { locatorUdpChanged(); });
    connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(Button1); });
    connect(BitBtn1, &QPushButton::clicked, this, [this] { BitBtn1Click(BitBtn1); });
    connect(CalcQTHtoGeo, &QPushButton::clicked, this, [this] { CalcQTHtoGeoClick(CalcQTHtoGeo); });
    connect(btEnterCurrHead, &QPushButton::clicked, this,
            [this] { btEnterCurrHeadClick(btEnterCurrHead); });
    // The GPS writes its heading with the degree sign: the unit beside the
    // field then stays empty, so the sign shows once.
    connect(edCurrHead, &QLineEdit::textChanged, this, [this](const QString& text) {
        Label12->setText(text.endsWith(QChar(0xB0)) ? QString() : QString(QChar(0xB0)));
    });
    connect(PageControl1, &QTabWidget::currentChanged, this, [this] {
        if (!m_pageFromCode) {
            PageControl1Change(PageControl1);
        }
        focusPageStart();
    });
}

void TForm1::showPageFromCode(int index) {
    m_pageFromCode = true;
    PageControl1->setCurrentIndex(index);
    m_pageFromCode = false;
}

bool TForm1::event(QEvent* e) {
    const bool handled = QMainWindow::event(e);
    if (e->type() == QEvent::WindowActivate) {
        FormActivate(this);
    }
    return handled;
}

void TForm1::showEvent(QShowEvent* e) {
    QMainWindow::showEvent(e);
    // Some desktops show a new window without activating it; the start-up
    // work (and with it the loading of the settings, which the end of the run
    // overwrites) must not depend on that.
    if (!firstActivationDone) {
        QMetaObject::invokeMethod(
            this, [this] { FormActivate(this); }, Qt::QueuedConnection);
    }
}

void TForm1::closeEvent(QCloseEvent* e) {
    FormClose(this);
    e->accept();
}

void TForm1::FormCreate(QObject*) {
    firstActivationDone = false;
}

void TForm1::FormActivate(QObject*) {
    if (firstActivationDone) {
        return;
    }
    firstActivationDone = true;
    // What no one sees before the window is on the screen comes now, before
    // its first frame is painted: the style looks its icon up in the
    // desktop's icon theme (longer than building all the rest of the window),
    // and the help text is laid out line by line.
    const QIcon ok = style()->standardIcon(QStyle::SP_DialogOkButton);
    for (QPushButton* calculate : {BitBtn1, CalcQTHtoGeo}) {
        calculate->setIcon(ok);
    }
    red1->setPlainText(tessaro::fromWin1252(tessaro::helpText()));
    for (QLabel* result : {lbDist, lbBear, lbRevBear, lbDist2, lbBear2, lbRevBear2}) {
        result->clear();
    }
    gps->intake() = tessaro::GpsIntake();
    carPointerDrawn = false;

    try {
        if (LoadSettings()) {
            applyLoadedSettings();
        }
    } catch (...) {
        // Not a damaged value (each takes its default): something unforeseen.
        // GPS stays off, and the error box follows.
        useFirstStartDefaults();
        focusPageStart();
        throw;
    }

    std::uint16_t major = 0;
    std::uint16_t minor = 0;
    std::uint16_t release = 0;
    std::uint16_t build = 0;
    GetVersionNumbers(major, minor, release, build);
    Versionlabel->setText(
        QStringLiteral("Tessaro V%1.%2.%3 Build %4").arg(major).arg(minor).arg(release).arg(build));
    QTextCursor start = red1->textCursor();
    start.setPosition(0);
    red1->setTextCursor(start);
    focusPageStart();
    if (!settingsReport.isEmpty()) {
        TApplication::presentError(QStringLiteral("Tessaro"), settingsReport);
    }
}

void TForm1::applyLoadedSettings() {
    // Port, speed and use each open the port when they change: it opens once,
    // after the last (a network source connects once), and not at all when a
    // value in between stops the start.
    struct Deferral {
        bool& deferred;
        explicit Deferral(bool& flag) : deferred(flag) { deferred = true; }
        ~Deferral() { deferred = false; }
        Deferral(const Deferral&) = delete;
        Deferral& operator=(const Deferral&) = delete;
    } const deferral(gpsOpenDeferred);
    rgUnits->SetItemIndex(unitsIndex);
    rgDigits->SetItemIndex(numDigitsIndex);
    rgComport->SetItemIndex(comPortIndex);
    rgComspeed->SetItemIndex(comSpeedIndex);
    edFmLatDeg->setText(fmLatDegText);
    edFmLatMin->setText(fmLatMinText);
    edFmLatSec->setText(fmLatSecText);
    edFmLonDeg->setText(fmLonDegText);
    edFmLonMin->setText(fmLonMinText);
    edFmLonSec->setText(fmLonSecText);
    rgFmLat->SetItemIndex(fmLatHemisphere);
    rgFmLon->SetItemIndex(fmLonHemisphere);
    showPageFromCode(activePage);
    edFmQth->setText(qthLocText);
    CheckBox1->setChecked(centerLocator);
    CheckBox2->setChecked(showCarPage);
    edLocatorUdpServer->setText(locatorUdpServer);
    cbLocatorUdp->setChecked(locatorUdpOn);
    locatorUdpChanged();
    rgGpsTarget->SetItemIndex(gpsTarget);
    rgMethod->SetItemIndex(tessaro::greatCircleAvailable() ? distanceMethod : 0);
    gpsOpenDeferred = false;
    OpenGpsPort();
}

void TForm1::GetVersionNumbers(std::uint16_t& major, std::uint16_t& minor, std::uint16_t& release,
                               std::uint16_t& build) const {
    // The project's version, compiled in; on Windows the same four numbers
    // also form the executable's version resource.
    major = TESSARO_VERSION_MAJOR;
    minor = TESSARO_VERSION_MINOR;
    release = TESSARO_VERSION_PATCH;
    build = TESSARO_VERSION_TWEAK;
}

void TForm1::PageControl1Change(QObject*) {
    activePage = PageControl1->currentIndex();
}

void TForm1::rgDigitsClick(QObject*) {
    eightDigits = rgDigits->ItemIndex() != 0;
    setupChanged();
}

void TForm1::CheckBox1Click(QObject*) {
    centerLocator = CheckBox1->isChecked();
    setupChanged();
}

void TForm1::locatorUdpChanged() {
    locatorUdp->configure(cbLocatorUdp->isChecked(), edLocatorUdpServer->text());
}

void TForm1::Button1Click(QObject*) {
    closeGpsPort();
    close();
}

void TForm1::FormClose(QObject*) {
    fmLatDegText = edFmLatDeg->text();
    fmLatMinText = edFmLatMin->text();
    fmLatSecText = edFmLatSec->text();
    fmLonDegText = edFmLonDeg->text();
    fmLonMinText = edFmLonMin->text();
    fmLonSecText = edFmLonSec->text();
    unitsIndex = rgUnits->ItemIndex();
    qthLocText = edFmQth->text();
    fmLatHemisphere = rgFmLat->ItemIndex();
    fmLonHemisphere = rgFmLon->ItemIndex();
    numDigitsIndex = rgDigits->ItemIndex();
    eightDigits = numDigitsIndex != 0;
    comPortIndex = rgComport->ItemIndex();
    comSpeedIndex = rgComspeed->ItemIndex();
    activePage = PageControl1->currentIndex();
    showCarPage = CheckBox2->isChecked();
    locatorUdpOn = cbLocatorUdp->isChecked();
    locatorUdpServer = edLocatorUdpServer->text();
}

void TForm1::FormDestroy(QObject*) {
    SaveSettings();
}
