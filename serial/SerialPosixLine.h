// Line settings on Linux, kept apart because the kernel's termios2 header
// cannot be included together with the C library's <termios.h>.
#pragma once

#include "SerialPlatform.h"

namespace tessaro {

// Applies speed, framing and flow control to the open device fd. Returns 0,
// the errno of the failed call, or the "not supported" code when DTR/DSR
// handshaking was asked for (everything else is applied all the same).
int posixApplyLineSettings(int fd, const LineSettings& settings);

} // namespace tessaro
