// TForm1: construction of the window and its pages, the first activation,
// the Setup handlers, keys and closing. The page calculations live in
// FormPages.cpp, the GPS handlers in gps/, the settings in Settings.cpp.
#include "Form1.h"

#include "HelpText.h"
#include "Widgets.h"
#include "Win1252.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QFile>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QShortcut>
#include <QStyle>
#include <QTabBar>
#include <QTabWidget>
#include <QTextCursor>
#include <QVBoxLayout>
#include <array>
#include <stdexcept>
#include <string>

#ifndef TESSARO_VERSION_MAJOR
#define TESSARO_VERSION_MAJOR 0
#define TESSARO_VERSION_MINOR 0
#define TESSARO_VERSION_PATCH 0
#define TESSARO_VERSION_TWEAK 0
#endif

TForm1* Form1 = nullptr;

namespace tessaro {
namespace {

template <class W> W* named(W* widget, const char* name) {
    widget->setObjectName(QLatin1String(name));
    return widget;
}

QLabel* makeLabel(const char* name, const QString& text, QWidget* parent) {
    auto* label = named(new QLabel(text, parent), name);
    label->setTextFormat(Qt::PlainText);
    return label;
}

// Wide enough for `widthChars` characters and the frame, not the style's default width.
QLineEdit* makeEdit(const char* name, int maxLength, int widthChars, QWidget* parent) {
    auto* edit = named(new QLineEdit(parent), name);
    if (maxLength > 0) {
        edit->setMaxLength(maxLength);
    }
    const QFontMetrics metrics(parent->font());
    edit->setFixedWidth(metrics.horizontalAdvance(QString(widthChars + 1, QLatin1Char('0'))) + 10);
    return edit;
}

QFont pixelFont(const QFont& base, int pixels, bool bold) {
    QFont font(base);
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

QLabel* makeResult(const char* name, QWidget* parent, int pixels) {
    auto* label = makeLabel(name, QString(), parent);
    label->setFont(pixelFont(parent->font(), pixels, true));
    label->setMinimumWidth(
        QFontMetrics(label->font()).horizontalAdvance(QStringLiteral("00000.0 mm")));
    return label;
}

// Distance, bearing and reverse bearing with their captions, and the page's
// Calculate button (its default button), as both calculation pages show them.
struct ResultRows {
    std::array<QLabel*, 3> captions;
    std::array<QLabel*, 3> values;
    QPushButton* calculate;
    QGridLayout* layout;
};

// names: the three captions, the three values, the button.
ResultRows makeResultRows(QWidget* page, const std::array<const char*, 7>& names) {
    ResultRows rows{};
    rows.layout = new QGridLayout;
    rows.layout->setHorizontalSpacing(8);
    rows.layout->setVerticalSpacing(0);
    const char* captions[3] = {"Distance:", "Bearing:", "Rev.Bearing:"};
    for (int i = 0; i < 3; ++i) {
        rows.captions[i] = makeLabel(names[i], QLatin1String(captions[i]), page);
        rows.values[i] = makeResult(names[3 + i], page, 15);
        rows.layout->addWidget(rows.captions[i], i, 0);
        rows.layout->addWidget(rows.values[i], i, 1);
    }
    rows.layout->setColumnStretch(2, 1);
    rows.calculate = named(new QPushButton(QStringLiteral("&Calculate"), page), names[6]);
    rows.calculate->setIcon(page->style()->standardIcon(QStyle::SP_DialogOkButton));
    rows.calculate->setDefault(true);
    rows.calculate->setAutoDefault(true);
    rows.layout->addWidget(rows.calculate, 0, 3, 3, 1, Qt::AlignRight | Qt::AlignBottom);
    return rows;
}

// The red bold "GPS" mark beside a point that the GPS feeds; hidden until then.
QLabel* makeGpsMark(const char* name, QWidget* parent) {
    auto* mark = makeLabel(name, QStringLiteral("GPS"), parent);
    mark->setFont(pixelFont(parent->font(), parent->font().pixelSize(), true));
    QPalette palette = mark->palette();
    palette.setColor(QPalette::WindowText, Qt::red);
    mark->setPalette(palette);
    // Keeps its room while hidden so that nothing moves when it appears.
    QSizePolicy policy = mark->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    mark->setSizePolicy(policy);
    mark->hide();
    return mark;
}

// Degrees, minutes and seconds fields with their marks, in one row.
QWidget* dmsRow(QWidget* parent, QLineEdit* deg, QLineEdit* min, QLineEdit* sec) {
    auto* row = new QWidget(parent);
    auto* box = new QHBoxLayout(row);
    box->setContentsMargins(0, 0, 0, 0);
    box->setSpacing(2);
    const QString marks[3] = {fromWin1252("\xB0"), QStringLiteral("'"), QStringLiteral("\"")};
    QLineEdit* fields[3] = {deg, min, sec};
    for (int i = 0; i < 3; ++i) {
        fields[i]->setParent(row);
        box->addWidget(fields[i]);
        box->addWidget(new QLabel(marks[i], row));
    }
    return row;
}

QImage loadPicture(const QString& resource, const QSize& size) {
    QImage picture(resource);
    if (picture.isNull()) {
        // Without the resource library the window still starts, with a blank picture.
        picture = QImage(size, QImage::Format_RGB32);
        picture.fill(Qt::white);
    }
    return picture;
}

void useAvailableFonts() {
    // Metric-compatible stand-ins keep the layout where the named fonts are absent.
    const QStringList families = QFontDatabase::families();
    if (!families.contains(QStringLiteral("Arial"))) {
        QFont::insertSubstitution(QStringLiteral("Arial"), QStringLiteral("Liberation Sans"));
    }
    if (!families.contains(QStringLiteral("Courier New"))) {
        QFont::insertSubstitution(QStringLiteral("Courier New"), QStringLiteral("Liberation Mono"));
    }
}

} // namespace
} // namespace tessaro

using tessaro::makeEdit;
using tessaro::makeGpsMark;
using tessaro::makeLabel;
using tessaro::makeResult;
using tessaro::named;

TForm1::TForm1(QWidget* parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("Form1"));
    tessaro::useAvailableFonts();
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(14);
    setFont(font);
    QPalette palette = this->palette();
    palette.setColor(QPalette::WindowText, Qt::black);
    setPalette(palette);
    setWindowTitle(QStringLiteral("Tessaro"));
    // Fixed border, minimise only; the close button stays so that the window
    // can be closed from the title bar, which stores the settings like "Exit".
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    const QImage icon = tessaro::loadPicture(QStringLiteral(":/tessaro/icon.png"), QSize(32, 32));
    setWindowIcon(QIcon(QPixmap::fromImage(icon)));

    PageControl1 = named(new QTabWidget(this), "PageControl1");
    PageControl1->setFocusPolicy(Qt::ClickFocus);
    PageControl1->tabBar()->setFocusPolicy(Qt::ClickFocus);
    setCentralWidget(PageControl1);
    sb = named(new TStatusBar(this), "sb");
    setStatusBar(sb);

    Button1 = named(new QPushButton(QStringLiteral("Exit"), PageControl1), "Button1");
    // Never the focus: Enter on a page must calculate, never quit. Esc and
    // the mouse reach it.
    Button1->setFocusPolicy(Qt::NoFocus);
    Button1->setAutoDefault(false);
    PageControl1->setCornerWidget(Button1, Qt::TopRightCorner);

    // A letter that a tab and a control of the shown page share (Alt+S,
    // Alt+C on Lat/Long) goes to the control: see pageMnemonic().
    const QStringList captions = {QStringLiteral("&Lat/Long"),   QStringLiteral("&QTH Locator"),
                                  QStringLiteral("&Setup"),      QStringLiteral("&GPS"),
                                  QStringLiteral("&About/Help"), QStringLiteral("&Car")};
    for (int i = 0; i < captions.size(); ++i) {
        auto* page = new QWidget;
        page->setObjectName(QStringLiteral("page%1").arg(i));
        PageControl1->addTab(page, captions.at(i));
    }
    buildLatLongPage();
    buildQthPage();
    buildSetupPage();
    buildGpsPage();
    buildAboutPage();
    buildCarPage();
    showPageFromCode(5);

    setLatLongTabOrder();
    nameForScreenReaders();
    createSerial();
    bindHandlers();
    watchMnemonics();

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
    if (Form1 == this) {
        Form1 = nullptr;
    }
}

void TForm1::buildLatLongPage() {
    QWidget* page = PageControl1->widget(0);
    auto* grid = new QGridLayout(page);
    grid->setContentsMargins(6, 4, 6, 4);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(2);

    Label6 = makeLabel("Label6", QStringLiteral("Latitude"), page);
    Label7 = makeLabel("Label7", QStringLiteral("Longitude"), page);
    grid->addWidget(Label6, 0, 1, 1, 2, Qt::AlignHCenter);
    grid->addWidget(Label7, 0, 3, 1, 2, Qt::AlignHCenter);

    const QStringList ns = {QStringLiteral("&N"), QStringLiteral("&S")};
    const QStringList ew = {QStringLiteral("&E"), QStringLiteral("&W")};
    rgFmLat = named(new TRadioGroup(QStringLiteral("&Lat"), ns, 1, page), "rgFmLat");
    rgFmLon = named(new TRadioGroup(QStringLiteral("Lon"), ew, 1, page), "rgFmLon");
    rgToLat = named(new TRadioGroup(QStringLiteral("&Lat"), ns, 1, page), "rgToLat");
    rgToLon = named(new TRadioGroup(QStringLiteral("Lon"), ew, 1, page), "rgToLon");
    for (TRadioGroup* group : {rgFmLat, rgFmLon, rgToLat, rgToLon}) {
        group->SetItemIndex(0);
    }

    edFmLatDeg = makeEdit("edFmLatDeg", 2, 2, page);
    edFmLatMin = makeEdit("edFmLatMin", 2, 2, page);
    edFmLatSec = makeEdit("edFmLatSec", 2, 2, page);
    edFmLonDeg = makeEdit("edFmLonDeg", 3, 3, page);
    edFmLonMin = makeEdit("edFmLonMin", 2, 2, page);
    edFmLonSec = makeEdit("edFmLonSec", 2, 2, page);
    edToLatDeg = makeEdit("edToLatDeg", 2, 2, page);
    edToLatMin = makeEdit("edToLatMin", 2, 2, page);
    edToLatSec = makeEdit("edToLatSec", 2, 2, page);
    edtoLonDeg = makeEdit("edtoLonDeg", 3, 3, page);
    edToLonMin = makeEdit("edToLonMin", 2, 2, page);
    edToLonSec = makeEdit("edToLonSec", 2, 2, page);
    // A from-point to start with: Darmstadt, JN49kw.
    edFmLatDeg->setText(QStringLiteral("49"));
    edFmLatMin->setText(QStringLiteral("56"));
    edFmLatSec->setText(QStringLiteral("30"));
    edFmLonDeg->setText(QStringLiteral("8"));
    edFmLonMin->setText(QStringLiteral("50"));
    edFmLonSec->setText(QStringLiteral("48"));

    Label5 = makeLabel("Label5", QStringLiteral("&From"), page);
    Label5->setBuddy(edFmLatDeg);
    Label8 = makeLabel("Label8", QStringLiteral("&To"), page);
    Label8->setBuddy(edToLatDeg);
    fmLoc = makeLabel("fmLoc", QStringLiteral("-"), page);
    toLOc = makeLabel("toLOc", QStringLiteral("-"), page);
    fmLoc->setMinimumWidth(
        QFontMetrics(page->font()).horizontalAdvance(QStringLiteral("JN49kw14")));
    toLOc->setMinimumWidth(fmLoc->minimumWidth());
    lbGpsFm = makeGpsMark("lbGpsFm", page);
    lbGpsTo = makeGpsMark("lbGpsTo", page);

    const auto addPoint = [&](int row, QLabel* caption, TRadioGroup* lat, QWidget* latFields,
                              TRadioGroup* lon, QWidget* lonFields, QLabel* locator, QLabel* mark) {
        grid->addWidget(caption, row, 0);
        grid->addWidget(lat, row, 1);
        grid->addWidget(latFields, row, 2);
        grid->addWidget(lon, row, 3);
        grid->addWidget(lonFields, row, 4);
        grid->addWidget(locator, row, 5);
        grid->addWidget(mark, row, 6);
    };
    addPoint(1, Label5, rgFmLat, tessaro::dmsRow(page, edFmLatDeg, edFmLatMin, edFmLatSec), rgFmLon,
             tessaro::dmsRow(page, edFmLonDeg, edFmLonMin, edFmLonSec), fmLoc, lbGpsFm);
    addPoint(2, Label8, rgToLat, tessaro::dmsRow(page, edToLatDeg, edToLatMin, edToLatSec), rgToLon,
             tessaro::dmsRow(page, edtoLonDeg, edToLonMin, edToLonSec), toLOc, lbGpsTo);

    const tessaro::ResultRows results = tessaro::makeResultRows(
        page, {"Label9", "Label10", "Label3", "lbDist", "lbBear", "lbRevBear", "BitBtn1"});
    Label9 = results.captions[0];
    Label10 = results.captions[1];
    Label3 = results.captions[2];
    lbDist = results.values[0];
    lbBear = results.values[1];
    lbRevBear = results.values[2];
    BitBtn1 = results.calculate;
    grid->addLayout(results.layout, 3, 0, 1, 7);
    grid->setRowStretch(4, 1);
    grid->setColumnStretch(7, 1);
}

void TForm1::buildQthPage() {
    QWidget* page = PageControl1->widget(1);
    auto* grid = new QGridLayout(page);
    grid->setContentsMargins(6, 4, 6, 4);
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(0);

    Label14 = makeLabel("Label14", QStringLiteral("QTH Locator (Maidenhead format)"), page);
    grid->addWidget(Label14, 0, 0, 1, 5);
    edFmQth = makeEdit("edFmQth", 0, 8, page);
    edFmQth->setText(QStringLiteral("JN49kw"));
    edToQTH = makeEdit("edToQTH", 0, 8, page);
    Label13 = makeLabel("Label13", QStringLiteral("&From"), page);
    Label13->setBuddy(edFmQth);
    Label15 = makeLabel("Label15", QStringLiteral("&To"), page);
    Label15->setBuddy(edToQTH);
    fmLat = makeLabel("fmLat", QStringLiteral("-"), page);
    fmLon = makeLabel("fmLon", QStringLiteral("-"), page);
    toLat = makeLabel("toLat", QStringLiteral("-"), page);
    toLOn = makeLabel("toLOn", QStringLiteral("-"), page);
    const int positionWidth =
        QFontMetrics(page->font())
            .horizontalAdvance(tessaro::fromWin1252("E 179\xB0 59\xB4 59\"  "));
    for (QLabel* position : {fmLat, fmLon, toLat, toLOn}) {
        position->setMinimumWidth(positionWidth);
    }
    const QFont small = tessaro::pixelFont(page->font(), 11, false);
    fmLatDiff = makeLabel("fmLatDiff", QString(), page);
    fmLonDiff = makeLabel("fmLonDiff", QString(), page);
    toLatDiff = makeLabel("toLatDiff", QString(), page);
    toLOnDiff = makeLabel("toLOnDiff", QString(), page);
    for (QLabel* precision : {fmLatDiff, fmLonDiff, toLatDiff, toLOnDiff}) {
        precision->setFont(small);
        precision->setMinimumHeight(QFontMetrics(small).height());
    }
    lbGpsFm2 = makeGpsMark("lbGpsFm2", page);
    lbGpsTo2 = makeGpsMark("lbGpsTo2", page);

    grid->addWidget(Label13, 1, 0);
    grid->addWidget(edFmQth, 1, 1);
    grid->addWidget(fmLat, 1, 2);
    grid->addWidget(fmLon, 1, 3);
    grid->addWidget(lbGpsFm2, 1, 4);
    grid->addWidget(fmLatDiff, 2, 2);
    grid->addWidget(fmLonDiff, 2, 3);
    grid->addWidget(Label15, 3, 0);
    grid->addWidget(edToQTH, 3, 1);
    grid->addWidget(toLat, 3, 2);
    grid->addWidget(toLOn, 3, 3);
    grid->addWidget(lbGpsTo2, 3, 4);
    grid->addWidget(toLatDiff, 4, 2);
    grid->addWidget(toLOnDiff, 4, 3);

    const tessaro::ResultRows results = tessaro::makeResultRows(
        page, {"Label16", "Label17", "Label4", "lbDist2", "lbBear2", "lbRevBear2", "CalcQTHtoGeo"});
    Label16 = results.captions[0];
    Label17 = results.captions[1];
    Label4 = results.captions[2];
    lbDist2 = results.values[0];
    lbBear2 = results.values[1];
    lbRevBear2 = results.values[2];
    CalcQTHtoGeo = results.calculate;
    grid->addItem(new QSpacerItem(0, 6), 5, 0);
    grid->addLayout(results.layout, 6, 0, 1, 6);
    grid->setRowStretch(7, 1);
    grid->setColumnStretch(5, 1);

    setTabOrder(edFmQth, edToQTH);
    setTabOrder(edToQTH, CalcQTHtoGeo);
}

void TForm1::buildSetupPage() {
    QWidget* page = PageControl1->widget(2);
    auto* grid = new QGridLayout(page);
    grid->setContentsMargins(6, 4, 6, 4);

    rgUnits =
        named(new TRadioGroup(QStringLiteral("Distance in:"),
                              {QStringLiteral("Kilometer (km)"), QStringLiteral("US miles (mi)"),
                               QStringLiteral("nautical miles (nm)")},
                              3, page),
              "rgUnits");
    rgUnits->SetItemIndex(0);
    rgUnits->setToolTip(QStringLiteral("Select units for distance"));
    rgDigits = named(new TRadioGroup(QStringLiteral("Locator Digits:"),
                                     {QStringLiteral("6 digits (JN49kw)"),
                                      QStringLiteral("8 digits (JN49kw14)")},
                                     2, page),
                     "rgDigits");
    rgDigits->SetItemIndex(0);
    rgDigits->setToolTip(QStringLiteral("QTH loc. is using 6 or 8 digits"));

    GroupBox1 = named(new QGroupBox(QStringLiteral("Center Locator"), page), "GroupBox1");
    GroupBox1->setToolTip(
        QStringLiteral("Check if resulting locator is adjusted for center of grid"));
    auto* centre = new QVBoxLayout(GroupBox1);
    centre->setContentsMargins(6, 2, 6, 2);
    CheckBox1 = named(new QCheckBox(QStringLiteral("Yes"), GroupBox1), "CheckBox1");
    CheckBox1->setChecked(true);
    centre->addWidget(CheckBox1);
    CheckBox2 = named(new QCheckBox(QStringLiteral("Show Car page"), page), "CheckBox2");

    grid->addWidget(rgUnits, 0, 0, 1, 2);
    grid->addWidget(rgDigits, 1, 0);
    grid->addWidget(GroupBox1, 1, 1);
    grid->addWidget(CheckBox2, 2, 0, 1, 2);
    grid->setRowStretch(3, 1);
    grid->setColumnStretch(0, 1);
}

void TForm1::buildGpsPage() {
    QWidget* page = PageControl1->widget(3);
    auto* grid = new QGridLayout(page);
    grid->setContentsMargins(6, 4, 6, 4);
    grid->setVerticalSpacing(0);

    rgComport = named(new TRadioGroup(QStringLiteral("GPS COM Port:"),
                                      {QStringLiteral("1"), QStringLiteral("2"),
                                       QStringLiteral("3"), QStringLiteral("4")},
                                      1, page),
                      "rgComport");
    rgComport->SetItemIndex(0);
    rgComport->setToolTip(QStringLiteral("Select Com Port where GPS (NMEA Source) is attached"));
    rgComspeed = named(
        new TRadioGroup(QStringLiteral("GPS COM Port Speed:"),
                        {QStringLiteral("1200"), QStringLiteral("2400"), QStringLiteral("4800"),
                         QStringLiteral("9600"), QStringLiteral("19k2"), QStringLiteral("38k4")},
                        2, page),
        "rgComspeed");
    rgComspeed->SetItemIndex(0);
    rgComspeed->setToolTip(QStringLiteral("Select baudrate for GPS device (NMEA source)"));
    rgGpsTarget =
        named(new TRadioGroup(QStringLiteral("GPS/NMEA Data use:"),
                              {QStringLiteral("as start (1. loc)"),
                               QStringLiteral("as dest. (2. loc)"), QStringLiteral("Off")},
                              1, page),
              "rgGpsTarget");

    Label1 = makeLabel("Label1", QStringLiteral("NMEA Monitor"), page);
    lbNmea1 = makeLabel("lbNmea1", QStringLiteral("---"), page);
    lbNmea2 = makeLabel("lbNmea2", QStringLiteral("---"), page);
    lbNmea3 = makeLabel("lbNmea3", QStringLiteral("---"), page);
    lbNmea4 = makeLabel("lbNmea4", QStringLiteral("---"), page);

    grid->addWidget(rgComport, 0, 0, Qt::AlignTop);
    grid->addWidget(rgComspeed, 0, 1, Qt::AlignTop);
    grid->addWidget(rgGpsTarget, 0, 2, Qt::AlignTop);
    grid->addWidget(Label1, 1, 0, 1, 3);
    int row = 2;
    for (QLabel* line : {lbNmea1, lbNmea2, lbNmea3, lbNmea4}) {
        // A sentence is one line; a long one is cut at the window's edge, never widens it.
        line->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
        line->setMinimumHeight(QFontMetrics(page->font()).height());
        grid->addWidget(line, row++, 0, 1, 3);
    }
    grid->setRowStretch(row, 1);
    grid->setColumnStretch(2, 1);
}

void TForm1::buildAboutPage() {
    QWidget* page = PageControl1->widget(4);
    auto* grid = new QGridLayout(page);
    grid->setContentsMargins(6, 4, 6, 4);

    Image1 = named(new TImage(page), "Image1");
    QImage frame(33, 33, QImage::Format_RGB32);
    frame.fill(page->palette().color(QPalette::Window));
    {
        QPainter painter(&frame);
        painter.drawImage(
            0, 0, tessaro::loadPicture(QStringLiteral(":/tessaro/icon.png"), QSize(32, 32)));
    }
    Image1->SetPicture(frame);
    Versionlabel = makeLabel("Versionlabel", QStringLiteral("Tessaro"), page);
    Versionlabel->setFont(tessaro::pixelFont(page->font(), 16, true));

    red1 = named(new QPlainTextEdit(page), "red1");
    red1->setReadOnly(true);
    red1->setTextInteractionFlags(Qt::TextSelectableByKeyboard | Qt::TextSelectableByMouse);
    red1->setLineWrapMode(QPlainTextEdit::NoWrap);
    QFont mono(QStringLiteral("Courier New"));
    mono.setPixelSize(13);
    mono.setStyleHint(QFont::Monospace);
    red1->setFont(mono);
    red1->setMinimumSize(425, 89);
    red1->setPlainText(tessaro::fromWin1252(tessaro::helpText()));
    // Tab moves on instead of being typed: the viewer is read only.
    red1->setTabChangesFocus(true);

    grid->addWidget(Image1, 0, 0);
    grid->addWidget(Versionlabel, 0, 1);
    grid->addWidget(red1, 1, 0, 1, 3);
    grid->setColumnStretch(2, 1);
    grid->setRowStretch(1, 1);
}

void TForm1::buildCarPage() {
    QWidget* page = PageControl1->widget(5);
    auto* outer = new QGridLayout(page);
    outer->setContentsMargins(6, 4, 6, 4);
    carContent = named(new QWidget(page), "carContent");
    QSizePolicy keep = carContent->sizePolicy();
    keep.setRetainSizeWhenHidden(true);
    carContent->setSizePolicy(keep);
    outer->addWidget(carContent, 0, 0);
    // In the content's place, so the window keeps its size; the two are never shown together.
    lbCarHint = makeLabel(
        "lbCarHint",
        QStringLiteral("Tick \u201CShow Car page\u201D on the Setup page to see the pointer."),
        page);
    outer->addWidget(lbCarHint, 0, 0, Qt::AlignLeft | Qt::AlignTop);

    auto* row = new QHBoxLayout(carContent);
    row->setContentsMargins(0, 0, 0, 0);
    car = named(new TImage(carContent), "car");
    car->SetPicture(tessaro::loadPicture(QStringLiteral(":/tessaro/car.png"), QSize(150, 150)));
    row->addWidget(car, 0, Qt::AlignTop);

    auto* grid = new QGridLayout;
    grid->setVerticalSpacing(2);
    row->addLayout(grid, 1);
    edCurrHead = makeEdit("edCurrHead", 0, 6, carContent);
    edCurrHead->setText(QStringLiteral("0"));
    Label11 = makeLabel("Label11", QStringLiteral("Current &Heading:"), carContent);
    Label11->setBuddy(edCurrHead);
    Label12 = makeLabel("Label12", tessaro::fromWin1252("\xB0"), carContent);
    lbCarGPS = makeGpsMark("lbCarGPS", carContent);
    pb1 = named(new QProgressBar(carContent), "pb1");
    pb1->setRange(1, 5);
    pb1->setValue(1);
    pb1->setTextVisible(false);
    pb1->setFixedHeight(12);
    btEnterCurrHead =
        named(new QPushButton(QStringLiteral("&Enter"), carContent), "btEnterCurrHead");
    btEnterCurrHead->setDefault(true);
    btEnterCurrHead->setAutoDefault(true);
    Label25 = makeLabel("Label25", QStringLiteral("Relative bearing"), carContent);
    Label26 = makeLabel("Label26", QStringLiteral("from car:"), carContent);
    lbRelbear = makeResult("lbRelbear", carContent, 16);
    Label27 = makeLabel("Label27", QStringLiteral("Distance:"), carContent);
    lbRelDist = makeResult("lbRelDist", carContent, 16);

    auto* heading = new QHBoxLayout;
    heading->setSpacing(2);
    heading->addWidget(edCurrHead);
    heading->addWidget(Label12);
    heading->addSpacing(6);
    heading->addWidget(lbCarGPS);
    heading->addStretch(1);
    grid->addWidget(Label11, 0, 0, 1, 2);
    grid->addLayout(heading, 1, 0, 1, 2);
    grid->addWidget(pb1, 2, 0, 1, 2);
    grid->addWidget(btEnterCurrHead, 3, 0, Qt::AlignLeft);
    grid->addItem(new QSpacerItem(0, 6), 4, 0);
    grid->addWidget(Label25, 5, 0, 1, 2);
    grid->addWidget(Label26, 6, 0);
    grid->addWidget(lbRelbear, 6, 1);
    grid->addWidget(Label27, 7, 0);
    grid->addWidget(lbRelDist, 7, 1);
    grid->setRowStretch(8, 1);
    grid->setColumnStretch(1, 1);
    carContent->hide();
}

// Tab order of the Lat/Long page: destination first, then Calculate, then the start point.
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

void TForm1::nameForScreenReaders() {
    const auto name = [](QWidget* widget, const char* text) {
        widget->setAccessibleName(QLatin1String(text));
    };
    const QStringList northSouth = {QStringLiteral("North"), QStringLiteral("South")};
    const QStringList eastWest = {QStringLiteral("East"), QStringLiteral("West")};
    name(PageControl1, "Pages");
    name(Button1, "Exit");
    name(sb, "Status line");

    name(rgFmLat, "From latitude hemisphere");
    name(rgFmLon, "From longitude hemisphere");
    name(rgToLat, "To latitude hemisphere");
    name(rgToLon, "To longitude hemisphere");
    for (TRadioGroup* group : {rgFmLat, rgToLat}) {
        group->SetItemAccessibleNames(northSouth);
    }
    for (TRadioGroup* group : {rgFmLon, rgToLon}) {
        group->SetItemAccessibleNames(eastWest);
    }
    name(edFmLatDeg, "From latitude degrees");
    name(edFmLatMin, "From latitude minutes");
    name(edFmLatSec, "From latitude seconds");
    name(edFmLonDeg, "From longitude degrees");
    name(edFmLonMin, "From longitude minutes");
    name(edFmLonSec, "From longitude seconds");
    name(edToLatDeg, "To latitude degrees");
    name(edToLatMin, "To latitude minutes");
    name(edToLatSec, "To latitude seconds");
    name(edtoLonDeg, "To longitude degrees");
    name(edToLonMin, "To longitude minutes");
    name(edToLonSec, "To longitude seconds");
    name(BitBtn1, "Calculate distance and bearing from coordinates");

    name(edFmQth, "From locator");
    name(edToQTH, "To locator");
    name(CalcQTHtoGeo, "Calculate distance and bearing from locators");

    name(rgUnits, "Distance units");
    rgUnits->SetItemAccessibleNames({QStringLiteral("Kilometres"), QStringLiteral("US miles"),
                                     QStringLiteral("Nautical miles")});
    name(rgDigits, "Locator digits");
    rgDigits->SetItemAccessibleNames(
        {QStringLiteral("6 digit locators"), QStringLiteral("8 digit locators")});
    name(GroupBox1, "Center locator");
    name(CheckBox1, "Center decoded positions in the locator square");
    name(CheckBox2, "Show Car page");

    name(rgComport, "GPS serial port");
    rgComport->SetItemAccessibleNames({QStringLiteral("COM1"), QStringLiteral("COM2"),
                                       QStringLiteral("COM3"), QStringLiteral("COM4")});
    name(rgComspeed, "GPS port speed");
    rgComspeed->SetItemAccessibleNames({QStringLiteral("1200 bit/s"), QStringLiteral("2400 bit/s"),
                                        QStringLiteral("4800 bit/s"), QStringLiteral("9600 bit/s"),
                                        QStringLiteral("19200 bit/s"),
                                        QStringLiteral("38400 bit/s")});
    name(rgGpsTarget, "GPS data use");
    rgGpsTarget->SetItemAccessibleNames({QStringLiteral("GPS feeds the start point"),
                                         QStringLiteral("GPS feeds the destination"),
                                         QStringLiteral("GPS off")});
    name(Label1, "NMEA monitor");

    name(Image1, "Program icon");
    name(red1, "Help text");

    const auto caption = [](QLabel* result, const char* text) {
        tessaro::captionForScreenReaders(result, QLatin1String(text));
    };
    caption(lbDist, "Distance");
    caption(lbBear, "Bearing");
    caption(lbRevBear, "Reverse bearing");
    caption(fmLoc, "From locator");
    caption(toLOc, "To locator");
    caption(lbDist2, "Distance");
    caption(lbBear2, "Bearing");
    caption(lbRevBear2, "Reverse bearing");
    caption(fmLat, "From latitude");
    caption(fmLon, "From longitude");
    caption(toLat, "To latitude");
    caption(toLOn, "To longitude");
    caption(fmLatDiff, "From latitude precision");
    caption(fmLonDiff, "From longitude precision");
    caption(toLatDiff, "To latitude precision");
    caption(toLOnDiff, "To longitude precision");
    caption(lbRelbear, "Relative bearing from car");
    caption(lbRelDist, "Distance");

    name(car, "Car picture with pointer to the destination");
    name(edCurrHead, "Current heading in degrees");
    name(btEnterCurrHead, "Enter heading");
    name(pb1, "GPS fix countdown");
}

// Every handler is bound here, as the layout binds them, so that a change
// made from code runs the same handler as the user's click.
void TForm1::bindHandlers() {
    rgDigits->OnClick = [this](QObject* sender) { rgDigitsClick(sender); };
    rgComport->OnClick = [this](QObject* sender) { rgComportClick(sender); };
    rgComspeed->OnClick = [this](QObject* sender) { rgComspeedClick(sender); };
    rgGpsTarget->OnClick = [this](QObject* sender) { rgGpsTargetClick(sender); };
    connect(CheckBox1, &QCheckBox::toggled, this, [this] { CheckBox1Click(CheckBox1); });
    connect(CheckBox2, &QCheckBox::toggled, this, [this] { CheckBox2Click(CheckBox2); });
    connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(Button1); });
    connect(BitBtn1, &QPushButton::clicked, this, [this] { BitBtn1Click(BitBtn1); });
    connect(CalcQTHtoGeo, &QPushButton::clicked, this, [this] { CalcQTHtoGeoClick(CalcQTHtoGeo); });
    connect(btEnterCurrHead, &QPushButton::clicked, this,
            [this] { btEnterCurrHeadClick(btEnterCurrHead); });
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
    for (QLabel* result : {lbDist, lbBear, lbRevBear, lbDist2, lbBear2, lbRevBear2}) {
        result->clear();
    }
    gpsIntake = tessaro::GpsIntake();
    carPointerDrawn = false;

    try {
        if (LoadSettings()) {
            applyLoadedSettings();
        }
    } catch (...) {
        // The read stopped part-way: what it did not reach keeps its first-start
        // value, so a damaged store never switches GPS on. The error box follows.
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
}

void TForm1::applyLoadedSettings() {
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
    if (activePage < 0 || activePage >= PageControl1->count()) {
        throw std::out_of_range("Der Index der Liste \xFC"
                                "berschreitet das Maximum (" +
                                std::to_string(activePage) + ")");
    }
    showPageFromCode(activePage);
    edFmQth->setText(qthLocText);
    CheckBox1->setChecked(centerLocator);
    rgGpsTarget->SetItemIndex(gpsTarget);
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
}

void TForm1::CheckBox1Click(QObject*) {
    centerLocator = CheckBox1->isChecked();
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
}

void TForm1::FormDestroy(QObject*) {
    SaveSettings();
}
