// Line settings on Linux, kept apart because the kernel's termios2 header
// cannot be included together with the C library's <termios.h>.
#pragma once

#include "SerialPlatform.h"

#include <sys/types.h>

#include <cstddef>
#include <memory>

namespace tessaro {

// Every terminal request of the Linux layer goes through one of these, so a
// test can stand in for the modem lines that a pseudo-terminal lacks.
using IoctlFunction = int (*)(int fd, unsigned long request, void* arg);
int systemIoctl(int fd, unsigned long request, void* arg);

// And every read, so that a test can make one fail as a device that goes does.
using ReadFunction = ssize_t (*)(int fd, void* buffer, std::size_t size);
ssize_t systemRead(int fd, void* buffer, std::size_t size);

struct PosixCalls {
    IoctlFunction ioctl = systemIoctl;
    ReadFunction read = systemRead;
};

// The Linux serial layer, making its device calls through `calls`.
std::shared_ptr<SerialPlatform> posixSerialPlatform(const PosixCalls& calls);

// Applies speed, framing and flow control to the open device fd. Returns 0,
// the errno of the failed call, or the "not supported" code when DTR/DSR
// handshaking was asked for (everything else is applied all the same).
int posixApplyLineSettings(int fd, const LineSettings& settings, IoctlFunction ioctl);

} // namespace tessaro
