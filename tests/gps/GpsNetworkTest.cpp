// GPS from the network on the real window: a real gpsd (started by gpsfake
// on a private port, replaying the recording), and TCP peers that misbehave.
#include "Form1.h"
#include "GpsFake.h"
#include "GpsSource.h"
#include "GpsWindowFixture.h"
#include "Gpsd.h"
#include "GpsdProbe.h"
#include "Pty.h"
#include "SerialTestSupport.h"
#include "Widgets.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QRandomGenerator>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using tessaro::test::freePort;
using tessaro::test::GpsFake;
using tessaro::test::loopback;
using tessaro::test::runEventLoopFor;
using tessaro::test::waitUntil;

// A TCP sender of NMEA. The window connects anew after a loss, so the bytes
// go to the first connection that takes them all; then it hangs up or stays.
struct Peer {
    int listener = -1;
    std::thread worker;

    void listen(int port) {
        listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const int on = 1;
        ::setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        const sockaddr_in a = loopback(port);
        ASSERT_EQ(::bind(listener, reinterpret_cast<const sockaddr*>(&a), sizeof a), 0);
        ASSERT_EQ(::listen(listener, 4), 0);
    }
    void serve(std::string bytes, bool hangUp) {
        join();
        worker = std::thread([this, bytes = std::move(bytes), hangUp] {
            for (pollfd p{listener, POLLIN, 0}; ::poll(&p, 1, 10000) == 1;) {
                const int fd = ::accept(listener, nullptr, nullptr);
                std::size_t sent = 0;
                for (ssize_t n = 1; n > 0 && sent<bytes.size(); sent += n> 0 ? n : 0) {
                    n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
                }
                if (hangUp || sent < bytes.size()) {
                    ::close(fd);
                }
                if (sent == bytes.size()) {
                    return;
                }
            }
        });
    }
    void join() {
        if (worker.joinable()) {
            worker.join();
        }
    }
    void close() {
        join();
        ::close(listener);
    }
    ~Peer() { close(); }
};

class GpsNetwork : public GpsWindowFixture {
protected:
    // What the window shows of the fix it holds.
    QStringList shownFix() const {
        const TForm1& f = *m_form;
        return {f.sb->SimpleText(),   f.edFmLatDeg->text(), f.edFmLatMin->text(),
                f.edFmLatSec->text(), f.edFmLonDeg->text(), f.edFmLonMin->text(),
                f.edFmLonSec->text(), f.edFmQth->text(),    f.lbNmea4->text()};
    }
    // gpsd on a private port, fed `nmea` once or over and over; `held`:
    // each sentence waits for gpsd.release().
    void startGpsd(GpsFake& gpsd, const std::string& nmea, bool once, bool held = false) {
        const std::string log = m_dir.path().toStdString() + "/replay.nmea";
        std::ofstream(log, std::ios::binary) << nmea;
        replayThroughGpsd(gpsd, {log}, once, held);
    }
    // The same with recordings in gpsd's log format (binary packets too),
    // each on a device of its own.
    void replayThroughGpsd(GpsFake& gpsd, const std::vector<std::string>& logs, bool once,
                           bool held = false) {
        tessaro::test::GpsFakeRun run;
        run.logs = logs;
        run.tmpdir = (m_dir.path() + QStringLiteral("/gpsfake-%1").arg(++m_starts)).toStdString();
        run.cycle = once ? "0.01" : "0.001";
        run.once = once;
        run.held = held;
        ASSERT_TRUE(QDir().mkpath(QString::fromStdString(run.tmpdir)));
        if (!gpsd.start(run)) {
            GTEST_SKIP() << "gpsd could not start through gpsfake (install gpsd and gpsd-clients)";
        }
        ASSERT_EQ(gpsd.devices().size(), logs.size())
            << "gpsd did not take the logs' devices in 30 s";
    }
    int m_starts = 0;
};

// From each receiver's recording its first and its last sentence, in order:
// every receiver passes, and at gpsfake's pace the replay takes about a second.
std::string excerpt() {
    std::ifstream in(TESSARO_TEST_DATA_DIR "/nmea/gll-real.nmea", std::ios::binary);
    std::string text, first, last;
    const auto endGroup = [&] {
        text += first + (last.empty() ? "" : last);
        first.clear();
        last.clear();
    };
    for (std::string line; std::getline(in, line);) {
        line += '\n';
        if (line[0] == '#') {
            endGroup();
        } else if (first.empty()) {
            first = line;
        } else {
            last = line;
        }
    }
    endGroup();
    return text;
}

// Whether a TCP connection to `port` on the loopback is up: the window's,
// the only client of a private gpsd.
bool connectedTo(int port) {
    std::ifstream tcp("/proc/net/tcp");
    char remote[16];
    std::snprintf(remote, sizeof remote, "0100007F:%04X", static_cast<unsigned>(port));
    for (std::string line; std::getline(tcp, line);) {
        std::istringstream fields(line);
        std::string slot, local, peer, state;
        fields >> slot >> local >> peer >> state;
        if (peer == remote && state == "01") {
            return true;
        }
    }
    return false;
}

// The last sentence of an NMEA text as the monitor shows it.
QString lastLine(const std::string& nmea) {
    const QStringList lines =
        QString::fromStdString(nmea).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    return lines.isEmpty() ? QString() : lines.last().trimmed();
}

TEST_F(GpsNetwork, GpsdReplayEndsOnTheSameFixAsThePtyAndSurvivesARestart) {
    // The recording straight into a pseudo-terminal: what the window ends on.
    auto pty = std::make_unique<tessaro::test::PseudoTerminal>();
    ASSERT_TRUE(pty->ok()) << pty->error();
    startUsing(pty->path());
    const std::string all = excerpt();
    // Written as the window reads, until the monitor shows the recording's last line.
    const QString last = lastLine(all);
    std::size_t sent = 0;
    ASSERT_TRUE(waitUntil(
        [&] {
            sent += pty->sendSome(all.substr(sent, 512));
            return sent == all.size() && m_form->lbNmea4->text() == last;
        },
        30000))
        << sent << " of " << all.size() << " bytes; " << qPrintable(m_form->lbNmea4->text());
    const QStringList direct = shownFix();
    ASSERT_TRUE(direct[0].startsWith(QStringLiteral("New GPS data"))) << qPrintable(direct[0]);
    m_form.reset();
    pty.reset();

    // The same through gpsd, sent once the window is connected.
    GpsFake gpsd;
    startGpsd(gpsd, all, true, true);
    if (IsSkipped() || HasFatalFailure()) {
        return;
    }
    const std::string url = "gpsd://127.0.0.1:" + std::to_string(gpsd.port);
    TForm1& f = startUsing(url);
    EXPECT_EQ(f.rgComport->Button(0)->toolTip(), QString::fromStdString(url));
    ASSERT_TRUE(waitUntil([&] { return connectedTo(gpsd.port); }, 30000));
    gpsd.release(static_cast<std::size_t>(std::count(all.begin(), all.end(), '\n')) + 1);
    EXPECT_TRUE(waitUntil([&] { return shownFix() == direct; }, 30000))
        << qPrintable(shownFix().join(QLatin1Char('|')) + "\n" + direct.join(QLatin1Char('|')));

    // gpsd stopped: a line error with the reason, retried at a steady pace.
    int& errors = countErrors();
    gpsd.stop();
    ASSERT_TRUE(statusBecomes(serialError));
    EXPECT_TRUE(statusDetail().endsWith(QString::fromStdString(" (" + url + ")")))
        << qPrintable(statusDetail());
    errors = 0;
    runEventLoopFor(2000);
    EXPECT_LE(errors, 3) << "reconnects about once a second, never a spin";

    // Back again: the fixes flow without the user doing anything.
    startGpsd(gpsd, londonFix, false);
    if (IsSkipped() || HasFatalFailure()) {
        return;
    }
    EXPECT_TRUE(statusBecomes(londonStatus, 10000)) << qPrintable(statusDetail());
    EXPECT_TRUE(statusDetail().isEmpty());
    EXPECT_TRUE(m_errors.isEmpty());
}

struct Position {
    double lat = 0;
    double lon = 0;
};

// Every position gpsd's own decoding of the log reports (its TPV records).
std::vector<Position> gpsdCheckedPositions(const std::string& chk) {
    std::ifstream in(chk);
    std::vector<Position> found;
    for (std::string line; std::getline(in, line);) {
        const QJsonObject tpv = QJsonDocument::fromJson(QByteArray::fromStdString(line)).object();
        if (tpv.value(QLatin1String("class")).toString() == QLatin1String("TPV") &&
            tpv.contains(QLatin1String("lat"))) {
            found.push_back({tpv.value(QLatin1String("lat")).toDouble(),
                             tpv.value(QLatin1String("lon")).toDouble()});
        }
    }
    return found;
}

// "ddmm.mmmm","N" (or dddmm.mmmm for a longitude) as signed degrees.
double nmeaDegrees(const QString& value, const QString& hemisphere) {
    const double raw = value.toDouble();
    const double degrees = std::floor(raw / 100) + std::fmod(raw, 100) / 60;
    return hemisphere == QLatin1String("S") || hemisphere == QLatin1String("W") ? -degrees
                                                                                : degrees;
}

TEST_F(GpsNetwork, ABinaryReceiverThroughGpsdGivesSentencesAtGpsdsOwnFix) {
    // A u-blox receiver speaking UBX only: not one NMEA byte in the log.
    const std::string log = TESSARO_TEST_DATA_DIR "/gpsd/ublox-neo-m8n.log";
    const std::vector<Position> checked = gpsdCheckedPositions(log + ".chk");
    ASSERT_GT(checked.size(), 10u);
    GpsFake gpsd;
    replayThroughGpsd(gpsd, {log}, false);
    if (IsSkipped() || HasFatalFailure()) {
        return;
    }
    TForm1& f = startUsing("gpsd://127.0.0.1:" + std::to_string(gpsd.port));
    QStringList received;
    const TRxMessageEvent shown = f.gps->serial()->OnMessage;
    f.gps->serial()->OnMessage = [&](TSerial* sender, std::string message) {
        received << QString::fromStdString(message).trimmed();
        shown(sender, std::move(message));
    };
    // Valid RMC (status A) and GGA (quality above 0) sentences, gpsd's own.
    auto fixes = [&](const char* type) {
        QList<QStringList> found;
        for (const QString& sentence : received) {
            const QStringList fields = sentence.split(QLatin1Char(','));
            if (sentence.mid(3, 3) == QLatin1String(type) && fields.size() > 6 &&
                (type[0] == 'R' ? fields[2] == QLatin1String("A")
                                : fields[6] != QLatin1String("0"))) {
                found << fields;
            }
        }
        return found;
    };
    ASSERT_TRUE(
        waitUntil([&] { return fixes("RMC").size() >= 3 && fixes("GGA").size() >= 3; }, 20000))
        << qPrintable(received.mid(0, 20).join(QLatin1Char('\n')));

    // Each position lies among those gpsd decodes, to the sentences' 0.0001'.
    const double tolerance = 0.0001 / 60;
    auto among = [&](double lat, double lon) {
        for (const Position& p : checked) {
            if (std::abs(p.lat - lat) <= tolerance && std::abs(p.lon - lon) <= tolerance) {
                return true;
            }
        }
        return false;
    };
    for (const QStringList& rmc : fixes("RMC")) {
        EXPECT_TRUE(among(nmeaDegrees(rmc[3], rmc[4]), nmeaDegrees(rmc[5], rmc[6])))
            << qPrintable(rmc.join(QLatin1Char(',')));
    }
    for (const QStringList& gga : fixes("GGA")) {
        EXPECT_TRUE(among(nmeaDegrees(gga[2], gga[3]), nmeaDegrees(gga[4], gga[5])))
            << qPrintable(gga.join(QLatin1Char(',')));
    }
    for (const QString& sentence : received) {
        EXPECT_FALSE(sentence.contains(QLatin1Char('{'))) << "gpsd's JSON stays out";
    }
    // And the start point shows one of them, to the pages' whole seconds.
    ASSERT_TRUE(waitUntil(
        [&] { return f.sb->SimpleText().startsWith(QLatin1String("New GPS data received at")); }));
    auto shownDegrees = [](QLineEdit* d, QLineEdit* m, QLineEdit* s, bool negative) {
        const double v = d->text().toInt() + m->text().toInt() / 60.0 + s->text().toInt() / 3600.0;
        return negative ? -v : v;
    };
    const double lat =
        shownDegrees(f.edFmLatDeg, f.edFmLatMin, f.edFmLatSec, f.rgFmLat->ItemIndex() == 1);
    const double lon =
        shownDegrees(f.edFmLonDeg, f.edFmLonMin, f.edFmLonSec, f.rgFmLon->ItemIndex() == 1);
    const bool near = std::any_of(checked.begin(), checked.end(), [&](const Position& p) {
        return std::abs(p.lat - lat) < 1.5 / 3600 && std::abs(p.lon - lon) < 1.5 / 3600;
    });
    EXPECT_TRUE(near) << lat << " " << lon;
    EXPECT_TRUE(m_errors.isEmpty());
}

// gpsd started after the window is already trying: the refusal leaves the
// status line and its reason as soon as gpsd answers, before any fix (this
// receiver sends no GLL).
TEST_F(GpsNetwork, GpsdStartedLaterClearsTheRefusal) {
    GpsFake gpsd;
    gpsd.port = freePort();
    const std::string url = "gpsd://127.0.0.1:" + std::to_string(gpsd.port);
    startUsing(url);
    ASSERT_TRUE(statusBecomes(serialError));
    EXPECT_EQ(statusDetail(), QString::fromStdString("Connection refused (" + url + ")"));

    replayThroughGpsd(gpsd, {TESSARO_TEST_DATA_DIR "/gpsd/ublox-neo-m8n.log"}, false);
    if (IsSkipped() || HasFatalFailure()) {
        return;
    }
    EXPECT_TRUE(waitUntil([&] { return m_form->sb->SimpleText() != serialError; }, 10000));
    EXPECT_TRUE(statusDetail().isEmpty()) << qPrintable(statusDetail());
    EXPECT_TRUE(m_errors.isEmpty());
}

TEST_F(GpsNetwork, ADeviceHeldByGpsdIsReadThroughIt) {
    GpsFake gpsd;
    startGpsd(gpsd, londonFix, false);
    if (IsSkipped() || HasFatalFailure()) {
        return;
    }
    // gpsd keeps others out with TIOCEXCL, which root ignores: the lock
    // stands in for it, so that the open fails here as for a user.
    const std::string device = gpsd.devices().front();
    const int held = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_EQ(::flock(held, LOCK_EX | LOCK_NB), 0);
    tessaro::setLocalGpsdPort(gpsd.port);

    TForm1& f = startUsing(device);
    EXPECT_EQ(f.rgComport->Button(0)->toolTip(), QString::fromStdString(device + " (via gpsd)"));
    EXPECT_TRUE(statusBecomes(londonStatus, 10000)) << qPrintable(statusDetail());

    // gpsd gone: the reason names gpsd, not the device it held.
    gpsd.stop();
    ASSERT_TRUE(statusBecomes(serialError));
    EXPECT_TRUE(statusDetail().endsWith(
        QString::fromStdString(" (gpsd://127.0.0.1:" + std::to_string(gpsd.port) + device + ")")))
        << qPrintable(statusDetail());
    tessaro::setLocalGpsdPort(2947);
    ::close(held);
}

// Two receivers in one gpsd, at different places: a port that names one of
// gpsd's devices gets that receiver's sentences, none of the other's.
TEST_F(GpsNetwork, ANamedGpsdDeviceGivesThatReceiversSentencesOnly) {
    const std::string dir = TESSARO_TEST_DATA_DIR "/nmea/receivers/";
    const std::vector<std::string> logs = {dir + "magellan315.log", dir + "ublox-lea-4s.log"};
    std::vector<std::set<std::string>> logLines(logs.size());
    for (std::size_t i = 0; i < logs.size(); ++i) {
        std::ifstream in(logs[i], std::ios::binary);
        for (std::string line; std::getline(in, line);) {
            if (line.rfind('$', 0) == 0) {
                logLines[i].insert(QString::fromStdString(line).trimmed().toStdString());
            }
        }
    }
    GpsFake gpsd;
    replayThroughGpsd(gpsd, logs, false);
    if (IsSkipped() || HasFatalFailure()) {
        return;
    }
    std::set<std::size_t> receivers;
    for (const std::string& device : gpsd.devices()) {
        std::vector<std::string> received;
        TForm1& f = startUsing("gpsd://127.0.0.1:" + std::to_string(gpsd.port) + device);
        const TRxMessageEvent shown = f.gps->serial()->OnMessage;
        f.gps->serial()->OnMessage = [&](TSerial* sender, std::string message) {
            received.push_back(QString::fromStdString(message).trimmed().toStdString());
            shown(sender, std::move(message));
        };
        // Both logs are replayed over and over: 60 sentences span several rounds.
        const bool enough = waitUntil([&] { return received.size() >= 60; }, 20000);
        m_form.reset();
        ASSERT_TRUE(enough) << device << ": " << received.size() << " sentences";
        // The receiver is the one whose log holds the first sentence.
        std::size_t receiver = 0;
        while (receiver < logs.size() && !logLines[receiver].count(received.front())) {
            ++receiver;
        }
        ASSERT_LT(receiver, logs.size()) << received.front();
        receivers.insert(receiver);
        for (const std::string& sentence : received) {
            EXPECT_TRUE(logLines[receiver].count(sentence))
                << device << " is " << logs[receiver] << ", yet sent " << sentence;
        }
    }
    EXPECT_EQ(receivers.size(), logs.size()) << "each device is a receiver of its own";
}

TEST_F(GpsNetwork, GarbageAndEndlessLinesMoveNothingAndTheNextFixShows) {
    Peer peer;
    const int port = freePort();
    peer.listen(port);
    // 10 MB of noise, then 1 MB of a sentence that never ends, then a fix.
    std::string bytes(10u << 20, '\0');
    QRandomGenerator noise(13);
    noise.fillRange(reinterpret_cast<quint32*>(bytes.data()), bytes.size() / 4);
    for (std::string start = "$GPGLL,4916.45,N,12311.12,W,"; bytes.size() < (11u << 20);) {
        bytes += start;
    }
    peer.serve(bytes + "\r\n" + londonFix, false);

    TForm1& f = startUsing("tcp://127.0.0.1:" + std::to_string(port));
    // Well under a second natively; ThreadSanitizer takes some 16 s for the 11 MB.
    ASSERT_TRUE(statusBecomes(londonStatus, 40000))
        << qPrintable(shownFix().join('|') + statusDetail());
    EXPECT_EQ(f.lbNmea4->text(), QString::fromStdString(londonFix).trimmed());
    EXPECT_EQ(f.edFmLatDeg->text(), QStringLiteral("51"));
    EXPECT_TRUE(m_errors.isEmpty());
}

TEST_F(GpsNetwork, PeerGoneOrRefusedIsALineErrorUntilItReturns) {
    Peer peer;
    const int port = freePort();
    const std::string url = "tcp://127.0.0.1:" + std::to_string(port);
    TForm1& f = startUsing(url);
    int& errors = countErrors();
    ASSERT_TRUE(statusBecomes(serialError));
    EXPECT_EQ(statusDetail(), QString::fromStdString("Connection refused (" + url + ")"));
    EXPECT_TRUE(f.gps->serial()->Active()) << "retrying, as for an unplugged receiver";
    errors = 0;
    runEventLoopFor(2000);
    EXPECT_LE(errors, 3);

    peer.listen(port);
    peer.serve(londonFix, true);
    ASSERT_TRUE(statusBecomes(londonStatus));
    ASSERT_TRUE(statusBecomes(serialError));
    EXPECT_EQ(statusDetail(), QString::fromStdString("Connection reset by peer (" + url + ")"));
    peer.serve("$GPGLL,3843.2100,N,00908.4500,W,120001.00,A\r\n", false);
    EXPECT_TRUE(statusBecomes(QStringLiteral("New GPS data received at 12:00:01 UT")));
}

TEST_F(GpsNetwork, UnknownNameAndMalformedAddressesAreReported) {
    startUsing("tcp://no-such-host.invalid:2947");
    ASSERT_TRUE(statusBecomes(serialError, 30000));
    EXPECT_TRUE(statusDetail().endsWith(QStringLiteral(" (tcp://no-such-host.invalid:2947)")))
        << qPrintable(statusDetail());
    EXPECT_GT(statusDetail().size(), 40);

    for (const char* malformed : {"tcp://host", "tcp://:80", "gpsd://host:99999"}) {
        m_form.reset();
        startUsing(malformed);
        EXPECT_FALSE(m_form->gps->serial()->Active()) << malformed;
        EXPECT_EQ(statusDetail(),
                  QStringLiteral("Invalid argument (%1)").arg(QLatin1String(malformed)));
    }
}

} // namespace
