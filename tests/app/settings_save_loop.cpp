// Saves all sixteen values again and again, each round with its own values,
// and reports each finished save on stdout, until it is killed. Argument: the
// settings location.
#include "Settings.h"

#include <QCoreApplication>
#include <QSettings>
#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) {
        return 2;
    }
    QCoreApplication app(argc, argv);
    const QString dir = QString::fromLocal8Bit(argv[1]);
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir);
    const char* strings[] = {"FmLatitudeDeg",  "FmLatitudeMin",  "FmLatitudeSec",
                             "FmLongitudeDeg", "FmLongitudeMin", "FmLongitudeSec"};
    for (int round = 1;; ++round) {
        tessaro::SettingsStore store;
        // Texts of changing length, so that a torn write could not pass for a whole one.
        const QString text = QString(round % 200, QLatin1Char('x')) + QString::number(round);
        for (const char* name : strings) {
            store.writeString(name, text);
        }
        for (const char* name : {"FmLatitude_NS", "FMLongitude_EW", "Units"}) {
            store.writeInteger(name, round);
        }
        store.writeString("qthloc", text);
        for (const char* name : {"numdigits", "comport", "comspeed", "actpage"}) {
            store.writeInteger(name, round);
        }
        store.writeBool("center", round % 2 != 0);
        store.writeInteger("target", round);
        store.flush();
        std::printf("%d\n", round);
        std::fflush(stdout);
    }
}
