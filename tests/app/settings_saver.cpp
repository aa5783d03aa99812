// Saves all sixteen values twice, each time with the values of its own round,
// and stops itself before and after the second save, so that a tracer can kill
// it at a chosen point of that save. Arguments: the settings location and the
// number of the first round.
#include "Settings.h"

#include <QCoreApplication>
#include <QSettings>
#include <csignal>
#include <cstdlib>

namespace {

void save(int round) {
    tessaro::SettingsStore store;
    // Texts of changing length, so that a torn write could not pass for a whole one.
    const QString text = QString(round % 200, QLatin1Char('x')) + QString::number(round);
    for (const char* name : {"FmLatitudeDeg", "FmLatitudeMin", "FmLatitudeSec", "FmLongitudeDeg",
                             "FmLongitudeMin", "FmLongitudeSec"}) {
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
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        return 2;
    }
    QCoreApplication app(argc, argv);
    const QString dir = QString::fromLocal8Bit(argv[1]);
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir);
    const int round = std::atoi(argv[2]);
    save(round);
    std::raise(SIGSTOP);
    save(round + 1);
    std::raise(SIGSTOP);
    return 0;
}
