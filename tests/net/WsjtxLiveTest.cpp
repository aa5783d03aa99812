// End to end with the real WSJT-X (Debian's wsjtx) on a private X server:
// GPS fixes into the window through a pseudo-terminal, and WSJT-X's own
// Status datagrams, read here from the multicast group it reports to, must
// carry each new square as its DE grid.
//
// TESSARO_WSJTX_SQUARES=n runs n square changes (default 5) and prints the
// median time from a fix written to WSJT-X's Status showing it
// (bench/wsjtx_latency.sh).
#include "Form1.h"
#include "GpsWindowFixture.h"
#include "Nmea.h"
#include "Pty.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QNetworkDatagram>
#include <QNetworkInterface>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUdpSocket>
#include <csignal>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace {

using tessaro::test::PseudoTerminal;
using tessaro::test::waitUntil;

// The DE grid of a Status datagram (type 1), read field by field from the
// format, or nothing for any other datagram.
std::optional<QByteArray> statusGrid(const QByteArray& d) {
    int at = 0;
    const auto u32 = [&]() -> quint32 {
        if (at + 4 > d.size()) {
            at = d.size() + 1;
            return 0;
        }
        const auto* b = reinterpret_cast<const uchar*>(d.constData() + at);
        at += 4;
        return (quint32(b[0]) << 24) | (quint32(b[1]) << 16) | (quint32(b[2]) << 8) | b[3];
    };
    const auto text = [&]() {
        const quint32 n = u32();
        if (n == 0xFFFFFFFFu || at > d.size()) {
            return QByteArray();
        }
        const QByteArray t = d.mid(at, static_cast<int>(n));
        at += static_cast<int>(n);
        return t;
    };
    const quint32 magic = u32();
    u32(); // schema
    if (magic != 0xADBCCBDAu || u32() != 1u) {
        return std::nullopt;
    }
    text();  // id
    at += 8; // dial frequency
    for (int i = 0; i < 4; ++i) {
        text(); // mode, DX call, report, Tx mode
    }
    at += 3 + 4 + 4; // three flags, Rx DF, Tx DF
    text();          // DE call
    const QByteArray grid = text();
    return at <= d.size() ? std::optional<QByteArray>(grid) : std::nullopt;
}

class WsjtxLive : public GpsWindowFixture {
protected:
    void SetUp() override {
        GpsWindowFixture::SetUp();
        if (QStandardPaths::findExecutable(QStringLiteral("wsjtx")).isEmpty()) {
            GTEST_SKIP() << "wsjtx is not installed (Debian package wsjtx; "
                            "scripts/deps.sh test installs it): the end-to-end test is skipped";
        }
        ASSERT_TRUE(pty.ok()) << pty.error();
        ASSERT_TRUE(home.isValid());
        {
            QUdpSocket probe; // a port nobody listens on, given back
            ASSERT_TRUE(probe.bind(QHostAddress::AnyIPv4, 0));
            port = probe.localPort();
        }
        // WSJT-X sends to a multicast group only on the interfaces its
        // settings name: the loopback here.
        QDir().mkpath(home.path() + QStringLiteral("/.config"));
        QFile ini(home.path() + QStringLiteral("/.config/WSJT-X.ini"));
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
        ini.write("[Configuration]\nMyCall=DL1ABC\nMyGrid=JN49\nAcceptUDPRequests=true\n"
                  "AutoGrid=true\nUDPServer=224.0.0.1\nUDPServerPort=" +
                  QByteArray::number(port) + "\nUDPInterface=lo\nUDPTTL=0\n");
        ini.close();
        ASSERT_TRUE(listener.bind(QHostAddress::AnyIPv4, port,
                                  QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint));
        for (const QNetworkInterface& nic : QNetworkInterface::allInterfaces()) {
            if ((nic.flags() & QNetworkInterface::IsLoopBack) != 0) {
                ASSERT_TRUE(
                    listener.joinMulticastGroup(QHostAddress(QStringLiteral("224.0.0.1")), nic));
            }
        }
    }

    void TearDown() override {
        if (wsjtx.state() != QProcess::NotRunning) {
            // Asked to close (Close, type 6), WSJT-X ends cleanly and gives
            // back its decoder's shared memory, which a killed one leaves behind.
            if (clientPort != 0) {
                const QByteArray close = QByteArray::fromHex("ADBCCBDA000000020000000600000006");
                listener.writeDatagram(close + "WSJT-X", client, clientPort);
                wsjtx.waitForFinished(15000);
            }
        }
        if (wsjtx.state() != QProcess::NotRunning) {
            // Its own process group: the X server, WSJT-X and its decoder.
            const auto group = -static_cast<pid_t>(wsjtx.processId());
            ::kill(group, SIGTERM);
            if (!wsjtx.waitForFinished(10000)) {
                ::kill(group, SIGKILL);
                wsjtx.waitForFinished(5000);
            }
        }
        GpsWindowFixture::TearDown();
    }

    void startWsjtx() {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("QT_QPA_PLATFORM")); // the tests' offscreen is not for it
        for (const char* name : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "TMPDIR"}) {
            env.remove(QLatin1String(name));
        }
        env.insert(QStringLiteral("HOME"), home.path());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.path() + QStringLiteral("/.config"));
        env.insert(QStringLiteral("TMPDIR"), home.path());
        wsjtx.setProcessEnvironment(env);
        wsjtx.setProcessChannelMode(QProcess::MergedChannels);
        wsjtx.setStandardOutputFile(home.path() + QStringLiteral("/wsjtx.log"));
        wsjtx.setChildProcessModifier([] { ::setpgid(0, 0); });
        wsjtx.start(QStringLiteral(TESSARO_WITH_XVFB), {QStringLiteral("wsjtx")});
        ASSERT_TRUE(wsjtx.waitForStarted());
    }

    // Waits for a Status whose DE grid is `grid`; false after `boundMs`.
    bool statusShows(const QByteArray& grid, int boundMs) {
        return waitUntil(
            [&] {
                while (listener.hasPendingDatagrams()) {
                    const QNetworkDatagram d = listener.receiveDatagram();
                    client = d.senderAddress();
                    clientPort = static_cast<quint16>(d.senderPort());
                    ++heard;
                    const auto shown = statusGrid(d.data());
                    lastGrid = shown ? *shown : lastGrid;
                    if (shown == grid) {
                        return true;
                    }
                }
                return false;
            },
            boundMs);
    }

    // What a failed wait saw, and what WSJT-X said.
    std::string seen() const {
        QFile log(home.path() + QStringLiteral("/wsjtx.log"));
        log.open(QIODevice::ReadOnly);
        return QStringLiteral("%1 datagrams, last DE grid \"%2\", WSJT-X %3; its output:\n%4")
            .arg(heard)
            .arg(QString::fromLatin1(lastGrid))
            .arg(wsjtx.state() == QProcess::Running ? QStringLiteral("running")
                                                    : QStringLiteral("ended"))
            .arg(QString::fromLocal8Bit(log.readAll().right(2000)))
            .toStdString();
    }

    PseudoTerminal pty;
    QTemporaryDir home;
    quint16 port = 0;
    QUdpSocket listener;
    QProcess wsjtx;
    QHostAddress client; // where WSJT-X sends from
    quint16 clientPort = 0;
    int heard = 0;
    QByteArray lastGrid;
};

// Fixes along 51°30.7712' N, 5' of longitude apart: one subsquare (5' wide)
// each. The squares by hand: (longitude + 180°) gives the field per 20°,
// the square per 2°, the subsquare per 5'; latitude + 90° likewise per 10°,
// 1° and 2.5' (51.51285° N: O, 1, (0.51285 * 24 = 12.3) m).
struct Fix {
    const char* longitude;
    char east;
    const char* grid;
};
const Fix walk[] = {
    {"00007.3456", 'W', "IO91WM"}, // 179.8776 = I 9 (1.8776 * 12 = 22.5) w
    {"00002.3456", 'W', "IO91XM"}, // 179.9609: (1.9609 * 12 = 23.5) x
    {"00002.6544", 'E', "JO01AM"}, // 180.0442: J 0 (0.0442 * 12 = 0.5) a
    {"00007.6544", 'E', "JO01BM"}, // 180.1276: 1.5 b
    {"00012.6544", 'E', "JO01CM"}, // 180.2109: 2.5 c
};

TEST_F(WsjtxLive, EachNewSquareBecomesWsjtxsGrid) {
    const QByteArray server = "224.0.0.1:" + QByteArray::number(port);
    TForm1& f = startUsing(pty.path(), 0, "LocatorUdp=1\nLocatorUdpServer=" + server + "\n");
    ASSERT_TRUE(f.cbLocatorUdp->isChecked());
    ASSERT_EQ(f.lbLocatorUdp->text(), QStringLiteral("Listening on %1: no WSJT-X or JTDX heard yet")
                                          .arg(QString::fromLatin1(server)));
    startWsjtx();
    // Its first Status carries the grid of its settings.
    ASSERT_TRUE(statusShows("JN49", 60000)) << seen();
    ASSERT_TRUE(waitUntil(
        [&] { return f.lbLocatorUdp->text() == QStringLiteral("WSJT-X: waiting for a GPS fix"); },
        20000))
        << qPrintable(f.lbLocatorUdp->text());

    const int squares = qEnvironmentVariableIntValue("TESSARO_WSJTX_SQUARES") > 0
                            ? qEnvironmentVariableIntValue("TESSARO_WSJTX_SQUARES")
                            : 5;
    std::vector<double> ms;
    for (int i = 0; i < squares; ++i) {
        // There and back along the walk, so that each fix is in a new square.
        const int cycle = 2 * (static_cast<int>(std::size(walk)) - 1);
        const int step = i % cycle;
        const Fix& fix = walk[step < static_cast<int>(std::size(walk)) ? step : cycle - step];
        char time[16];
        std::snprintf(time, sizeof time, "0930%02d.00", i % 60);
        const std::string sentence =
            tessaro::test::withChecksum(std::string("$GPGLL,5130.7712,N,") + fix.longitude + "," +
                                        fix.east + "," + time + ",A");
        while (listener.hasPendingDatagrams()) {
            listener.receiveDatagram(); // earlier Statuses count for nothing
        }
        QElapsedTimer clock;
        clock.start();
        ASSERT_TRUE(pty.send(sentence + "\r\n"));
        ASSERT_TRUE(statusShows(fix.grid, 10000))
            << "WSJT-X did not take " << fix.grid << ": " << seen();
        ms.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
        EXPECT_TRUE(waitUntil([&] {
            return f.lbLocatorUdp->text() == QStringLiteral("WSJT-X: ") + fix.grid;
        })) << qPrintable(f.lbLocatorUdp->text());
    }
    std::sort(ms.begin(), ms.end());
    std::printf("fix into the pseudo-terminal -> WSJT-X Status with the new grid: median %.1f ms "
                "over %d squares (min %.1f, max %.1f)\n",
                ms[ms.size() / 2], squares, ms.front(), ms.back());
}

} // namespace
