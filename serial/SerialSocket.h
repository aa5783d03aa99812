// NMEA from the network behind the serial platform layer: the receiver's own
// sentences as gpsd passes them on ("gpsd://HOST[:PORT][/DEVICE]") and a
// plain TCP stream of sentences ("tcp://HOST:PORT"). Framing, event thread
// and intake see the same bytes a serial receiver gives.
#pragma once

#include "SerialPlatform.h"

#include <memory>
#include <string>

namespace tessaro {

// What a port name asks for when it is a network source.
struct NetworkSource {
    bool gpsd = false;
    std::string host;
    std::string service; // the port number as text
    std::string device;  // gpsd only: the one device to watch, empty for all
};

enum class SourceName { device, network, malformed };

// Reads "gpsd://..." and "tcp://..."; anything else is a device path.
SourceName parseNetworkSource(const std::string& name, NetworkSource& source);

// Opens network sources itself and everything else on `devices`. A device
// that another program holds is read through the local gpsd when that gpsd
// has it (the port's route() then says "via gpsd").
std::shared_ptr<SerialPlatform> withNetworkSources(std::shared_ptr<SerialPlatform> devices);

// The TCP port of the local gpsd asked about held devices (2947); tests move it.
void setLocalGpsdPort(int port);

} // namespace tessaro
