// Renders each page of the window, with a worked calculation on it, to PNG
// files for the README. Usage: tessaro-screenshots OUTPUT_DIR
// Runs on a temporary settings location, so the user's settings stay untouched.
#include "Application.h"
#include "Form1.h"
#include "Widgets.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QSettings>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QTemporaryDir>
#include <cstdio>

namespace {

void type(QLineEdit* field, const char* text) {
    field->setText(QString::fromLatin1(text));
}

} // namespace

int main(int argc, char* argv[]) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_DIR\n", argv[0]);
        return 2;
    }
    TApplication app(argc, argv);
    QTemporaryDir settingsDir;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir.path());
    const QString out = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(out);

    TForm1 form;
    Form1 = &form;
    form.show();
    form.FormActivate(&form);
    // A first start opens on the Car page with its content hidden.
    QApplication::processEvents();
    const QString firstStart = out + QStringLiteral("/car-first-start.png");
    if (!form.grab().save(firstStart)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(firstStart));
        return 1;
    }

    // Frankfurt to Berlin on the Lat/Long page, JN49kw to JO62qm on the QTH page.
    type(form.edToLatDeg, "52");
    type(form.edToLatMin, "31");
    type(form.edToLatSec, "0");
    type(form.edtoLonDeg, "13");
    type(form.edToLonMin, "24");
    type(form.edToLonSec, "0");
    form.currentHeading = 20.0;
    form.edCurrHead->setText(QStringLiteral("20"));
    form.BitBtn1Click(nullptr);
    type(form.edToQTH, "JO62qm");
    form.CalcQTHtoGeoClick(nullptr);
    form.CheckBox2->setChecked(true);
    form.sb->SetSimpleText(QString());
    // WSJT-X as it looks once it took the locator (no socket opened here).
    {
        const QSignalBlocker quiet(form.cbLocatorUdp);
        form.cbLocatorUdp->setChecked(true);
    }
    form.lbLocatorUdp->setText(QStringLiteral("WSJT-X: JN49KW"));

    for (int page = 0; page < form.PageControl1->count(); ++page) {
        form.PageControl1->setCurrentIndex(page);
        QApplication::processEvents();
        const QString file = QStringLiteral("%1/page-%2.png").arg(out).arg(page);
        if (!form.grab().save(file)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
            return 1;
        }
    }
    return 0;
}
