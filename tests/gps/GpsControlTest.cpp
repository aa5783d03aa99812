// The GPS source control on the real window, with the serial component on
// its fake serial layer; and the port number to device mapping.
#include "Application.h"
#include "Form1.h"
#include "GpsSource.h"
#include "GpsWindowFixture.h"
#include "Serial4.h"
#include "SerialFake.h"
#include "Widgets.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <algorithm>
#include <cerrno>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using tessaro::FakeSerialPlatform;

class GpsControl : public GpsWindowFixture {
protected:
    // First start: GPS Off, port closed.
    TForm1& startWithFake() { return startWindow(true); }
    QString statusDetail() const {
        return m_form->sb->findChild<QLabel*>(QStringLiteral("sbText"))->toolTip();
    }
    // The error boxes shown while act runs, as "caption|text".
    static QStringList boxesOf(const std::function<void()>& act) {
        QStringList boxes;
        const TApplication::ErrorPresenter previous =
            TApplication::setErrorPresenter([&](const QString& caption, const QString& text) {
                boxes << caption + QLatin1Char('|') + text;
            });
        act();
        TApplication::setErrorPresenter(previous);
        return boxes;
    }
};

TEST_F(GpsControl, Serial1DeliversMessagesAndErrorsAsEvents) {
    TForm1& f = startWithFake();
    ASSERT_NE(f.gps, nullptr);
    EXPECT_EQ(f.gps->serial()->objectName(), QStringLiteral("Serial1"));
    EXPECT_EQ(f.gps->serial()->parent(), f.gps);
    EXPECT_EQ(f.gps->serial()->RxEventMode(), rxMessage);
    EXPECT_EQ(f.gps->serial()->NotifyErrors(), neEvent);
    EXPECT_TRUE(static_cast<bool>(f.gps->serial()->OnMessage));
    EXPECT_TRUE(static_cast<bool>(f.gps->serial()->OnError));
    EXPECT_FALSE(f.gps->serial()->Active()); // first start: Off
}

// Port, speed and use come from the store one after the other; the port
// opens once, at the speed stored (a network source connects once).
TEST_F(GpsControl, StartUpOpensThePortOnce) {
    writeStoreText(firstTenValues() + "comport=1\ncomspeed=4\ntarget=0\n");
    TForm1& f = startWithFake();
    const std::vector<std::string> calls = fake->calls();
    EXPECT_EQ(std::count_if(calls.begin(), calls.end(),
                            [](const std::string& call) { return call.rfind("open ", 0) == 0; }),
              1);
    EXPECT_TRUE(f.gps->serial()->Active());
    EXPECT_EQ(fake->lastLineSettings().baudRate, 19200);
}

struct LineRow {
    const char* name;
    int portIndex;
    int speedIndex;
    int port;
    int baudrate;
};

class PortAndSpeed : public GpsControl, public ::testing::WithParamInterface<LineRow> {};

TEST_P(PortAndSpeed, OpenTheTablePortWithEightDataBitsAndNmeaFraming) {
    const LineRow& row = GetParam();
    TForm1& f = startWithFake();
    f.comPortIndex = row.portIndex;
    f.comSpeedIndex = row.speedIndex;
    f.gpsTarget = 0;
    f.OpenGpsPort();
    ASSERT_TRUE(f.gps->serial()->Active());
    EXPECT_TRUE(fake->isOpen());
    EXPECT_EQ(f.gps->serial()->Port(), row.port);
    EXPECT_EQ(f.gps->serial()->Baudrate(), row.baudrate);
    const tessaro::LineSettings line = fake->lastLineSettings();
    EXPECT_EQ(line.baudRate, row.baudrate);
    EXPECT_EQ(line.byteSize, 8);
    EXPECT_FALSE(line.parityCheck);
    EXPECT_EQ(line.parity, tessaro::noParity);
    EXPECT_EQ(line.stopBits, tessaro::oneStopBit);
    EXPECT_FALSE(line.outxCtsFlow || line.outxDsrFlow || line.outX || line.inX);
    EXPECT_EQ(f.gps->serial()->MessageStartChar(), '$');
    EXPECT_EQ(f.gps->serial()->MessageEndChar(), '\r');
    EXPECT_EQ(f.gps->serial()->MessageAppendCount(), 0);
    EXPECT_EQ(fake->lastPath(), f.gps->serial()->devicePath());
    EXPECT_EQ(f.rgComport->Button(row.port - 1)->toolTip().toStdString(), fake->lastPath());
}

INSTANTIATE_TEST_SUITE_P(
    Table, PortAndSpeed,
    ::testing::Values(LineRow{"Port1At1200", 0, 0, 1, 1200}, LineRow{"Port2At2400", 1, 1, 2, 2400},
                      LineRow{"Port3At4800", 2, 2, 3, 4800}, LineRow{"Port4At9600", 3, 3, 4, 9600},
                      LineRow{"Speed19k2", 0, 4, 1, 19200}, LineRow{"Speed38k4", 0, 5, 1, 38400},
                      LineRow{"NoSelectionFallsBack", -1, -1, 2, 4800},
                      LineRow{"BeyondTheTablesFallsBack", 4, 6, 2, 4800}),
    [](const ::testing::TestParamInfo<LineRow>& info) { return std::string(info.param.name); });

TEST_F(GpsControl, EveryChangeReopensAndOffClosesForGood) {
    TForm1& f = startWithFake();
    f.rgGpsTarget->SetItemIndex(0);
    ASSERT_TRUE(fake->isOpen());
    fake->clearCalls();
    f.rgComspeed->SetItemIndex(3);
    EXPECT_EQ(fake->lastLineSettings().baudRate, 9600);
    const auto calls = fake->calls();
    ASSERT_FALSE(calls.empty());
    EXPECT_NE(std::find_if(calls.begin(), calls.end(),
                           [](const std::string& c) { return c.rfind("close", 0) == 0; }),
              calls.end())
        << "the running connection is closed first";

    f.rgGpsTarget->SetItemIndex(2);
    EXPECT_FALSE(fake->isOpen());
    EXPECT_FALSE(f.gps->serial()->Active());
    f.rgComport->SetItemIndex(2);
    f.rgComspeed->SetItemIndex(5);
    EXPECT_EQ(f.comPortIndex, 2);
    EXPECT_EQ(f.comSpeedIndex, 5);
    EXPECT_FALSE(fake->isOpen());
}

TEST_F(GpsControl, ExitClosesThePortBeforeTheWindow) {
    TForm1& f = startWithFake();
    f.rgGpsTarget->SetItemIndex(1);
    ASSERT_TRUE(fake->isOpen());
    f.Button1Click(f.Button1);
    EXPECT_FALSE(fake->isOpen());
    EXPECT_FALSE(f.isVisible());
}

TEST_F(GpsControl, FailedOpenShowsSerialIoErrorWithTheSystemsReason) {
    TForm1& f = startWithFake();
    FakeSerialPlatform::Failures failures;
    failures.open = EBUSY;
    fake->setFailures(failures);
    f.rgGpsTarget->SetItemIndex(0);
    EXPECT_TRUE(f.gps->serial()->Active()) << "tried again until the holder lets go";
    EXPECT_EQ(f.sb->SimpleText(), QStringLiteral("Serial I/O Error..."));
#ifdef _WIN32 // the system's text for the code, whatever it means there
    EXPECT_TRUE(statusDetail().contains(QString::fromStdString(TSerial::ErrorText(EBUSY))))
#else
    EXPECT_TRUE(statusDetail().contains(QStringLiteral("Device or resource busy")))
#endif
        << qPrintable(statusDetail());
    // The use and the locks stay; the user recovers by another choice.
    EXPECT_EQ(f.gpsTarget, 0);
    EXPECT_FALSE(f.edFmLatDeg->isEnabled());

    fake->setFailures({});
    f.rgComport->SetItemIndex(1);
    EXPECT_TRUE(f.gps->serial()->Active());
    EXPECT_TRUE(statusDetail().isEmpty());
    EXPECT_TRUE(m_errors.isEmpty());
}

TEST_F(GpsControl, ARaisingComponentGetsTheBoxAndThePortStaysClosed) {
    TForm1& f = startWithFake();
    const QStringList boxes = boxesOf([&f] {
        f.gps->serial()->SetPortResolver(
            [](int) -> std::string { throw std::runtime_error("no ports"); });
        f.rgComport->SetItemIndex(1);
        f.rgGpsTarget->SetItemIndex(0);
    });
    // One box: the error went no further.
    EXPECT_EQ(boxes,
              QStringList{QStringLiteral("Error|COM2: not valid or in use; no GPS data is read.\r"
                                         "Check the hardware, or choose another port.")});
    EXPECT_FALSE(f.gps->serial()->Active());
    EXPECT_FALSE(fake->isOpen());
    EXPECT_EQ(f.gpsTarget, 0);
}

// The serial component's own boxes take the application's one way too.
TEST_F(GpsControl, SerialComponentBoxesReachTheApplicationsPresenter) {
    const QStringList boxes = boxesOf([] { TSerial().SetBaudrate(12345); });
    EXPECT_EQ(boxes, QStringList{QStringLiteral("Error|Baudrate is not valid")});
}

TEST_F(GpsControl, ComDeviceSettingsNameThePortsAndAreNeverWritten) {
    writeStoreText(firstTenValues() +
                   "target=2\nComDevice2=/dev/gps-test\nComDevice3=/dev/a, /dev/b\n");
    TForm1& f = startWithFake();
    ASSERT_TRUE(m_errors.isEmpty()) << qPrintable(m_errors.join(QLatin1Char('\n')));
    EXPECT_EQ(f.rgComport->Button(1)->toolTip(), QStringLiteral("/dev/gps-test"));
    // A value that is no text is taken as not set.
    EXPECT_FALSE(f.rgComport->Button(2)->toolTip().isEmpty());
    EXPECT_FALSE(f.rgComport->Button(2)->toolTip().startsWith(QStringLiteral("/dev/a")));
    f.rgComport->SetItemIndex(1);
    f.rgGpsTarget->SetItemIndex(1);
    EXPECT_EQ(fake->lastPath(), "/dev/gps-test");

    f.close();
    finish();
    const auto store = readStore();
    EXPECT_EQ(store.value(QStringLiteral("ComDevice2")).toString(),
              QStringLiteral("/dev/gps-test"));
    EXPECT_FALSE(store.contains(QStringLiteral("ComDevice1")));
    EXPECT_FALSE(store.contains(QStringLiteral("ComDevice4")));
}

} // namespace
