#include "SerialPosixLine.h"

// termios2 with BOTHER takes any speed as a number: 14400, 56000, 128000 and
// 256000 have no Bxxx constant. This header clashes with <termios.h>, hence
// this file of its own.
#include <asm/termbits.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>

namespace tessaro {

int systemIoctl(int fd, unsigned long request, void* arg) {
    return ::ioctl(fd, request, arg);
}

ssize_t systemRead(int fd, void* buffer, std::size_t size) {
    return ::read(fd, buffer, size);
}

int posixApplyLineSettings(int fd, const LineSettings& s, IoctlFunction ioctl) {
    struct termios2 t {};
    if (ioctl(fd, TCGETS2, &t) != 0) {
        return errno;
    }

    // Raw mode. No BRKINT: a break must not flush the queues or signal us.
    // IGNBRK keeps it from reading as a NUL byte inside a message; the break
    // counter that the event wait samples still counts it.
    t.c_iflag = IGNBRK;
    // Without PARMRK (and IGNPAR) the kernel hands on a byte that arrived
    // with a parity or framing error as NUL. Marked, it arrives as 0xFF 0x00
    // and the byte, and a real 0xFF doubled; the reader takes the marks off.
    if (s.parityCheck) {
        t.c_iflag |= INPCK | PARMRK;
    }
    if (s.outX) {
        t.c_iflag |= IXON;
    }
    if (s.inX) {
        t.c_iflag |= IXOFF;
    }
    t.c_oflag = 0;
    t.c_lflag = 0;

    // CLOCAL: a receiver without carrier detect still delivers. No HUPCL: the
    // close lowers DTR and RTS itself, as the open raised them.
    tcflag_t c = CLOCAL | CREAD;
    c |= s.byteSize == 8 ? CS8 : s.byteSize == 6 ? CS6 : s.byteSize == 5 ? CS5 : CS7;
    if (s.stopBits != oneStopBit) {
        c |= CSTOPB;
    }
    switch (s.parity) {
    case noParity:
        break;
    case oddParity:
        c |= PARENB | PARODD;
        break;
    case evenParity:
        c |= PARENB;
        break;
    case markParity: // CMSPAR makes the parity bit constant: PARODD gives 1
        c |= PARENB | CMSPAR | PARODD;
        break;
    case spaceParity:
        c |= PARENB | CMSPAR;
        break;
    }
    if (s.outxCtsFlow || s.rtsHandshake) {
        c |= CRTSCTS;
    }
    c |= BOTHER | (BOTHER << IBSHIFT);
    t.c_cflag = c;
    t.c_ispeed = static_cast<speed_t>(s.baudRate);
    t.c_ospeed = static_cast<speed_t>(s.baudRate);

    t.c_cc[VSTART] = static_cast<cc_t>(s.xonChar);
    t.c_cc[VSTOP] = static_cast<cc_t>(s.xoffChar);
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;

    // A pseudo-terminal silently keeps 8 data bits and drops PARENB; what the
    // driver reads back is not checked for that reason.
    if (ioctl(fd, TCSETS2, &t) != 0) {
        return errno;
    }

    // Linux has no DTR/DSR handshake.
    if (s.outxDsrFlow || s.dtrHandshake) {
        return EOPNOTSUPP;
    }
    return 0;
}

} // namespace tessaro
