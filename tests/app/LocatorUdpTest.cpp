// The window's UDP server against a fake WSJT-X on the loopback: datagrams
// written out by hand from the format, what comes back, and what the user reads.
#include "LocatorUdp.h"
#include "Wait.h"

#include <QNetworkDatagram>
#include <QNetworkInterface>
#include <QUdpSocket>

#include <gtest/gtest.h>

#include <memory>

namespace {

using tessaro::test::waitUntil;

QByteArray hex(const char* digits) {
    return QByteArray::fromHex(QByteArray(digits).replace(' ', ""));
}

// Heartbeat of "WSJT-X", schema 3: max schema 3, version 2.6.1, revision "".
const QByteArray heartbeat = hex("ADBCCBDA 00000003 00000000 00000006") + "WSJT-X" +
                             hex("00000003 00000005") + "2.6.1" + hex("00000000");

// Its Status up to the DE grid: 14.074 MHz FT8, no DX call or report, Tx off,
// Rx DF 1500, Tx DF 1500, DE call DL1ABC, then the grid.
QByteArray status(const char* grid) {
    const QByteArray g(grid);
    return hex("ADBCCBDA 00000003 00000001 00000006") + "WSJT-X" + hex("0000000000D6C090") +
           hex("00000003") + "FT8" + hex("FFFFFFFF FFFFFFFF 00000003") + "FT8" +
           hex("00 00 00 000005DC 000005DC 00000006") + "DL1ABC" + hex("000000") + char(g.size()) +
           g;
}

QByteArray location(const char* locator) {
    return hex("ADBCCBDA 00000003 0000000B 00000006") + "WSJT-X" + hex("00000006") + locator;
}

quint16 freePort() {
    QUdpSocket probe;
    probe.bind(QHostAddress::AnyIPv4, 0);
    return probe.localPort();
}

class FakeWsjtx {
public:
    FakeWsjtx() { socket.bind(QHostAddress::LocalHost, 0); }
    void send(const QByteArray& bytes, const QString& server, quint16 port) {
        socket.writeDatagram(bytes, QHostAddress(server), port);
    }
    // The next datagram that arrives, or empty.
    QByteArray next() {
        if (!waitUntil([this] { return socket.hasPendingDatagrams(); })) {
            return {};
        }
        return socket.receiveDatagram().data();
    }
    QUdpSocket socket;
};

TEST(LocatorUdp, AClientGetsTheLocatorAndTheUserReadsWhatItTook) {
    const quint16 port = freePort();
    const QString server = QStringLiteral("127.0.0.1:%1").arg(port);
    LocatorUdp udp;
    udp.configure(true, server);
    ASSERT_TRUE(udp.listening()) << qPrintable(udp.statusText());
    EXPECT_EQ(udp.statusText(),
              QStringLiteral("Listening on %1: no WSJT-X or JTDX heard yet").arg(server));
    udp.setOwnLocator("jn58td12");

    FakeWsjtx wsjtx;
    wsjtx.send(heartbeat, QStringLiteral("127.0.0.1"), port);
    EXPECT_EQ(wsjtx.next(), location("JN58TD"));
    EXPECT_EQ(udp.statusText(), QStringLiteral("WSJT-X: JN58TD sent"));
    wsjtx.send(status("JN58TD"), QStringLiteral("127.0.0.1"), port);
    EXPECT_TRUE(waitUntil([&] { return udp.statusText() == QStringLiteral("WSJT-X: JN58TD"); }))
        << qPrintable(udp.statusText());

    // The same field left as it was keeps the client; a new square reaches it.
    udp.configure(true, server + QStringLiteral(" "));
    udp.setOwnLocator("JN58TE");
    EXPECT_EQ(wsjtx.next(), location("JN58TE"));
    // A WSJT-X that ignores it (AutoGrid off) says so in its next Status.
    wsjtx.send(status("JN58TD"), QStringLiteral("127.0.0.1"), port);
    EXPECT_TRUE(waitUntil([&] {
        return udp.statusText() ==
               QStringLiteral("WSJT-X keeps JN58TD, not JN58TE: turn on Accept UDP requests and "
                              "AutoGrid there");
    })) << qPrintable(udp.statusText());

    udp.configure(false, server);
    EXPECT_FALSE(udp.listening());
    EXPECT_EQ(udp.statusText(), QString());
}

TEST(LocatorUdp, ATakenPortOrABadTextIsToldNotListenedOn) {
    QUdpSocket other;
    ASSERT_TRUE(other.bind(QHostAddress::LocalHost, 0, QUdpSocket::DontShareAddress));
    LocatorUdp udp;
    udp.configure(true, QStringLiteral("127.0.0.1:%1").arg(other.localPort()));
    EXPECT_FALSE(udp.listening());
    EXPECT_EQ(udp.statusText(),
              QStringLiteral("Port %1 is taken by another program. Use a multicast address such "
                             "as 224.0.0.1:%1, here and as WSJT-X's UDP Server.")
                  .arg(other.localPort()));

    for (const char* text : {"", "127.0.0.1", "127.0.0.1:0", "127.0.0.1:65536", "wsjtx:2237",
                             "127.0.0.1:22x7", ":2237", "[::1:2237"}) {
        udp.configure(true, QString::fromLatin1(text));
        EXPECT_FALSE(udp.listening()) << text;
        EXPECT_EQ(udp.statusText(),
                  QStringLiteral("\"%1\" is no address and port such as 127.0.0.1:2237 or "
                                 "224.0.0.1:2237")
                      .arg(QString::fromLatin1(text)));
    }
}

// Two servers share a multicast group's port, and each reaches the client
// that sends to the group on the loopback.
TEST(LocatorUdp, AMulticastGroupIsSharedAndHeardOnTheLoopback) {
    const quint16 port = freePort();
    const QString group = QStringLiteral("224.0.0.1:%1").arg(port);
    LocatorUdp first;
    LocatorUdp second;
    first.configure(true, group);
    second.configure(true, group);
    ASSERT_TRUE(first.listening()) << qPrintable(first.statusText());
    ASSERT_TRUE(second.listening()) << qPrintable(second.statusText());
    first.setOwnLocator("IO91WM");

    FakeWsjtx wsjtx;
    for (const QNetworkInterface& nic : QNetworkInterface::allInterfaces()) {
        if ((nic.flags() & QNetworkInterface::IsLoopBack) != 0) {
            wsjtx.socket.setMulticastInterface(nic);
        }
    }
    wsjtx.send(heartbeat, QStringLiteral("224.0.0.1"), port);
    EXPECT_EQ(wsjtx.next(), location("IO91WM"));
    EXPECT_TRUE(waitUntil([&] { return !second.statusText().contains(QStringLiteral("yet")); }));
    EXPECT_EQ(second.statusText(), QStringLiteral("WSJT-X: waiting for a GPS fix"));
}

} // namespace
