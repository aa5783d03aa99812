// The whole road of a GPS sentence: bytes written into a pseudo-terminal's
// master, the window's Serial1 on its slave (named by the ComDevice1
// setting), and what the window shows.
#include "CpuTime.h"
#include "Form1.h"
#include "GpsSource.h"
#include "GpsWindowFixture.h"
#include "Nmea.h"
#include "Pty.h"
#include "PtyReadBack.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>

namespace {

using tessaro::test::processCpuSeconds;
using tessaro::test::PseudoTerminal;
using tessaro::test::readLine;
using tessaro::test::runEventLoopFor;
using tessaro::test::waitUntil;

class GpsLive : public GpsWindowFixture {
protected:
    void SetUp() override {
        GpsWindowFixture::SetUp();
        ASSERT_TRUE(pty.ok()) << pty.error();
    }

    void send(const std::string& bytes) { ASSERT_TRUE(pty.send(bytes)); }

    PseudoTerminal pty;
};

TEST_F(GpsLive, StartUpOpensThePortAndAFixReachesBothPages) {
    TForm1& f = startUsing(pty.path());
    ASSERT_TRUE(f.gps->serial()->Active());
    const auto line = readLine(pty.slave());
    EXPECT_EQ(line.inputSpeed, 4800u);
    EXPECT_FALSE(line.parityCheck);
    EXPECT_EQ(f.rgComport->Button(0)->toolTip(), QString::fromStdString(pty.path()));

    f.edToQTH->setText(QStringLiteral("JN49kw"));
    // Other sentences and the line feed pass without a trace.
    send("$GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1*39\r\n" + londonFix);
    ASSERT_TRUE(statusBecomes(londonStatus)) << qPrintable(f.sb->SimpleText());
    EXPECT_EQ(f.edFmLatDeg->text(), QStringLiteral("51"));
    EXPECT_EQ(f.edFmLatSec->text(), QStringLiteral("46"));
    EXPECT_EQ(f.edFmLonMin->text(), QStringLiteral("7"));
    EXPECT_EQ(f.rgFmLon->ItemIndex(), 1);
    EXPECT_EQ(f.edFmQth->text(), QStringLiteral("io91wm"));
    EXPECT_EQ(f.lbNmea4->text(), QString::fromStdString(londonFix).trimmed());
    EXPECT_EQ(f.lbNmea3->text(), QStringLiteral("---"));
    EXPECT_FALSE(f.lbDist->text().isEmpty());
    // io91wm to JN49kw, square centres (51.521 N, 49.938 N):
    // 111.3 km * sqrt(1.583^2 + 9.0^2 cos 51.521 cos 49.938) = 657.9 km,
    // in the stored unit nautical miles.
    EXPECT_EQ(f.lbDist2->text(), QStringLiteral("355.3 nm"));
    EXPECT_EQ(f.gps->intake().countdown(), 4);
    EXPECT_TRUE(m_errors.isEmpty());
}

// A receiver without GLL (RMC and GGA each epoch), its lines ended by LF
// alone as in stored logs and some phone apps: one fix an epoch, and the
// monitor shows the sentence each came from.
TEST_F(GpsLive, RmcAndGgaWithLineFeedsAloneGiveOneFixAnEpoch) {
    TForm1& f = startUsing(pty.path());
    std::string bytes;
    for (const char* time : {"093014.00", "093015.00"}) {
        bytes += tessaro::test::withChecksum(std::string("$GNRMC,") + time +
                                             ",A,5130.7712,N,00007.3456,W,0.0,0.0,091226,,,A") +
                 "\n";
        bytes += tessaro::test::withChecksum(std::string("$GNGGA,") + time +
                                             ",5130.7712,N,00007.3456,W,1,08,0.9,45.0,M,47.0,M,,") +
                 "\n";
    }
    send(bytes);
    ASSERT_TRUE(statusBecomes(londonStatus)) << qPrintable(f.sb->SimpleText());
    EXPECT_EQ(f.edFmLatSec->text(), QStringLiteral("46"));
    EXPECT_EQ(f.edFmQth->text(), QStringLiteral("io91wm"));
    EXPECT_TRUE(f.lbNmea3->text().startsWith(QStringLiteral("$GNRMC,093014.00,A,")));
    EXPECT_TRUE(f.lbNmea4->text().startsWith(QStringLiteral("$GNRMC,093015.00,A,")));
    EXPECT_EQ(f.gps->intake().countdown(), 3);
}

// Bytes at a wrong speed: after a few seconds the status line says what is
// wrong, and the monitor, which said "Off", waits for the source.
TEST_F(GpsLive, BytesThatAreNotNmeaAskForAnotherSpeed) {
    TForm1& f = startUsing(pty.path(), 2);
    double now = 0;
    f.gps->setClock([&now] { return now; });
    EXPECT_EQ(f.lbNmea1->text(), QStringLiteral("Off"));
    f.rgGpsTarget->SetItemIndex(0);
    f.rgGpsTargetClick(nullptr);
    EXPECT_EQ(f.lbNmea1->text(), QStringLiteral("---"));
    // Bytes at the wrong speed: every one arrives, none frames as NMEA.
    const std::string noise = "\x9a\xe6~x\xf8\x80\x86\xfe\x98x\r";
    ASSERT_TRUE(pty.send(noise));
    ASSERT_TRUE(waitUntil([&] { return f.gps->serial()->bytesReceived() >= noise.size(); }));
    now = 6; // five seconds without a sentence
    f.gps->lookAtLine();
    EXPECT_EQ(f.sb->SimpleText(), QStringLiteral("Data from %1 is not NMEA: check the speed")
                                      .arg(QString::fromStdString(pty.path())));
}

TEST_F(GpsLive, ABurstArrivesWholeAndInOrder) {
    TForm1& f = startUsing(pty.path(), 1);
    std::string burst;
    for (int i = 0; i < 60; ++i) {
        char sentence[64];
        std::snprintf(sentence, sizeof sentence, "$GPGLL,5130.%04d,N,00007.3456,W,0930%02d,A\r\n",
                      i, i);
        burst += sentence;
    }
    send(burst);
    ASSERT_TRUE(statusBecomes(QStringLiteral("New GPS data received at 09:30:59 UT")));
    EXPECT_EQ(f.lbNmea1->text(), QStringLiteral("$GPGLL,5130.0056,N,00007.3456,W,093056,A"));
    EXPECT_EQ(f.lbNmea4->text(), QStringLiteral("$GPGLL,5130.0059,N,00007.3456,W,093059,A"));
    EXPECT_EQ(f.edToLatSec->text(), QStringLiteral("0"));
}

// Damaged lines from the receiver: each shows in the monitor and as INVALID,
// and none moves the start point (what the pages show is what gets saved).
TEST_F(GpsLive, DamagedLinesNeverMoveThePosition) {
    using namespace std::string_literals;
    TForm1& f = startUsing(pty.path());
    send(londonFix);
    ASSERT_TRUE(statusBecomes(londonStatus));
    const auto startPoint = [&f] {
        QStringList texts;
        for (const QLineEdit* e : {f.edFmLatDeg, f.edFmLatMin, f.edFmLatSec, f.edFmLonDeg,
                                   f.edFmLonMin, f.edFmLonSec, f.edFmQth}) {
            texts << e->text();
        }
        return texts << f.lbDist->text() << QString::number(f.gps->intake().countdown());
    };
    const QStringList before = startPoint();
    const std::string damaged[] = {
        // Minutes "::" read as 110; the edit field cut them to "11".
        "$GPGLL,51::.7712,N,00007.3456,W,093016.00,A\r\n",
        // A right checksum over impossible minutes.
        "$GPGLL,5130.7712,N,00099.3456,W,093017.00,A*1A\r\n",
        "$GPGLL,5130.7712,N,00/07.3456,W,093018.00,A\r\n",
        // A NUL run took the line past the node's capacity: the wrong checksum
        // behind it was cut off, and with it any proof of the damage.
        "$GPGLL,5230.7712,N,00007.3456,W,093019.00,A"s + std::string(600, '\0') + "*00\r\n",
    };
    for (int i = 0; i < 4; ++i) {
        send(damaged[i]);
        ASSERT_TRUE(
            statusBecomes(QStringLiteral("GPS data from 09:30:%1 UT is INVALID!").arg(16 + i)))
            << i << " " << qPrintable(f.sb->SimpleText());
        EXPECT_EQ(startPoint(), before) << i;
        EXPECT_TRUE(f.lbNmea4->text().startsWith(QStringLiteral("$GPGLL,5"))) << i;
    }
}

TEST_F(GpsLive, SpeedChangeReopensAtTheNewSpeed) {
    TForm1& f = startUsing(pty.path());
    f.rgComspeed->SetItemIndex(4);
    EXPECT_TRUE(f.gps->serial()->Active());
    EXPECT_EQ(readLine(pty.slave()).inputSpeed, 19200u);
    send(londonFix);
    EXPECT_TRUE(statusBecomes(londonStatus));
}

TEST_F(GpsLive, OffClosesThePortAndFreesTheDevice) {
    TForm1& f = startUsing(pty.path());
    send(londonFix);
    ASSERT_TRUE(statusBecomes(londonStatus));
    f.rgGpsTarget->SetItemIndex(2);
    EXPECT_FALSE(f.gps->serial()->Active());
    EXPECT_EQ(f.lbNmea1->text(), QStringLiteral("Off"));
    EXPECT_TRUE(f.lbNmea4->text().isEmpty());
    EXPECT_EQ(f.sb->SimpleText(), QStringLiteral(" "));

    const int other = ::open(pty.path().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(other, 0) << "the device is no longer held exclusively";
    EXPECT_EQ(::flock(other, LOCK_EX | LOCK_NB), 0);
    ::close(other);

    send(londonFix);
    runEventLoopFor(200);
    EXPECT_TRUE(f.lbNmea4->text().isEmpty());
    EXPECT_EQ(f.sb->SimpleText(), QStringLiteral(" "));
}

// Off chosen while the receiver's sentences queue up: a sentence of the old
// connection handed over before the close must not show up afterwards.
TEST_F(GpsLive, NothingOfAClosedConnectionReachesTheWindow) {
    TForm1& f = startUsing(pty.path());
    std::string backlog;
    while (backlog.size() < 3000) {
        backlog += "$GPGLL,5230.000,N,00107.000,E,101010,A\r\n";
    }
    send(backlog);
    ASSERT_TRUE(waitUntil([&] { return f.edFmLatDeg->text() == QStringLiteral("52"); }));
    f.edFmLatDeg->setText(QStringLiteral("51"));
    // Without running the event loop: the event thread now waits for the
    // window to take the next sentence.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    while (f.gps->serial()->notificationsPending() == 0 &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_GT(f.gps->serial()->notificationsPending(), 0u);
    f.rgGpsTarget->SetItemIndex(2);
    runEventLoopFor(200);
    EXPECT_EQ(f.lbNmea1->text(), QStringLiteral("Off"));
    EXPECT_TRUE(f.lbNmea4->text().isEmpty());
    EXPECT_EQ(f.sb->SimpleText(), QStringLiteral(" "));
    EXPECT_EQ(f.edFmLatDeg->text(), QStringLiteral("51")) << "no fix landed after the close";
}

TEST_F(GpsLive, MissingDeviceShowsSerialIoErrorAndTheWindowGoesOn) {
    TForm1& f = startUsing(m_dir.path().toStdString() + "/no-such-receiver");
    EXPECT_TRUE(f.gps->serial()->Active()) << "waiting for the receiver";
    EXPECT_EQ(f.sb->SimpleText(), serialError);
    EXPECT_TRUE(statusDetail().contains(QStringLiteral("No such file or directory")))
        << qPrintable(statusDetail());
    EXPECT_TRUE(m_errors.isEmpty());

    f.rgGpsTarget->SetItemIndex(2);
    EXPECT_EQ(f.sb->SimpleText(), QStringLiteral(" "));
    EXPECT_TRUE(statusDetail().isEmpty());
    ASSERT_TRUE(f.BitBtn1->isEnabled());
    f.BitBtn1->click();
    EXPECT_FALSE(f.lbDist->text().isEmpty());
}

TEST_F(GpsLive, ClosingTheMasterMidStreamShowsTheErrorWithoutSpinning) {
    TForm1& f = startUsing(pty.path());
    send(londonFix);
    ASSERT_TRUE(statusBecomes(londonStatus));
    int& errors = countErrors();
    pty.hangUp(); // the receiver is unplugged
    ASSERT_TRUE(statusBecomes(serialError));
    errors = 0;
    const double cpuBefore = processCpuSeconds();
    runEventLoopFor(1000);
    const double cpuUsed = processCpuSeconds() - cpuBefore;
    EXPECT_LE(errors, 12) << "a failing line is retried at most about ten times a second";
    EXPECT_LT(cpuUsed, 0.5) << "the event thread must not spin";
    EXPECT_EQ(f.sb->SimpleText(), serialError);

    // Still in the user's hands: Off closes the port at once.
    QElapsedTimer closing;
    closing.start();
    f.rgGpsTarget->SetItemIndex(2);
    EXPECT_LT(closing.elapsed(), 1000);
    EXPECT_FALSE(f.gps->serial()->Active());
    EXPECT_EQ(f.sb->SimpleText(), QStringLiteral(" "));
}

// The receiver's stable name (as under /dev/serial/by-id/) is a link: missing
// at the start, then plugged in, unplugged, and plugged in again as a new
// device under the same name. Each time the fixes come back without a click.
TEST_F(GpsLive, AReceiverMissingAtStartOrPluggedInAgainFeedsWithoutAClick) {
    const std::string link = m_dir.path().toStdString() + "/usb-GNSS_receiver-if00";
    TForm1& f = startUsing(link);
    ASSERT_TRUE(statusBecomes(serialError));
    EXPECT_EQ(statusDetail(), QString::fromStdString("No such file or directory (" + link + ")"));

    int fixes = 0;
    // Plugged in under the link: sends a new fix until the window shows it.
    auto plugIn = [&](PseudoTerminal& receiver) {
        ASSERT_TRUE(receiver.ok()) << receiver.error();
        ASSERT_EQ(::symlink(receiver.path().c_str(), link.c_str()), 0);
        const int second = 20 + fixes++;
        const std::string fix = tessaro::test::withChecksum("$GPGLL,4807.0380,N,01131.0000,E,1200" +
                                                            std::to_string(second) + ".00,A") +
                                "\r\n";
        const QString shown = QStringLiteral("New GPS data received at 12:00:%1 UT").arg(second);
        EXPECT_TRUE(waitUntil(
            [&] {
                receiver.sendSome(fix);
                return f.sb->SimpleText() == shown;
            },
            5000))
            << qPrintable(f.sb->SimpleText() + " " + statusDetail());
        EXPECT_EQ(f.edFmLatDeg->text(), QStringLiteral("48"));
        EXPECT_EQ(f.edFmLonMin->text(), QStringLiteral("31"));
        EXPECT_TRUE(statusDetail().isEmpty()) << qPrintable(statusDetail());
    };
    plugIn(pty);

    // Unplugged: the error, and no spin while the receiver is gone.
    ASSERT_EQ(::unlink(link.c_str()), 0);
    pty.close();
    ASSERT_TRUE(statusBecomes(serialError));
    int& errors = countErrors();
    const double cpuBefore = processCpuSeconds();
    runEventLoopFor(1500);
    EXPECT_LT(processCpuSeconds() - cpuBefore, 0.3) << "the event thread must not spin";
    EXPECT_LE(errors, 2) << "each reason is reported once, not at every attempt";
    EXPECT_TRUE(statusDetail().endsWith(QString::fromStdString(" (" + link + ")")))
        << qPrintable(statusDetail());

    PseudoTerminal again;
    plugIn(again);
    EXPECT_TRUE(f.gps->serial()->Active());
    EXPECT_TRUE(m_errors.isEmpty());
}

} // namespace
