// Replays gpsd regression logs (test/daemon/NAME.log, with gpsd's decoding
// in NAME.log.chk beside it) into the real window and reports, per log,
// whether the start point moves:
//  - direct: the log's bytes into a pseudo-terminal that ComDevice1 names, as
//    recorded and with every CR LF made LF (NMEA logs only);
//  - gpsd: gpsfake replays the log into a private gpsd, ComDevice1 is
//    gpsd://127.0.0.1:PORT (NMEA and binary logs).
// Each shown fix is also held against gpsd's fixes of the same second.
//
//   receiver_logs LOG...      one tab-separated line per log (see header())
//
// bench/receiver_logs.sh runs every log with a fix and sums the lines up.
#include "Application.h"
#include "Form1.h"
#include "GpsFake.h"
#include "GpsSource.h"
#include "Gpsd.h"
#include "MessageFraming.h"
#include "Pty.h"
#include "Serial4.h"
#include "Wait.h"
#include "Widgets.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QLocale>
#include <QSettings>
#include <QTemporaryDir>

#include <signal.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

using tessaro::test::waitUntil;

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// ---- What the log holds ---------------------------------------------------

using Position = tessaro::test::GpsdFix;

struct LogFacts {
    std::string name;
    std::string payload; // the bytes gpsfake would send: comment lines left out
    bool nmea = false;   // most payload lines start with "$" or "!"
    int gpsdFixes = 0;   // TPV of mode 2 or 3 with a position
    std::map<std::string, std::vector<Position>> gpsdBySecond; // "hh:mm:ss" -> positions
    // Position sentence type (GLL, RMC, GGA, GNS) -> {sentences, with a valid fix}.
    std::map<std::string, std::pair<int, int>> positions;
    std::set<std::string> talkers; // of the position sentences
};

std::vector<std::string> fields(const std::string& sentence) {
    std::vector<std::string> out;
    std::istringstream parts(sentence.substr(0, sentence.find('*')));
    for (std::string f; std::getline(parts, f, ',');) {
        out.push_back(f);
    }
    return out;
}

// Whether a position sentence reports a fix by its own status field.
bool validFix(const std::string& type, const std::vector<std::string>& f) {
    if (type == "GLL") {
        return f.size() > 6 && f[6] == "A";
    }
    if (type == "RMC") {
        return f.size() > 2 && f[2] == "A";
    }
    if (type == "GGA") {
        return f.size() > 6 && !f[6].empty() && f[6] != "0";
    }
    // GNS: one mode letter per constellation, N = no fix.
    return f.size() > 6 && f[6].find_first_not_of('N') != std::string::npos;
}

LogFacts readLog(const std::string& path) {
    LogFacts facts;
    const std::size_t slash = path.rfind('/');
    facts.name = path.substr(slash == std::string::npos ? 0 : slash + 1);
    const std::string log = readFile(path);
    int lines = 0, sentences = 0;
    for (std::size_t at = 0; at < log.size();) {
        std::size_t end = log.find('\n', at);
        end = end == std::string::npos ? log.size() : end + 1;
        const std::string line = log.substr(at, end - at);
        at = end;
        if (line[0] == '#') {
            continue;
        }
        facts.payload += line;
        if (line.find_first_not_of("\r\n") != std::string::npos) {
            ++lines;
            sentences += line[0] == '$' || line[0] == '!';
        }
    }
    facts.nmea = lines > 0 && 2 * sentences >= lines;

    tessaro::FramingState state;
    for (const char c : facts.payload) {
        if (!tessaro::frameByte(state, static_cast<unsigned char>(c), '$', '\r', 0, '\n')) {
            continue;
        }
        const std::string& s = state.MessageBuffer;
        const std::string type = s.size() > 6 ? s.substr(3, 3) : std::string();
        if (type == "GLL" || type == "RMC" || type == "GGA" || type == "GNS") {
            facts.talkers.insert(s.substr(1, 2));
            auto& count = facts.positions[type];
            ++count.first;
            count.second += validFix(type, fields(s));
        }
    }

    facts.gpsdBySecond = tessaro::test::gpsdFixesBySecond(readFile(path + ".chk"));
    for (const auto& second : facts.gpsdBySecond) {
        facts.gpsdFixes += static_cast<int>(second.second.size());
    }
    return facts;
}

// ---- The window -------------------------------------------------------------

struct Outcome {
    bool ran = false;
    int fixes = 0;    // "New GPS data received at ..." shown
    int invalid = 0;  // "... is INVALID!" shown
    int off = 0;      // fixes not within 1.5" of a gpsd fix of the same second
    int messages = 0; // messages handed to the window
    std::uint64_t bytes = 0;
    std::string note;            // why the run could not be made
    std::set<std::string> types; // sentence types among the messages
    std::string firstOff;        // the first fix counted in `off`, and why
};

std::string settingsDir;

// The program's start with stored settings: GPS feeds the start point from
// port 1, which is `device`, at 4800 bit/s.
std::unique_ptr<TForm1> startUsing(const std::string& device) {
    QDir().mkpath(QString::fromStdString(settingsDir + "/Veltmark-soft"));
    QFile store(QString::fromStdString(settingsDir + "/Veltmark-soft/tessaro.conf"));
    store.open(QIODevice::WriteOnly | QIODevice::Truncate);
    store.write("[v1]\nFmLatitudeDeg=51\nFmLatitudeMin=30\nFmLatitudeSec=46\n"
                "FmLongitudeDeg=0\nFmLongitudeMin=7\nFmLongitudeSec=20\n"
                "FmLatitude_NS=0\nFMLongitude_EW=1\nUnits=2\nqthloc=IO91wm\n"
                "comport=0\ncomspeed=2\ntarget=0\nComDevice1=");
    store.write(device.c_str());
    store.write("\n");
    store.close();
    auto form = std::make_unique<TForm1>();
    Form1 = form.get();
    form->FormActivate(form.get());
    return form;
}

// Counts what each message did to the status line, and checks each fix the
// start point shows against gpsd's fixes of the same second.
void watch(TForm1& form, const LogFacts& facts, Outcome& outcome) {
    const QString marker = QStringLiteral("\x01marker");
    const QString fixPrefix = QStringLiteral("New GPS data received at ");
    const TRxMessageEvent intake = form.gps->serial()->OnMessage;
    form.gps->serial()->OnMessage = [&form, &facts, &outcome, intake, marker,
                                     fixPrefix](TSerial* sender, std::string message) {
        ++outcome.messages;
        if (message.size() > 6) {
            outcome.types.insert(message.substr(3, 3));
        }
        form.sb->SetSimpleText(marker);
        intake(sender, message);
        const QString status = form.sb->SimpleText();
        if (status.endsWith(QStringLiteral("INVALID!"))) {
            ++outcome.invalid;
        }
        if (!status.startsWith(fixPrefix)) {
            return;
        }
        ++outcome.fixes;
        auto value = [](const QLineEdit* e) { return e->text().toDouble(); };
        double lat =
            value(form.edFmLatDeg) + value(form.edFmLatMin) / 60 + value(form.edFmLatSec) / 3600;
        double lon =
            value(form.edFmLonDeg) + value(form.edFmLonMin) / 60 + value(form.edFmLonSec) / 3600;
        lat = form.rgFmLat->ItemIndex() == 1 ? -lat : lat;
        lon = form.rgFmLon->ItemIndex() == 1 ? -lon : lon;
        const auto at = facts.gpsdBySecond.find(status.mid(fixPrefix.size(), 8).toStdString());
        bool near = false;
        if (at != facts.gpsdBySecond.end()) {
            for (const Position& p : at->second) {
                near = near || (std::fabs(p.lat - lat) * 3600 <= 1.5 &&
                                std::fabs(p.lon - lon) * 3600 <= 1.5);
            }
        }
        if (!near && outcome.off++ == 0) {
            outcome.firstOff =
                status.mid(fixPrefix.size()).toStdString() +
                (at == facts.gpsdBySecond.end() ? " (gpsd has no fix at that second)"
                                                : " (gpsd's fix of that second is elsewhere)");
        }
    };
}

// The bytes into a pseudo-terminal as fast as the window takes them, then
// until it has read them all and handled every message.
Outcome direct(const LogFacts& facts, const std::string& bytes) {
    Outcome outcome;
    tessaro::test::PseudoTerminal pty;
    if (!pty.ok()) {
        outcome.note = "no pseudo-terminal: " + pty.error();
        return outcome;
    }
    std::unique_ptr<TForm1> form = startUsing(pty.path());
    watch(*form, facts, outcome);
    std::size_t sent = 0;
    const bool all = waitUntil(
        [&] {
            sent += pty.sendSome(bytes.substr(sent, 4096));
            return sent == bytes.size() && form->gps->serial()->bytesReceived() >= bytes.size() &&
                   form->gps->serial()->notificationsPending() == 0;
        },
        30000);
    tessaro::test::waitUntil([&] { return form->gps->serial()->notificationsPending() == 0; },
                             2000);
    outcome.ran = true;
    outcome.bytes = form->gps->serial()->bytesReceived();
    if (!all) {
        outcome.note = "window read " + std::to_string(outcome.bytes) + " of " +
                       std::to_string(bytes.size()) + " bytes in 30 s";
    }
    form.reset();
    Form1 = nullptr;
    return outcome;
}

// ---- gpsd -------------------------------------------------------------------

// Until the first fix, or until the window has read as many bytes as one
// whole replay (so it has seen every part of the log once), or a cap.
Outcome throughGpsd(const LogFacts& facts, const std::string& path, const std::string& tmpdir) {
    Outcome outcome;
    // Replayed over and over, so that a window that connects late still sees
    // all of it; 2 ms between packets: a whole log of 1000 sentences in 2 s.
    tessaro::test::GpsFake gpsd;
    tessaro::test::GpsFakeRun run;
    run.logs = {path};
    run.tmpdir = tmpdir;
    run.cycle = "0.002";
    if (!gpsd.start(run, 20000) || gpsd.devices().empty()) {
        outcome.note = "gpsfake did not start or gpsd took no device in 20 s";
        return outcome;
    }
    std::unique_ptr<TForm1> form = startUsing("gpsd://127.0.0.1:" + std::to_string(gpsd.port));
    watch(*form, facts, outcome);
    QElapsedTimer clock;
    clock.start();
    waitUntil(
        [&] {
            return outcome.fixes > 0 ||
                   form->gps->serial()->bytesReceived() >= facts.payload.size();
        },
        10000);
    outcome.ran = true;
    outcome.bytes = form->gps->serial()->bytesReceived();
    form.reset();
    Form1 = nullptr;
    gpsd.stop();
    return outcome;
}

// ---- Report -----------------------------------------------------------------

std::string shown(const Outcome& o) {
    if (!o.ran) {
        return "-";
    }
    return std::to_string(o.fixes) + (o.off ? "(" + std::to_string(o.off) + " off)" : "");
}

// A first guess at why a log moves nothing, from what it holds and what the
// window saw.
std::string reason(const LogFacts& facts, const Outcome& d, const Outcome& lf, const Outcome& g) {
    std::string kinds, valid;
    for (const auto& [type, count] : facts.positions) {
        kinds += (kinds.empty() ? "" : ",") + type;
        if (count.second > 0) {
            valid += (valid.empty() ? "" : ",") + type;
        }
    }
    std::string invalidOnly, talkers;
    for (const auto& [type, count] : facts.positions) {
        if (count.second == 0) {
            invalidOnly += (invalidOnly.empty() ? "" : ",") + type;
        }
    }
    for (const std::string& t : facts.talkers) {
        talkers += (talkers.empty() ? "" : ",") + t;
    }
    std::vector<std::string> why;
    if (facts.nmea && d.fixes == 0) {
        if (kinds.empty()) {
            why.push_back("direct: no position sentence (GLL/RMC/GGA/GNS)");
        } else if (valid.empty()) {
            why.push_back("direct: only invalid fixes in " + kinds);
        } else {
            why.push_back(
                "direct: valid fixes in " + valid + " (talker " + talkers + ") not taken" +
                (invalidOnly.empty() ? "" : "; only invalid ones in " + invalidOnly) +
                (d.invalid > 0 ? ", " + std::to_string(d.invalid) + " shown INVALID" : ""));
        }
        if (!d.note.empty()) {
            why.push_back(d.note);
        }
    }
    if (d.fixes > 0 && lf.fixes == 0) {
        why.push_back("direct: none taken once lines end in LF alone");
    }
    if (g.fixes == 0) {
        if (!g.note.empty()) {
            why.push_back("gpsd: " + g.note);
        } else if (g.bytes == 0) {
            why.push_back("gpsd: no bytes reached the window");
        } else if (!facts.nmea) {
            std::string seen;
            for (const std::string& t : g.types) {
                seen += (seen.empty() ? "" : ",") + t;
            }
            why.push_back("gpsd: binary passed on raw, no NMEA position sentence (" +
                          std::to_string(g.bytes) + " bytes, " + std::to_string(g.messages) +
                          " messages" + (seen.empty() ? "" : ": " + seen) + ")");
        } else {
            why.push_back("gpsd: " + std::to_string(g.messages) + " messages, no fix taken");
        }
    }
    for (const Outcome* o : {&d, &g}) {
        if (o->off > 0) {
            why.push_back(std::string(o == &d ? "direct" : "gpsd") + ": " + std::to_string(o->off) +
                          " not at gpsd's position, first " + o->firstOff);
        }
    }
    std::string text;
    for (const std::string& w : why) {
        text += (text.empty() ? "" : "; ") + w;
    }
    return text;
}

const char* header() {
    return "log\tkind\tgpsd fixes\tposition sentences (valid)\tdirect\tdirect LF\tgpsd\treason";
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    ::signal(SIGPIPE, SIG_IGN);
    QTemporaryDir scratch;
    settingsDir = scratch.path().toStdString() + "/settings";
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                       QString::fromStdString(settingsDir));
    QLocale::setDefault(QLocale::c());
    TApplication app(argc, argv);
    std::vector<std::string> boxes;
    TApplication::setErrorPresenter(
        [&boxes](const QString&, const QString& text) { boxes.push_back(text.toStdString()); });
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s test/daemon/NAME.log...\n", argv[0]);
        return 2;
    }
    std::printf("%s\n", header());
    for (int i = 1; i < argc; ++i) {
        const LogFacts facts = readLog(argv[i]);
        Outcome d, lf, g;
        if (facts.nmea) {
            d = direct(facts, facts.payload);
            std::string lfOnly;
            for (std::size_t k = 0; k < facts.payload.size(); ++k) {
                const bool crlf = facts.payload[k] == '\r' && k + 1 < facts.payload.size() &&
                                  facts.payload[k + 1] == '\n';
                if (!crlf) {
                    lfOnly += facts.payload[k];
                }
            }
            lf = lfOnly == facts.payload ? d : direct(facts, lfOnly);
        }
        const std::string tmpdir = scratch.path().toStdString() + "/gpsfake-" + std::to_string(i);
        QDir().mkpath(QString::fromStdString(tmpdir));
        g = throughGpsd(facts, argv[i], tmpdir);
        std::string kinds;
        for (const auto& [type, count] : facts.positions) {
            kinds += (kinds.empty() ? "" : ",") + type + " " + std::to_string(count.first) + "(" +
                     std::to_string(count.second) + ")";
        }
        std::printf("%s\t%s\t%d\t%s\t%s\t%s\t%s\t%s\n", facts.name.c_str(),
                    facts.nmea ? "nmea" : "binary", facts.gpsdFixes,
                    kinds.empty() ? "-" : kinds.c_str(), shown(d).c_str(), shown(lf).c_str(),
                    shown(g).c_str(), reason(facts, d, lf, g).c_str());
        for (const std::string& box : boxes) {
            std::printf("#\t%s\terror box: %s\n", facts.name.c_str(), box.c_str());
        }
        boxes.clear();
        std::fflush(stdout);
    }
    return 0;
}
