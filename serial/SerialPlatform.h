// The operating system's serial interface as TSerial sees it: one abstract
// device (SerialPort) opened by a platform (SerialPlatform). The POSIX
// implementation is chosen in CMake; FakeSerialPlatform (tests/support/SerialFake.h) stands
// in for tests. Every operation returns 0 on success or the system error code
// of the failed call, so TSerial can record it in ErrorCode.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace tessaro {

// Line events, bit values as the event mask of the component uses them.
enum : std::uint32_t {
    evRxChar = 0x0001,
    evTxEmpty = 0x0004,
    evCts = 0x0008,
    evDsr = 0x0010,
    evRlsd = 0x0020,
    evBreak = 0x0040,
    evRing = 0x0100,
};

// Modem input line bits of modemStatus().
enum : std::uint32_t {
    msCtsOn = 0x0010,
    msDsrOn = 0x0020,
    msRingOn = 0x0040,
    msRlsdOn = 0x0080,
};

enum ParityCode : std::uint8_t { noParity = 0, oddParity, evenParity, markParity, spaceParity };
enum StopBitsCode : std::uint8_t { oneStopBit = 0, onePointFiveStopBits = 1, twoStopBits = 2 };

// The device control record, rebuilt from the properties before every
// application.
struct LineSettings {
    std::uint32_t length = 28;
    std::int32_t baudRate = 0;
    bool binary = false;
    bool parityCheck = false;
    bool outxCtsFlow = false;
    bool outxDsrFlow = false;
    bool dtrHandshake = false; // otherwise DTR control disabled
    bool rtsHandshake = false; // otherwise RTS control disabled
    bool outX = false;
    bool inX = false;
    std::uint16_t xonLim = 0;
    std::uint16_t xoffLim = 0;
    std::uint8_t byteSize = 0;
    ParityCode parity = noParity;
    StopBitsCode stopBits = oneStopBit;
    char xonChar = 0;
    char xoffChar = 0;
    char errorChar = 0;
    char eofChar = 0;
    char evtChar = 0;
};

// Read and write time-outs in milliseconds; readReturnsAtOnce as read
// interval with zero totals means "return at once with what has arrived".
constexpr std::uint32_t readReturnsAtOnce = 0xFFFFFFFF;

struct Timeouts {
    std::uint32_t readInterval = 0;
    std::uint32_t readTotalMultiplier = 0;
    std::uint32_t readTotalConstant = 0;
    std::uint32_t writeTotalMultiplier = 0;
    std::uint32_t writeTotalConstant = 0;
};

enum class ModemOutput { rts, dtr };

// One open device. The event thread calls waitEvents, modemStatus and readByte
// while the main thread may call armEvents(0) and close: implementations make
// those calls safe against each other.
class SerialPort {
public:
    virtual ~SerialPort() = default;

    virtual int setupQueues(std::uint16_t rxSize, std::uint16_t txSize) = 0;
    virtual int applyLineSettings(const LineSettings& settings) = 0;
    virtual int applyTimeouts(const Timeouts& timeouts) = 0;
    // The outcome is not reported: the driver may own the line.
    virtual void setModemOutput(ModemOutput line, bool on) = 0;
    // Mask 0 disarms and wakes a pending waitEvents at once.
    virtual int armEvents(std::uint32_t mask) = 0;
    // Blocks until an armed event occurs (occurred != 0), or returns with an
    // empty set once the events are disarmed or the port is closed.
    virtual int waitEvents(std::uint32_t& occurred) = 0;
    virtual int modemStatus(std::uint32_t& bits) = 0;
    // Takes at most one byte that has arrived, waiting at most 100 ms for a
    // read that does not complete at once. count is 0 or 1. A read that fails
    // outright yields count 0 and returns 0; only a failed wait for the read
    // returns its error code.
    virtual int readByte(unsigned char& byte, int& count) = 0;
    virtual int queueCounts(int& rxCount, int& txCount) = 0;
    // Cancels pending reads and writes; data already queued stays.
    virtual int purge() = 0;
    virtual int close() = 0;
    // How the bytes reach this port when not straight from the device named
    // ("via gpsd"); empty otherwise.
    virtual std::string route() const { return {}; }
    // Where a failure of this port lies when not at the device named (gpsd's
    // address for a device read through gpsd); empty otherwise.
    virtual std::string failureSource() const { return {}; }
    // True when the port gets its source back by itself after a failed wait
    // (a network source reconnects); otherwise the device is opened anew.
    virtual bool reconnects() const { return false; }
};

class SerialPlatform {
public:
    virtual ~SerialPlatform() = default;
    // Opens the existing device exclusively, for reads that never block. On
    // failure returns nullptr and sets error.
    virtual std::shared_ptr<SerialPort> open(const std::string& path, int& error) = 0;
    // The system's own description of an error code, as it gives it.
    virtual std::string errorText(int code) const = 0;
};

// The platform of this operating system (the file chosen in CMake): its
// devices, plus network sources where the system has them.
std::shared_ptr<SerialPlatform> systemSerialPlatform();

// The devices alone.
std::shared_ptr<SerialPlatform> deviceSerialPlatform();

// Error code for "operation not supported" on this system.
int notSupportedError();

} // namespace tessaro
