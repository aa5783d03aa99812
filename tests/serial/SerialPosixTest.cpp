// The Linux serial layer's modem lines and the data bits, which a
// pseudo-terminal cannot show: its terminal requests go through a stand-in
// that plays the modem lines and notes what the layer asks of the device. And
// a read that fails, through a stand-in for read().
#include "Pty.h"
#include "SerialPosixLine.h"
#include "SerialTestSupport.h"

#include <asm/termbits.h>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace {

using tessaro::test::waitUntil;

struct Device {
    std::mutex mutex;
    int lines = 0; // what TIOCMGET reports
    std::vector<std::string> outputs;
    unsigned cflag = 0; // as last set
} device;

int deviceIoctl(int fd, unsigned long request, void* arg) {
    std::lock_guard<std::mutex> lock(device.mutex);
    switch (request) {
    case TIOCMGET:
        *static_cast<int*>(arg) = device.lines;
        return 0;
    case TIOCMBIS:
    case TIOCMBIC: {
        const int bits = *static_cast<int*>(arg);
        device.outputs.push_back(std::string(request == TIOCMBIS ? "raise " : "lower ") +
                                 (bits == TIOCM_DTR   ? "DTR"
                                  : bits == TIOCM_RTS ? "RTS"
                                                      : "?"));
        return 0;
    }
    case TCSETS2:
        device.cflag = static_cast<const termios2*>(arg)->c_cflag;
        break;
    default:
        break;
    }
    return ::ioctl(fd, request, arg);
}

TEST(SerialPosixLayer, ModemLinesAndDataBitsReachTheDevice) {
    tessaro::test::PseudoTerminal pty;
    ASSERT_TRUE(pty.ok()) << pty.error();
    {
        std::lock_guard<std::mutex> lock(device.mutex);
        device.lines = 0;
        device.outputs.clear();
    }
    std::vector<std::pair<eModemInSignal, bool>> changes;
    tessaro::test::ErrorBoxes boxes;
    {
        TSerial serial;
        serial.setPlatform(tessaro::posixSerialPlatform({deviceIoctl, tessaro::systemRead}));
        serial.SetPortResolver([path = pty.path()](int) { return path; });
        serial.OnSignalChange = [&](TSerial*, eModemInSignal signal, bool on) {
            changes.emplace_back(signal, on);
        };
        serial.SetParity(paEven);
        serial.SetActive(true); // 7 data bits by default
        ASSERT_TRUE(serial.Active());
        {
            std::lock_guard<std::mutex> lock(device.mutex);
            EXPECT_EQ(device.cflag & (CSIZE | PARENB), static_cast<unsigned>(CS7 | PARENB));
        }
        // One line at a time, then CTS off again: each change names its line.
        const std::pair<int, std::pair<eModemInSignal, bool>> steps[] = {
            {TIOCM_CTS, {siCTS, true}},
            {TIOCM_CTS | TIOCM_DSR, {siDSR, true}},
            {TIOCM_CTS | TIOCM_DSR | TIOCM_CD, {siRLSD, true}},
            {TIOCM_DSR | TIOCM_CD, {siCTS, false}},
        };
        for (const auto& [lines, change] : steps) {
            {
                std::lock_guard<std::mutex> lock(device.mutex);
                device.lines = lines;
            }
            const std::size_t before = changes.size();
            ASSERT_TRUE(waitUntil([&] { return changes.size() > before; })) << lines;
            EXPECT_EQ(changes.back(), change) << lines;
            EXPECT_EQ(changes.size(), before + 1) << lines;
        }
    }
    EXPECT_TRUE(boxes.shown.empty());
    std::lock_guard<std::mutex> lock(device.mutex);
    EXPECT_EQ(device.outputs,
              (std::vector<std::string>{"raise DTR", "raise RTS", "lower DTR", "lower RTS"}));
}

// Reads fail with EIO while set: the device has gone, though the line has
// not been hung up (a USB adapter whose driver fails the read first).
std::atomic<bool> readsFail{false};

ssize_t failingRead(int fd, void* buffer, std::size_t size) {
    if (readsFail) {
        errno = EIO;
        return -1;
    }
    return ::read(fd, buffer, size);
}

TEST(SerialPosixLayer, AFailedReadIsALineError) {
    tessaro::test::PseudoTerminal pty;
    ASSERT_TRUE(pty.ok()) << pty.error();
    tessaro::test::ErrorBoxes boxes;
    std::vector<std::string> messages;
    std::vector<int> errors;
    TSerial serial;
    serial.setPlatform(tessaro::posixSerialPlatform({tessaro::systemIoctl, failingRead}));
    serial.SetPortResolver([path = pty.path()](int) { return path; });
    serial.SetRxEventMode(rxMessage);
    serial.SetMessageStartChar('$');
    serial.SetMessageEndChar('\r');
    serial.OnMessage = [&](TSerial*, std::string m) { messages.push_back(std::move(m)); };
    serial.SetNotifyErrors(neEvent);
    serial.OnError = [&](TSerial* s) { errors.push_back(s->ErrorCode()); };
    serial.SetActive(true);
    ASSERT_TRUE(serial.Active());
    ASSERT_TRUE(pty.send("$A\r"));
    ASSERT_TRUE(waitUntil([&] { return messages.size() == 1; }));

    readsFail = true;
    ASSERT_TRUE(pty.send("$B\r"));
    const bool reported = waitUntil([&] { return !errors.empty(); });
    readsFail = false;
    ASSERT_TRUE(reported) << "a failed read passed for a line with nothing to read";
    EXPECT_EQ(errors.front(), EIO);
    EXPECT_EQ(messages.size(), 1u);
}

} // namespace
