// Reads back the line settings of a terminal through termios2, which the
// C library's <termios.h> cannot include alongside.
#pragma once

namespace tessaro::test {

struct LineReadBack {
    bool ok = false;
    unsigned inputSpeed = 0;
    unsigned outputSpeed = 0;
    bool rtsCts = false;
    bool parityCheck = false;
    bool xonXoff = false; // both directions
    bool breakInterrupt = false;
    bool hangUpOnClose = false;
    bool local = false;
    bool receiver = false;
    bool raw = false; // no canonical input, echo or output processing
    unsigned char xonChar = 0;
    unsigned char xoffChar = 0;
    // What a pseudo-terminal keeps of the framing (it forces 8 bits, no PARENB).
    bool twoStopBits = false;
    bool parityOdd = false;
    bool stickParity = false; // CMSPAR: mark (with odd) or space
    bool markErrors = false;  // PARMRK without IGNPAR
    bool exclusive = false;   // TIOCEXCL
};

LineReadBack readLine(int fd);

// Stands in for the kernel's parity marking: with it off, bytes written to
// the master arrive exactly as written, marks included.
void stopMarking(int fd);

} // namespace tessaro::test
