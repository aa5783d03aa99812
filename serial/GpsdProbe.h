// gpsd spoken to in its JSON protocol directly: one ?WATCH request in NMEA
// mode, and the probe that finds a device another program holds in the local
// gpsd. In NMEA mode gpsd passes an NMEA receiver's own sentences and makes
// sentences of its own ($GPRMC, $GPGGA, ...) from a binary one (SiRF, u-blox
// UBX, Garmin), whose packets raw mode would pass as hex dumps. libgps would
// add a library for that one line and would hand out its own parsed reports,
// not the sentences that the intake reads.
#pragma once

#include <string>

namespace tessaro {

// The address of the local gpsd.
constexpr const char* localGpsdHost = "127.0.0.1";

// The request that makes gpsd send NMEA of `device` (empty: of every device).
std::string watchRequest(const std::string& device);

// Asks the local gpsd whether it holds `path` (the same device node under
// any of its names). On yes, returns the connected socket, already watching
// that device, and gpsd's name for it; otherwise -1.
int watchThroughLocalGpsd(const std::string& path, std::string& gpsdName);

// The TCP port of the local gpsd asked about held devices (2947); tests move it.
void setLocalGpsdPort(int port);
int localGpsdPort();

} // namespace tessaro
