// Test entry for the window tests: headless platform, C locale, the real
// application object (its general error handler included), and a settings
// location of its own so that no test touches the user's settings.
#include "Application.h"

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
    TApplication app(argc, argv);
    // Each test closes its window; the run goes on.
    TApplication::setQuitOnLastWindowClosed(false);
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, config.path());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, config.path());
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
