#include "PtyReadBack.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

namespace tessaro::test {

LineReadBack readLine(int fd) {
    LineReadBack r;
    struct termios2 t {};
    if (::ioctl(fd, TCGETS2, &t) != 0) {
        return r;
    }
    r.ok = true;
    r.inputSpeed = t.c_ispeed;
    r.outputSpeed = t.c_ospeed;
    r.rtsCts = (t.c_cflag & CRTSCTS) != 0;
    r.parityCheck = (t.c_iflag & INPCK) != 0;
    r.xonXoff = (t.c_iflag & IXON) && (t.c_iflag & IXOFF);
    r.breakInterrupt = (t.c_iflag & BRKINT) != 0;
    r.hangUpOnClose = (t.c_cflag & HUPCL) != 0;
    r.local = (t.c_cflag & CLOCAL) != 0;
    r.receiver = (t.c_cflag & CREAD) != 0;
    r.raw = !(t.c_lflag & (ICANON | ECHO | ISIG)) && !(t.c_oflag & OPOST);
    r.xonChar = t.c_cc[VSTART];
    r.xoffChar = t.c_cc[VSTOP];
    r.twoStopBits = (t.c_cflag & CSTOPB) != 0;
    r.parityOdd = (t.c_cflag & PARODD) != 0;
    r.stickParity = (t.c_cflag & CMSPAR) != 0;
    r.markErrors = (t.c_iflag & PARMRK) && !(t.c_iflag & IGNPAR);
    int exclusive = 0;
    r.exclusive = ::ioctl(fd, TIOCGEXCL, &exclusive) == 0 && exclusive != 0;
    return r;
}

void stopMarking(int fd) {
    struct termios2 t {};
    ::ioctl(fd, TCGETS2, &t);
    t.c_iflag &= ~PARMRK;
    ::ioctl(fd, TCSETS2, &t);
}

} // namespace tessaro::test
