// TSerial on pseudo-terminal pairs: the real Linux serial layer, the event
// thread's wait and wake-up, and the framing of bytes written to the master.
#include "CpuTime.h"
#include "Pty.h"
#include "PtyReadBack.h"
#include "SerialTestSupport.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <fstream>
#include <thread>

using tessaro::test::ErrorBoxes;
using tessaro::test::processCpuSeconds;
using tessaro::test::PseudoTerminal;
using tessaro::test::readLine;
using tessaro::test::runEventLoopFor;
using tessaro::test::stopMarking;
using tessaro::test::waitUntil;
using namespace std::chrono_literals;

namespace {

class SerialPty : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(pty.ok()) << pty.error();
        serial = makeSerial();
    }

    void TearDown() override { serial.reset(); }

    std::unique_ptr<TSerial> makeSerial() {
        auto s = std::make_unique<TSerial>();
        s->setObjectName("Serial1");
        s->SetPortResolver([p = pty.path()](int) { return p; });
        s->SetNotifyErrors(neEvent);
        s->OnError = [this](TSerial* sender) { errors.push_back(sender->ErrorCode()); };
        return s;
    }

    void frameNmea() {
        serial->SetRxEventMode(rxMessage);
        serial->SetMessageStartChar('$');
        serial->SetMessageEndChar('\r');
        serial->SetMessageAppendCount(0);
        serial->OnMessage = [this](TSerial*, std::string m) { messages.push_back(std::move(m)); };
    }

    void send(const std::string& bytes) { ASSERT_TRUE(pty.send(bytes)); }

    ErrorBoxes boxes;
    PseudoTerminal pty; // before the component, which must close first
    std::unique_ptr<TSerial> serial;
    std::vector<int> errors;
    std::vector<std::string> messages;
};

TEST_F(SerialPty, OpenAppliesARawLineAndCloseReleasesTheDevice) {
    serial->SetActive(true);
    ASSERT_TRUE(serial->Active());
    EXPECT_TRUE(errors.empty()) << errors.front();
    const auto line = readLine(pty.slave());
    ASSERT_TRUE(line.ok);
    EXPECT_EQ(line.outputSpeed, 9600u);
    EXPECT_EQ(line.inputSpeed, 9600u);
    EXPECT_TRUE(line.raw);
    EXPECT_TRUE(line.local);
    EXPECT_TRUE(line.receiver);
    EXPECT_TRUE(line.parityCheck);
    EXPECT_FALSE(line.breakInterrupt);
    EXPECT_FALSE(line.hangUpOnClose);
    EXPECT_FALSE(line.rtsCts || line.xonXoff);
    EXPECT_TRUE(line.markErrors);
    EXPECT_TRUE(line.exclusive);

    serial->SetActive(false);
    EXPECT_FALSE(serial->Active());
    EXPECT_FALSE(readLine(pty.slave()).exclusive);
    const int other = ::open(pty.path().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(other, 0);
    EXPECT_EQ(::flock(other, LOCK_EX | LOCK_NB), 0) << "the lock went with the close";
    ::close(other);

    serial->SetActive(true);
    EXPECT_TRUE(serial->Active());
    EXPECT_TRUE(errors.empty());
}

TEST_F(SerialPty, EveryValidRateReachesTheDevice) {
    serial->SetActive(true);
    for (int rate : {110, 300, 600, 1200, 2400, 4800, 9600, 14400, 19200, 38400, 56000, 57600,
                     115200, 128000, 256000}) {
        serial->SetBaudrate(rate);
        const auto line = readLine(pty.slave());
        EXPECT_EQ(line.outputSpeed, static_cast<unsigned>(rate));
        EXPECT_EQ(line.inputSpeed, static_cast<unsigned>(rate));
    }
    EXPECT_TRUE(serial->Active());
    EXPECT_TRUE(errors.empty());
}

TEST_F(SerialPty, FlowControlAndParityCheckReachTheDevice) {
    serial->SetActive(true);
    serial->SetFlowMode(fcRTS_CTS);
    EXPECT_TRUE(readLine(pty.slave()).rtsCts);
    serial->SetFlowMode(fcXON_XOF);
    auto line = readLine(pty.slave());
    EXPECT_FALSE(line.rtsCts);
    EXPECT_TRUE(line.xonXoff);
    EXPECT_EQ(line.xonChar, 0x11);
    EXPECT_EQ(line.xoffChar, 0x13);
    serial->SetCheckParity(false);
    line = readLine(pty.slave());
    EXPECT_FALSE(line.parityCheck);
    EXPECT_FALSE(line.markErrors);
    // Of the framing a pseudo-terminal keeps PARODD, CMSPAR and CSTOPB.
    const struct {
        eParity parity;
        bool odd;
        bool stick;
    } parities[] = {
        {PaOdd, true, false}, {paEven, false, false}, {paMark, true, true}, {paSpace, false, true}};
    for (const auto& p : parities) {
        serial->SetParity(p.parity);
        line = readLine(pty.slave());
        EXPECT_EQ(line.parityOdd, p.odd) << p.parity;
        EXPECT_EQ(line.stickParity, p.stick) << p.parity;
    }
    EXPECT_FALSE(line.twoStopBits);
    serial->SetStopBits(st2bit);
    EXPECT_TRUE(readLine(pty.slave()).twoStopBits);
    EXPECT_TRUE(errors.empty());
    EXPECT_TRUE(serial->Active());
}

TEST_F(SerialPty, DtrDsrHandshakeIsReportedOnceAndThePortStaysOpen) {
    serial->SetFlowMode(fcDTR_DSR);
    serial->SetActive(true);
    EXPECT_TRUE(serial->Active());
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0], EOPNOTSUPP);
    EXPECT_EQ(readLine(pty.slave()).outputSpeed, 9600u) << "the rest was applied";
}

TEST_F(SerialPty, SecondOpenerIsKeptOut) {
    serial->SetActive(true);
    auto second = makeSerial();
    second->SetActive(true);
    EXPECT_FALSE(second->Active());
    // Busy, not "try again": the status line's tooltip shows this reason.
    EXPECT_EQ(errors, std::vector<int>{EBUSY});
    EXPECT_EQ(second->ErrorCode(), errors[0]);
    EXPECT_EQ(serial->ErrorCode(), 0);
    EXPECT_TRUE(serial->Active());
}

TEST_F(SerialPty, MissingDeviceIsReportedOnce) {
    serial->SetPortResolver(
        [](int port) { return "/dev/tessaro-missing-" + std::to_string(port); });
    serial->SetActive(true);
    EXPECT_FALSE(serial->Active());
    EXPECT_EQ(errors, std::vector<int>{ENOENT});
    EXPECT_EQ(serial->ErrorCode(), ENOENT);
}

// Anything but a terminal says so, rather than failing later with EPERM (a
// reason that sends the user to the permissions).
TEST_F(SerialPty, NotATerminalIsReportedAsSuch) {
    serial->SetPortResolver([](int) { return "/dev/null"; });
    serial->SetActive(true);
    EXPECT_FALSE(serial->Active());
    EXPECT_EQ(errors, std::vector<int>{ENOTTY});
}

TEST_F(SerialPty, DefaultPortNamesFollowTheResolver) {
    TSerial plain;
    EXPECT_EQ(plain.devicePath(), "/dev/ttyS0");
    plain.SetPort(4);
    EXPECT_EQ(plain.devicePath(), "/dev/ttyS3");
}

TEST_F(SerialPty, SentenceIsFramedFromDollarThroughCarriageReturn) {
    frameNmea();
    serial->SetActive(true);
    send("xy$GPGLL,5130.7712,N,00007.3456,W,093015.00,A*1F\r\n");
    ASSERT_TRUE(waitUntil([&] { return messages.size() == 1; }));
    EXPECT_EQ(messages[0], "$GPGLL,5130.7712,N,00007.3456,W,093015.00,A*1F\r");
}

// With parity checking on, the kernel marks a byte received with a parity or
// framing error (0xFF 0x00 and the byte) and doubles a real 0xFF; the message
// gets the bytes as they were received, not NUL for the damaged one.
TEST_F(SerialPty, ParityErrorsKeepTheReceivedByte) {
    frameNmea();
    serial->SetActive(true);
    send("$A\xFF"
         "B\r");
    ASSERT_TRUE(waitUntil([&] { return messages.size() == 1; }));
    // A pseudo-terminal has no parity errors: the test writes the marks itself.
    stopMarking(pty.slave());
    send(std::string("$\xFF\x00"
                     "C\xFF\xFF\xFF\x00\xFF\r",
                     10));
    ASSERT_TRUE(waitUntil([&] { return messages.size() == 2; }));
    EXPECT_EQ(messages, (std::vector<std::string>{"$A\xFF"
                                                  "B\r",
                                                  "$C\xFF\xFF\r"}));
}

TEST_F(SerialPty, RecordedSentencesArriveOneMessageEach) {
    std::ifstream in(TESSARO_NMEA_SAMPLE, std::ios::binary);
    ASSERT_TRUE(in) << "no recording at " << TESSARO_NMEA_SAMPLE;
    std::vector<std::string> sentences;
    std::string line;
    while (sentences.size() < 300 && std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (line.size() > 1 && line[0] == '$' && line.find('$', 1) == std::string::npos) {
            sentences.push_back(line + "\r");
        }
    }
    frameNmea();
    serial->SetActive(true);
    for (std::size_t i = 0; i < sentences.size(); ++i) {
        // Keep the backlog well inside the pty's buffer.
        ASSERT_TRUE(waitUntil([&] { return messages.size() + 20 >= i; }));
        send(sentences[i] + "\n");
    }
    ASSERT_TRUE(waitUntil([&] { return messages.size() >= sentences.size(); }, 10000));
    EXPECT_EQ(messages, sentences);
}

// The tty may wake its readers twice for one write (the data can reach the
// line discipline in two pieces), so this counts events loosely; the fake
// shows the exact once-per-event rule.
TEST_F(SerialPty, ReceivedDataModeLeavesTheBytesAndDoesNotSpin) {
    int calls = 0;
    serial->OnRxData = [&](TSerial*) { ++calls; };
    serial->SetActive(true);
    send("0123456789");
    ASSERT_TRUE(waitUntil([&] { return calls >= 1 && serial->RxWaiting() == 10; }));
    runEventLoopFor(200);
    EXPECT_LE(calls, 2) << "unread bytes must not keep raising events";
    EXPECT_EQ(serial->TxWaiting(), 0);
    const int before = calls;
    send("abc");
    ASSERT_TRUE(waitUntil([&] { return calls > before && serial->RxWaiting() == 13; }));
    serial->SetActive(false);
    EXPECT_EQ(serial->RxWaiting(), 0);
}

TEST_F(SerialPty, UnassignedOnMessageReadsNothing) {
    frameNmea();
    serial->OnMessage = nullptr;
    serial->SetActive(true);
    send("$GP");
    ASSERT_TRUE(waitUntil([&] { return serial->RxWaiting() == 3; }));
    runEventLoopFor(100);
    EXPECT_EQ(serial->RxWaiting(), 3);
    serial->OnMessage = [this](TSerial*, std::string m) { messages.push_back(std::move(m)); };
    send("GLL\r");
    ASSERT_TRUE(waitUntil([&] { return messages.size() == 1; }));
    EXPECT_EQ(messages[0], "$GPGLL\r");
}

TEST_F(SerialPty, HalfMessageContinuesAfterCloseAndReopen) {
    frameNmea();
    serial->SetActive(true);
    send("$GP");
    ASSERT_TRUE(waitUntil([&] { return serial->RxWaiting() == 0; }));
    serial->SetActive(false);
    serial->SetActive(true);
    send("GLL\r");
    ASSERT_TRUE(waitUntil([&] { return messages.size() == 1; }));
    EXPECT_EQ(messages[0], "$GPGLL\r");
}

TEST_F(SerialPty, HangUpIsReportedWithoutSpinning) {
    serial->SetActive(true);
    pty.hangUp();
    ASSERT_TRUE(waitUntil([&] { return !errors.empty(); }));
    EXPECT_EQ(errors[0], EIO);
    const std::size_t first = errors.size();
    const double cpuBefore = processCpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    runEventLoopFor(1000);
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double cpu = processCpuSeconds() - cpuBefore;
    const std::size_t reports = errors.size() - first;
    // The device is opened anew once a second; a new reason is reported once.
    EXPECT_LE(reports, 2u);
    EXPECT_LT(cpu, 0.3 * wall) << "the failing port must not burn a core";
    EXPECT_TRUE(serial->Active());
    serial->SetActive(false);
    EXPECT_FALSE(serial->Active());
}

TEST_F(SerialPty, CloseTakesMilliseconds) {
    frameNmea();
    std::atomic<bool> stop{false};
    std::thread writer([&] {
        const std::string sentence = "$GPGLL,5130.7712,N,00007.3456,W,093015.00,A*1F\r\n";
        while (!stop) {
            pty.sendSome(sentence);
            std::this_thread::sleep_for(1ms);
        }
    });
    std::vector<std::chrono::steady_clock::duration> took;
    for (int i = 0; i < 20; ++i) {
        const std::size_t before = messages.size();
        serial->SetActive(true);
        ASSERT_TRUE(waitUntil([&] { return messages.size() > before; })); // mid-stream
        const auto start = std::chrono::steady_clock::now();
        serial->SetActive(false);
        took.push_back(std::chrono::steady_clock::now() - start);
    }
    stop = true;
    writer.join();
    std::sort(took.begin(), took.end());
    EXPECT_LT(took[took.size() / 2], 75ms) << "the close must not wait a whole poll period";
    EXPECT_LT(took.back(), 1000ms);
    EXPECT_FALSE(messages.empty());
    EXPECT_TRUE(errors.empty());
}

TEST_F(SerialPty, DestructionWhileDataStreams) {
    frameNmea();
    std::atomic<bool> stop{false};
    std::thread writer([&] {
        while (!stop) {
            pty.sendSome("$A\r\n");
            std::this_thread::sleep_for(200us);
        }
    });
    for (int i = 0; i < 10; ++i) {
        auto s = makeSerial();
        s->SetRxEventMode(rxMessage);
        s->SetMessageStartChar('$');
        s->SetMessageEndChar('\r');
        int got = 0;
        s->OnMessage = [&](TSerial*, std::string) { ++got; };
        s->SetActive(true);
        EXPECT_TRUE(waitUntil([&] { return got > 0; }));
        s.reset();
    }
    stop = true;
    writer.join();
    EXPECT_TRUE(errors.empty());
}

} // namespace
