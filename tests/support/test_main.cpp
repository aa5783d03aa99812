// The one entry of the Qt tests: headless platform, C locale, and a settings
// location of its own so that no test touches the user's settings. The window
// tests (TESSARO_TEST_WINDOW) get the real application object, its general
// error handler included; the serial tests, which link QtCore only, a core one.
#ifdef TESSARO_TEST_WINDOW
#include "Application.h"
#include "LocatorLink.h"
using TestApplication = TApplication;
#else
#include <QCoreApplication>
using TestApplication = QCoreApplication;
#endif

#include <QLocale>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
#ifndef _WIN32
    // The Windows build's Qt has no offscreen platform: there the windows are
    // real ones, on the display wine uses.
    qputenv("QT_QPA_PLATFORM", "offscreen");
#endif
    QTemporaryDir config;
    if (!config.isValid()) {
        return 2;
    }
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    QLocale::setDefault(QLocale::c());
    TestApplication app(argc, argv);
#ifdef TESSARO_TEST_WINDOW
    // Each test closes its window; the run goes on.
    TApplication::setQuitOnLastWindowClosed(false);
#ifdef TESSARO_LOCATOR_MODULE_FOLDER
    LocatorLink::setModuleFolder(QStringLiteral(TESSARO_LOCATOR_MODULE_FOLDER));
#endif
#endif
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, config.path());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, config.path());
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
