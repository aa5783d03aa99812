// TSerial and TEventThread on the scriptable serial layer: the exact system
// calls of each sequence, failures of every step, modem lines, break and ring,
// the event order and the message framing.
#include "SerialFake.h"
#include "MessageFraming.h"
#include "SerialTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <thread>

using tessaro::FakeSerialPlatform;
using tessaro::test::ErrorBoxes;
using tessaro::test::runEventLoopFor;
using tessaro::test::waitUntil;
using Calls = std::vector<std::string>;

namespace {

#ifdef _WIN32
const std::string defaultDevice = "\\\\.\\COM1";
#else
const std::string defaultDevice = "/dev/ttyS0";
#endif
const Calls openCalls = {"open " + defaultDevice,
                         "setupQueues 1024 1024",
                         "lineSettings",
                         "timeouts",
                         "dtr on",
                         "rts on",
                         "arm 0x17d"};
const Calls closeCalls = {"purge", "dtr off", "rts off", "arm 0x0", "close"};

Calls concat(Calls a, const Calls& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

class SerialFake : public ::testing::Test {
protected:
    void SetUp() override {
        serial = std::make_unique<TSerial>();
        serial->setObjectName("Serial1");
        serial->setPlatform(fake);
        serial->SetNotifyErrors(neEvent);
        serial->OnError = [this](TSerial* sender) {
            EXPECT_EQ(sender, serial.get());
            errors.push_back(sender->ErrorCode());
        };
    }

    void openAndClearCalls() {
        serial->SetActive(true);
        ASSERT_TRUE(serial->Active());
        fake->clearCalls();
    }

    // Sets rxMessage framing and collects the delivered messages.
    void frameWith(char start, char end, std::uint16_t append) {
        serial->SetRxEventMode(rxMessage);
        serial->SetMessageStartChar(start);
        serial->SetMessageEndChar(end);
        serial->SetMessageAppendCount(append);
        serial->OnMessage = [this](TSerial*, std::string m) { messages.push_back(std::move(m)); };
    }

    // Waits, without running the event loop, until the event thread has
    // handed a notification to the main thread.
    bool notificationPosted() {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        while (serial->notificationsPending() == 0) {
            if (std::chrono::steady_clock::now() > deadline) {
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return true;
    }

    // Until the event thread waits for the line again with nothing left for
    // the main thread: every handler the events so far called has run.
    bool drained() {
        return waitUntil(
            [&] { return fake->waitUntilIdle({}) && serial->notificationsPending() == 0; });
    }

    // Pushes bytes and waits until the event thread has framed all of them
    // and their handlers have run.
    void feed(const std::string& bytes) {
        fake->pushBytes(bytes);
        ASSERT_TRUE(waitUntil([&] { return fake->rxQueued() == 0; }));
        ASSERT_TRUE(drained());
    }

    ErrorBoxes boxes; // never a modal box in a test
    std::shared_ptr<FakeSerialPlatform> fake = std::make_shared<FakeSerialPlatform>();
    std::unique_ptr<TSerial> serial;
    std::vector<int> errors;
    std::vector<std::string> messages;
};

TEST_F(SerialFake, DefaultsBeforeAnyWrite) {
    EXPECT_EQ(serial->Port(), 1);
    EXPECT_EQ(serial->Baudrate(), 9600);
    EXPECT_EQ(serial->Parity(), paNone);
    EXPECT_EQ(serial->DataBits(), d7bit);
    EXPECT_EQ(serial->StopBits(), st1bit);
    EXPECT_EQ(serial->RxQueueSize(), 1024);
    EXPECT_EQ(serial->TxQueueSize(), 1024);
    EXPECT_EQ(serial->FlowMode(), fcNone);
    EXPECT_TRUE(serial->CheckParity());
    EXPECT_EQ(serial->RxEventMode(), rxNormal);
    EXPECT_EQ(serial->MessageStartChar(), '\x02');
    EXPECT_EQ(serial->MessageEndChar(), '\x03');
    EXPECT_EQ(serial->MessageAppendCount(), 0);
    EXPECT_EQ(TSerial().NotifyErrors(), neDialog);
    EXPECT_EQ(serial->ErrorCode(), 0);
    EXPECT_FALSE(serial->Active());
    EXPECT_EQ(serial->devicePath(), defaultDevice);
    EXPECT_EQ(static_cast<int>(PaOdd), 1);
    EXPECT_EQ(static_cast<int>(fcXON_XOF), 3);
    EXPECT_EQ(static_cast<int>(neNone), 2);
    EXPECT_EQ(static_cast<int>(siRLSD), 2);
}

TEST_F(SerialFake, OpenWithDefaultsAppliesTheDefaultLine) {
    serial->SetActive(true);
    EXPECT_TRUE(serial->Active());
    EXPECT_EQ(fake->calls(), openCalls);
    const tessaro::LineSettings s = fake->lastLineSettings();
    EXPECT_EQ(s.length, 28u);
    EXPECT_EQ(s.baudRate, 9600);
    EXPECT_EQ(s.byteSize, 7);
    EXPECT_EQ(s.parity, tessaro::noParity);
    EXPECT_EQ(s.stopBits, tessaro::oneStopBit);
    EXPECT_TRUE(s.binary);
    EXPECT_TRUE(s.parityCheck);
    EXPECT_FALSE(s.outxCtsFlow || s.rtsHandshake || s.outxDsrFlow || s.dtrHandshake || s.outX ||
                 s.inX);
    EXPECT_EQ(s.xonLim, 341);
    EXPECT_EQ(s.xoffLim, 341);
    EXPECT_EQ(s.xonChar, 0x11);
    EXPECT_EQ(s.xoffChar, 0x13);
    EXPECT_EQ(s.errorChar, 0x3F);
    const tessaro::Timeouts t = fake->lastTimeouts();
    EXPECT_EQ(t.readInterval, 0xFFFFFFFFu);
    EXPECT_EQ(t.readTotalConstant, 0u);
    EXPECT_EQ(t.writeTotalConstant, 0u);
    EXPECT_TRUE(errors.empty());
}

TEST_F(SerialFake, CloseAndReopenSequences) {
    openAndClearCalls();
    serial->SetActive(true); // closes, then opens again
    EXPECT_EQ(fake->calls(), concat(closeCalls, openCalls));
    fake->clearCalls();
    serial->SetActive(false);
    EXPECT_FALSE(serial->Active());
    EXPECT_EQ(fake->calls(), closeCalls);
    fake->clearCalls();
    serial->SetActive(false);
    EXPECT_TRUE(fake->calls().empty()) << "closing a closed port makes no call";
}

struct PropertyWrite {
    const char* name;
    std::function<void(TSerial&)> write;
    bool reopens; // while open
};

class PropertyWrites : public SerialFake, public ::testing::WithParamInterface<PropertyWrite> {};

TEST_P(PropertyWrites, ReopenOnlyWhenTheTableSaysSo) {
    const PropertyWrite& row = GetParam();
    row.write(*serial); // closed: store only
    EXPECT_TRUE(fake->calls().empty());

    SetUp();
    openAndClearCalls();
    row.write(*serial);
    EXPECT_EQ(fake->calls(), row.reopens ? concat(closeCalls, Calls(openCalls)) : Calls());
    EXPECT_TRUE(serial->Active());
}

INSTANTIATE_TEST_SUITE_P(
    SerialFake, PropertyWrites,
    ::testing::Values(
        PropertyWrite{"PortSame", [](TSerial& s) { s.SetPort(1); }, false},
        PropertyWrite{"BaudrateSame", [](TSerial& s) { s.SetBaudrate(9600); }, false},
        PropertyWrite{"BaudrateInvalid", [](TSerial& s) { s.SetBaudrate(9601); }, false},
        PropertyWrite{"Baudrate256000", [](TSerial& s) { s.SetBaudrate(256000); }, true},
        PropertyWrite{"ParityOdd", [](TSerial& s) { s.SetParity(PaOdd); }, true},
        PropertyWrite{"ParitySame", [](TSerial& s) { s.SetParity(paNone); }, false},
        PropertyWrite{"DataBits8", [](TSerial& s) { s.SetDataBits(d8bit); }, true},
        PropertyWrite{"StopBits2", [](TSerial& s) { s.SetStopBits(st2bit); }, true},
        PropertyWrite{"FlowXonXoff", [](TSerial& s) { s.SetFlowMode(fcXON_XOF); }, true},
        PropertyWrite{"CheckParityOff", [](TSerial& s) { s.SetCheckParity(false); }, true},
        PropertyWrite{"CheckParitySame", [](TSerial& s) { s.SetCheckParity(true); }, false},
        PropertyWrite{"RxQueueSizeSame", [](TSerial& s) { s.SetRxQueueSize(1024); }, true},
        PropertyWrite{"TxQueueSizeSame", [](TSerial& s) { s.SetTxQueueSize(1024); }, true},
        PropertyWrite{"RxEventMode", [](TSerial& s) { s.SetRxEventMode(rxMessage); }, false},
        PropertyWrite{"MessageChars",
                      [](TSerial& s) {
                          s.SetMessageStartChar('$');
                          s.SetMessageEndChar('\r');
                          s.SetMessageAppendCount(2);
                      },
                      false},
        PropertyWrite{"NotifyErrors", [](TSerial& s) { s.SetNotifyErrors(neNone); }, false}),
    [](const ::testing::TestParamInfo<PropertyWrite>& info) { return info.param.name; });

TEST_F(SerialFake, PortWriteOpensTheResolvedDevice) {
    serial->SetPortResolver([](int port) { return "/dev/gps" + std::to_string(port); });
    openAndClearCalls();
    serial->SetPort(3);
    EXPECT_EQ(fake->lastPath(), "/dev/gps3");
    EXPECT_TRUE(serial->Active());
}

TEST_F(SerialFake, BaudrateValidation) {
    for (int rate : {110, 300, 600, 1200, 2400, 4800, 14400, 19200, 38400, 56000, 57600, 115200,
                     128000, 256000, 9600}) {
        serial->SetBaudrate(rate);
        EXPECT_EQ(serial->Baudrate(), rate);
    }
    EXPECT_TRUE(boxes.shown.empty());
    for (int rate : {9601, 0, -9600, 250000}) {
        serial->SetBaudrate(rate);
        EXPECT_EQ(serial->Baudrate(), 9600) << rate;
    }
    ASSERT_EQ(boxes.shown.size(), 4u);
    EXPECT_EQ(boxes.shown[0].first, "Error");
    EXPECT_EQ(boxes.shown[0].second, "Baudrate is not valid");
    EXPECT_EQ(serial->ErrorCode(), 0);
    EXPECT_TRUE(errors.empty()) << "NotifyErrors is not consulted";
}

struct LineRow {
    const char* name;
    std::function<void(TSerial&)> setup;
    std::function<void(const tessaro::LineSettings&)> check;
};

class LineMapping : public SerialFake, public ::testing::WithParamInterface<LineRow> {};

TEST_P(LineMapping, PropertiesBecomeDeviceValues) {
    GetParam().setup(*serial);
    serial->SetActive(true);
    GetParam().check(fake->lastLineSettings());
    EXPECT_EQ(serial->lineSettings().baudRate, fake->lastLineSettings().baudRate);
}

INSTANTIATE_TEST_SUITE_P(
    SerialFake, LineMapping,
    ::testing::Values(LineRow{"EightBitsEvenTwoStops",
                              [](TSerial& s) {
                                  s.SetDataBits(d8bit);
                                  s.SetParity(paEven);
                                  s.SetStopBits(st2bit);
                              },
                              [](const tessaro::LineSettings& l) {
                                  EXPECT_EQ(l.byteSize, 8);
                                  EXPECT_EQ(l.parity, tessaro::evenParity);
                                  EXPECT_EQ(l.stopBits, tessaro::twoStopBits);
                              }},
                      LineRow{"MarkAndSpace", [](TSerial& s) { s.SetParity(paSpace); },
                              [](const tessaro::LineSettings& l) {
                                  EXPECT_EQ(l.parity, tessaro::spaceParity);
                              }},
                      LineRow{"RtsCts", [](TSerial& s) { s.SetFlowMode(fcRTS_CTS); },
                              [](const tessaro::LineSettings& l) {
                                  EXPECT_TRUE(l.outxCtsFlow && l.rtsHandshake);
                                  EXPECT_FALSE(l.outxDsrFlow || l.dtrHandshake || l.outX || l.inX);
                              }},
                      LineRow{"DtrDsr", [](TSerial& s) { s.SetFlowMode(fcDTR_DSR); },
                              [](const tessaro::LineSettings& l) {
                                  EXPECT_TRUE(l.outxDsrFlow && l.dtrHandshake);
                                  EXPECT_FALSE(l.outxCtsFlow || l.rtsHandshake || l.outX || l.inX);
                              }},
                      LineRow{"XonXoff", [](TSerial& s) { s.SetFlowMode(fcXON_XOF); },
                              [](const tessaro::LineSettings& l) {
                                  EXPECT_TRUE(l.outX && l.inX);
                                  EXPECT_EQ(l.xonChar, 0x11);
                                  EXPECT_EQ(l.xoffChar, 0x13);
                              }},
                      LineRow{"NoParityCheck", [](TSerial& s) { s.SetCheckParity(false); },
                              [](const tessaro::LineSettings& l) { EXPECT_FALSE(l.parityCheck); }},
                      LineRow{"TinyRxQueue", [](TSerial& s) { s.SetRxQueueSize(2); },
                              [](const tessaro::LineSettings& l) {
                                  EXPECT_EQ(l.xonLim, 0);
                                  EXPECT_EQ(l.xoffLim, 0);
                              }}),
    [](const ::testing::TestParamInfo<LineRow>& info) { return info.param.name; });

TEST_F(SerialFake, WriteTimeoutStaysOnceAFlowModeWasApplied) {
    serial->SetFlowMode(fcRTS_CTS);
    serial->SetActive(true);
    EXPECT_EQ(fake->lastTimeouts().writeTotalConstant, 10000u);
    serial->SetFlowMode(fcNone);
    EXPECT_EQ(fake->lastTimeouts().writeTotalConstant, 10000u);
    EXPECT_EQ(fake->lastTimeouts().writeTotalMultiplier, 0u);
}

struct StepFailure {
    const char* name;
    tessaro::FakeSerialPlatform::Failures failures;
    bool activeAfterOpen;
    bool failsOnClose;
};

tessaro::FakeSerialPlatform::Failures failing(int tessaro::FakeSerialPlatform::Failures::*field) {
    tessaro::FakeSerialPlatform::Failures f;
    f.*field = EIO;
    return f;
}

class StepFailures : public SerialFake, public ::testing::WithParamInterface<StepFailure> {};

TEST_P(StepFailures, ReportedOnceLeavingTheDocumentedState) {
    const StepFailure& row = GetParam();
    fake->setFailures(row.failures);
    serial->SetActive(true);
    EXPECT_EQ(serial->Active(), row.activeAfterOpen);
    EXPECT_EQ(errors.size(), row.failsOnClose ? 0u : 1u);
    if (row.failsOnClose) {
        serial->SetActive(false);
        EXPECT_EQ(errors.size(), 1u);
    }
    EXPECT_EQ(serial->ErrorCode(), EIO);
    serial->SetActive(false);
    EXPECT_FALSE(serial->Active());
}

// A handler of the report, or the user acting while the error box of the
// default mode waits, closes the port: the sequence must stop there, and the
// port stays closed.
TEST_P(StepFailures, AHandlerThatClosesThePortLeavesItClosed) {
    const StepFailure& row = GetParam();
    fake->setFailures(row.failures);
    serial->OnError = [this](TSerial* s) {
        errors.push_back(s->ErrorCode());
        s->SetActive(false);
    };
    ErrorBoxes closingBoxes;
    closingBoxes.onShow = [this] { serial->SetActive(false); };
    for (eNotifyErr mode : {neEvent, neDialog}) {
        serial->SetNotifyErrors(mode);
        serial->SetActive(true);
        if (row.failsOnClose) {
            serial->SetActive(false);
        }
        EXPECT_FALSE(serial->Active()) << mode;
        EXPECT_FALSE(fake->isOpen()) << mode;
    }
    EXPECT_EQ(errors.size(), 1u);
    EXPECT_EQ(closingBoxes.shown.size(), 1u);
}

using F = tessaro::FakeSerialPlatform::Failures;
INSTANTIATE_TEST_SUITE_P(
    SerialFake, StepFailures,
    ::testing::Values(StepFailure{"Open", failing(&F::open), false, false},
                      StepFailure{"QueueSizes", failing(&F::setupQueues), true, false},
                      StepFailure{"LineSettings", failing(&F::lineSettings), true, false},
                      StepFailure{"Timeouts", failing(&F::timeouts), true, false},
                      StepFailure{"EventMask", failing(&F::arm), true, false},
                      StepFailure{"Purge", failing(&F::purge), true, true},
                      StepFailure{"Disarm", failing(&F::disarm), true, true},
                      StepFailure{"Close", failing(&F::close), true, true}),
    [](const ::testing::TestParamInfo<StepFailure>& info) { return info.param.name; });

TEST_F(SerialFake, FailedOpenDoesNothingFurther) {
    fake->setFailures(failing(&F::open));
    serial->SetActive(true);
    EXPECT_EQ(fake->calls(), Calls{"open " + defaultDevice});
}

TEST_F(SerialFake, NotifyErrorsChoosesTheReport) {
    fake->setFailures(failing(&F::open));
    {
        ErrorBoxes boxes;
        serial->SetNotifyErrors(neDialog);
        serial->SetActive(true);
        ASSERT_EQ(boxes.shown.size(), 1u);
        EXPECT_EQ(boxes.shown[0].first, "Error");
        EXPECT_EQ(boxes.shown[0].second, TSerial::ErrorText(EIO));
        EXPECT_TRUE(errors.empty());

        serial->SetNotifyErrors(neNone);
        F f;
        f.open = ENOENT;
        fake->setFailures(f);
        serial->SetActive(true);
        EXPECT_EQ(boxes.shown.size(), 1u);
        EXPECT_TRUE(errors.empty());
        EXPECT_EQ(serial->ErrorCode(), ENOENT);
    }
}

TEST(SerialErrorText, SystemTextWithoutTrailingPunctuation) {
#ifndef _WIN32 // Windows' own texts: SerialComTest
    EXPECT_EQ(TSerial::ErrorText(ENOENT), "No such file or directory");
    EXPECT_EQ(TSerial::ErrorText(EOPNOTSUPP), "Operation not supported");
#endif
    EXPECT_EQ(TSerial::ErrorText(987654), "");
    for (int code : {EIO, EACCES, EBUSY, EAGAIN}) {
        const std::string text = TSerial::ErrorText(code);
        ASSERT_FALSE(text.empty());
        EXPECT_NE(text.back(), '.');
        EXPECT_NE(text.back(), ' ');
    }
}

TEST_F(SerialFake, QueueCounts) {
    EXPECT_EQ(serial->RxWaiting(), 0);
    fake->setQueueCounts(5, 3);
    serial->SetActive(true);
    EXPECT_EQ(serial->RxWaiting(), 5);
    EXPECT_EQ(serial->TxWaiting(), 3);
    fake->setFailures(failing(&F::queueCounts));
    EXPECT_EQ(serial->RxWaiting(), 5) << "a failed query keeps the last counts";
    EXPECT_EQ(errors.size(), 1u);
    serial->SetActive(false);
    EXPECT_EQ(serial->RxWaiting(), 0);
    EXPECT_EQ(serial->TxWaiting(), 0);
}

TEST_F(SerialFake, CombinedEventsArriveInTheFixedOrder) {
    std::vector<std::string> seen;
    serial->OnSignalChange = [&](TSerial*, eModemInSignal signal, bool on) {
        seen.push_back(std::string(signal == siCTS   ? "CTS"
                                   : signal == siDSR ? "DSR"
                                                     : "RLSD") +
                       (on ? "+" : "-"));
    };
    serial->OnTxEmpty = [&](TSerial*) { seen.push_back("TxEmpty"); };
    serial->OnBreak = [&](TSerial*) { seen.push_back("Break"); };
    serial->OnRing = [&](TSerial*) { seen.push_back("Ring"); };
    serial->OnRxData = [&](TSerial*) { seen.push_back("RxData"); };
    fake->setModemStatus(tessaro::msCtsOn | tessaro::msRlsdOn);
    serial->SetActive(true);
    fake->pushEvents(tessaro::evRxChar | tessaro::evRing | tessaro::evBreak | tessaro::evTxEmpty |
                     tessaro::evRlsd | tessaro::evDsr | tessaro::evCts);
    ASSERT_TRUE(waitUntil([&] { return seen.size() == 7; }));
    EXPECT_EQ(seen, (std::vector<std::string>{"CTS+", "DSR-", "RLSD+", "TxEmpty", "Break", "Ring",
                                              "RxData"}));
}

TEST_F(SerialFake, ModemLineStatesFollowEachChange) {
    std::vector<std::pair<eModemInSignal, bool>> seen;
    serial->OnSignalChange = [&](TSerial*, eModemInSignal s, bool on) { seen.emplace_back(s, on); };
    serial->SetActive(true);
    fake->setModemStatus(tessaro::msDsrOn);
    fake->pushEvents(tessaro::evDsr);
    ASSERT_TRUE(waitUntil([&] { return seen.size() == 1; }));
    ASSERT_TRUE(fake->waitUntilIdle(std::chrono::seconds(2)));
    fake->setModemStatus(0);
    fake->pushEvents(tessaro::evDsr | tessaro::evCts);
    ASSERT_TRUE(waitUntil([&] { return seen.size() == 3; }));
    EXPECT_EQ(seen[0], std::make_pair(siDSR, true));
    EXPECT_EQ(seen[1], std::make_pair(siCTS, false));
    EXPECT_EQ(seen[2], std::make_pair(siDSR, false));
}

TEST_F(SerialFake, UnassignedHandlersAreSkipped) {
    int rings = 0;
    serial->OnRing = [&](TSerial*) { ++rings; };
    serial->SetActive(true);
    fake->pushEvents(tessaro::evBreak | tessaro::evCts | tessaro::evRing);
    ASSERT_TRUE(waitUntil([&] { return rings == 1; }));
}

struct FramingRow {
    const char* name;
    char start;
    char end;
    std::uint16_t append;
    std::string input;
    std::vector<std::string> expected;
};

class Framing : public SerialFake, public ::testing::WithParamInterface<FramingRow> {};

TEST_P(Framing, DeliversExactlyTheFramedMessages) {
    const FramingRow& row = GetParam();
    frameWith(row.start, row.end, row.append);
    serial->SetActive(true);
    feed(row.input);
    EXPECT_EQ(messages, row.expected);
}

using namespace std::string_literals;
const std::string tooLong = "\x02"s + std::string(5000, 'x');
const std::string atBound = "\x02"s + std::string(tessaro::maxMessageLength - 2, 'x') + "\x03";
const std::string pastBound = "\x02"s + std::string(tessaro::maxMessageLength - 1, 'x') + "\x03";

INSTANTIATE_TEST_SUITE_P(
    SerialFake, Framing,
    ::testing::Values(
        FramingRow{"SentenceAfterTwoBytes", '$', '\r', 0, "xy$GPGLL,1*1F\r\n", {"$GPGLL,1*1F\r"}},
        FramingRow{"StartRestarts",
                   2,
                   3,
                   0,
                   "\x02"
                   "ab\x02"
                   "cd\x03",
                   {"\x02"
                    "cd\x03"}},
        FramingRow{"StrayEndIsDropped", 2, 3, 0, "\x03zz\x03", {}},
        FramingRow{"TrailerTakesAnyByte",
                   2,
                   3,
                   2,
                   "\x02"
                   "A\x03$\x02",
                   {"\x02"
                    "A\x03$\x02"}},
        FramingRow{"StartEqualsEndNeverCompletes", '$', '$', 0, "$abc$def$", {}},
        FramingRow{"NulInsideStays",
                   2,
                   3,
                   0,
                   "\x02"
                   "a\0b\x03"s,
                   {"\x02"
                    "a\0b\x03"s}},
        FramingRow{"TwoMessagesInOneBurst", '$', '\r', 0, "$A\r\n$B\r\n", {"$A\r", "$B\r"}},
        FramingRow{
            "AfterDoneOnlyStartCounts", '$', '\r', 1, "$A\r\nxx\r$B\r!", {"$A\r\n", "$B\r!"}},
        FramingRow{
            "OverlongDroppedUntilNextStart", 2, 3, 0, tooLong + "\x03\x02ok\x03", {"\x02ok\x03"}},
        FramingRow{"MessageAtTheBoundIsKept", 2, 3, 0, atBound, {atBound}},
        FramingRow{"OneBytePastTheBoundIsDropped", 2, 3, 0, pastBound, {}}),
    [](const ::testing::TestParamInfo<FramingRow>& info) { return info.param.name; });

TEST_F(SerialFake, RxNormalReadsNothingAndCallsOncePerEvent) {
    int calls = 0;
    serial->OnRxData = [&](TSerial*) { ++calls; };
    serial->SetActive(true);
    fake->pushBytes("0123456789");
    ASSERT_TRUE(waitUntil([&] { return calls == 1; }));
    EXPECT_EQ(serial->RxWaiting(), 10);
    EXPECT_EQ(fake->rxQueued(), 10u);
}

TEST_F(SerialFake, UnassignedOnMessageLeavesBytesQueued) {
    frameWith('$', '\r', 0);
    serial->OnMessage = nullptr;
    serial->SetActive(true);
    fake->pushBytes("$AB");
    // The event loop must run: the thread asks the main thread about OnMessage.
    ASSERT_TRUE(drained());
    EXPECT_EQ(fake->rxQueued(), 3u);
    serial->OnMessage = [this](TSerial*, std::string m) { messages.push_back(std::move(m)); };
    feed("C\r");
    EXPECT_EQ(messages, std::vector<std::string>{"$ABC\r"});
}

TEST_F(SerialFake, HalfMessageContinuesAfterReopen) {
    frameWith('$', '\r', 0);
    serial->SetActive(true);
    feed("$GP");
    serial->SetActive(false);
    serial->SetActive(true);
    feed("GLL\r");
    EXPECT_EQ(messages, std::vector<std::string>{"$GPGLL\r"});
}

// A device that fails its wait is closed and opened anew once a second.
TEST_F(SerialFake, FailingWaitReopensTheDeviceOnceASecond) {
    serial->SetActive(true);
    const auto start = std::chrono::steady_clock::now();
    fake->setFailures(failing(&F::wait));
    ASSERT_TRUE(waitUntil([&] { return errors.size() >= 2; }, 3000));
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_GE(elapsed, std::chrono::milliseconds(900));
    EXPECT_LE(fake->waitsStarted(), static_cast<int>(errors.size()) + 3) << "no retry spin";
    const Calls calls = fake->calls();
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "open " + defaultDevice), 2);
    EXPECT_EQ(serial->ErrorCode(), EIO);
    EXPECT_TRUE(serial->Active());
    serial->SetActive(false);
    const std::size_t afterClose = errors.size();
    runEventLoopFor(300);
    EXPECT_EQ(errors.size(), afterClose) << "a closed port reports nothing";
}

// The error of a connection that the user closed while its report waited for
// the window thread is not shown afterwards, also not over a new connection.
TEST_F(SerialFake, ErrorSetAsideByACloseIsDropped) {
    serial->SetActive(true);
    fake->setFailures(failing(&F::wait));
    // The event loop does not run here, so the report waits for the window thread.
    ASSERT_TRUE(notificationPosted());
    serial->SetActive(false);
    fake->setFailures({});
    serial->SetActive(true);
    runEventLoopFor(300);
    EXPECT_TRUE(errors.empty());
    EXPECT_TRUE(serial->Active());
}

// A close and reopen continue a half message; a broken line does not.
TEST_F(SerialFake, HalfMessageEndsWhenTheLineFails) {
    frameWith('$', '\r', 0);
    serial->SetActive(true);
    feed("$GPGLL,4916.45,N,123");
    fake->setFailures(failing(&F::wait));
    ASSERT_TRUE(waitUntil([&] { return !errors.empty(); }));
    serial->SetActive(false);
    fake->setFailures({});
    serial->SetActive(true);
    feed("45.67,W,225444,A\r$A\r");
    EXPECT_EQ(messages, std::vector<std::string>{"$A\r"});
}

TEST_F(SerialFake, FailedReadWaitIsReported) {
    frameWith('$', '\r', 0);
    serial->SetActive(true);
    fake->setFailures(failing(&F::readWait));
    fake->pushBytes("$A\r");
    ASSERT_TRUE(waitUntil([&] { return !errors.empty(); }));
    EXPECT_EQ(serial->ErrorCode(), EIO);
    EXPECT_TRUE(messages.empty());
}

TEST_F(SerialFake, CloseDoesNotWaitForAPendingNotification) {
    std::vector<std::string> seen;
    serial->OnRing = [&](TSerial* s) { seen.push_back(s->Active() ? "Ring open" : "Ring"); };
    serial->OnRxData = [&](TSerial*) { seen.push_back("RxData"); };
    serial->SetActive(true);
    fake->pushEvents(tessaro::evRing | tessaro::evRxChar);
    // The event loop does not run here, so the thread waits for OnRing to run.
    ASSERT_TRUE(notificationPosted());
    const auto start = std::chrono::steady_clock::now();
    serial->SetActive(false);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1000));
    runEventLoopFor(100);
    EXPECT_TRUE(seen.empty()) << "set aside and dropped: nothing of a closed connection runs";
}

TEST_F(SerialFake, DestructionWithAPendingNotificationDoesNotHang) {
    int rings = 0;
    serial->OnRing = [&](TSerial*) { ++rings; };
    serial->SetActive(true);
    fake->pushEvents(tessaro::evRing);
    ASSERT_TRUE(notificationPosted());
    const auto start = std::chrono::steady_clock::now();
    serial.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1000));
    runEventLoopFor(50); // the dropped call must not run on the destroyed component
    EXPECT_EQ(rings, 0);
}

TEST_F(SerialFake, HandlerMayCloseThePort) {
    frameWith('$', '\r', 0);
    serial->OnMessage = [&](TSerial* s, std::string m) {
        messages.push_back(std::move(m));
        s->SetActive(false);
    };
    serial->SetActive(true);
    fake->pushBytes("$A\r");
    ASSERT_TRUE(waitUntil([&] { return messages.size() == 1 && !serial->Active(); }));
    EXPECT_FALSE(fake->isOpen());
}

// The event thread stops reading at the close: what came after the message
// that closed the port stays queued for the next connection.
TEST_F(SerialFake, HandlerCloseLeavesTheNextMessageQueued) {
    frameWith('$', '\r', 0);
    const TRxMessageEvent collect = serial->OnMessage;
    serial->OnMessage = [&](TSerial* s, std::string m) {
        collect(s, std::move(m));
        s->SetActive(false);
    };
    serial->SetActive(true);
    fake->pushBytes("$A\r$B\r");
    ASSERT_TRUE(waitUntil([&] { return messages.size() == 1 && !serial->Active(); }));
    serial->OnMessage = collect;
    serial->SetActive(true);
    fake->pushEvents(tessaro::evRxChar); // the device reports what it holds
    ASSERT_TRUE(waitUntil([&] { return messages.size() == 2; })) << fake->rxQueued();
    EXPECT_EQ(messages, (std::vector<std::string>{"$A\r", "$B\r"}));
}

TEST_F(SerialFake, HandlerThatThrowsDoesNotStrandTheEventThread) {
    int rxData = 0;
    serial->OnRing = [](TSerial*) { throw std::runtime_error("handler failed"); };
    serial->OnRxData = [&](TSerial*) { ++rxData; };
    serial->SetActive(true);
    fake->pushEvents(tessaro::evRing | tessaro::evRxChar);
    bool thrown = false;
    try {
        waitUntil([&] { return rxData == 1; });
    } catch (const std::runtime_error&) {
        thrown = true; // the application's general handler would show it
    }
    EXPECT_TRUE(thrown);
    EXPECT_TRUE(waitUntil([&] { return rxData == 1; })) << "the thread went on";
}

// 0 where the system has no /proc to count them in: the device check stands.
std::size_t threadsOfThisProcess() {
    std::size_t n = 0;
#ifdef __linux__
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/task")) {
        (void)entry;
        ++n;
    }
#endif
    return n;
}

// A component that is configured but never opened holds no thread, and its
// destruction touches no device.
TEST_F(SerialFake, NeverOpenedComponentNeverStartsItsThread) {
    const std::size_t before = threadsOfThisProcess();
    auto idle = std::make_unique<TSerial>();
    idle->setPlatform(fake);
    idle->SetBaudrate(4800);
    EXPECT_EQ(threadsOfThisProcess(), before);
    idle.reset();
    EXPECT_EQ(threadsOfThisProcess(), before);
    EXPECT_TRUE(fake->calls().empty());
}

} // namespace
