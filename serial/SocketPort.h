// A network source as a serial port on Linux: the connection (from the event
// thread, so that a slow name lookup never holds the window), the reconnects
// after a loss, and the reads. Also the connect and wait steps that the gpsd
// probe (GpsdProbe.h) shares.
#pragma once

#include "SerialPlatform.h"
#include "SourceAddress.h"

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>

namespace tessaro {

using SocketClock = std::chrono::steady_clock;

// The size of one read from a socket.
constexpr std::size_t socketReadChunk = 4096;

// Blocks at most the time left until deadline for fd to become ready for
// `events`; also returns (false) when wakefd (-1 for none) fires and stop()
// says so.
bool waitReady(int fd, short events, SocketClock::time_point deadline, int wakefd,
               const std::function<bool()>& stop);

// Connects a non-blocking stream socket to host:service, trying every address
// the name has. Returns the socket, or -1 with the reason in error: an errno
// value, or a negative resolver code (EAI_*) whose text errorText gives.
int connectTo(const std::string& host, const std::string& service, int wakefd,
              const std::function<bool()>& stop, int& error);

bool sendAll(int fd, const std::string& text);

// The port of `source`; `connected` is a socket already connected (and, for
// gpsd, watching), or -1 to connect from the first wait. `route` is what the
// port's route() says. On failure returns nullptr with the errno in error.
std::shared_ptr<SerialPort> makeSocketPort(NetworkSource source, int connected, std::string route,
                                           int& error);

} // namespace tessaro
