// NMEA from the network behind the serial platform layer: the receiver's own
// sentences as gpsd passes them on ("gpsd://HOST[:PORT][/DEVICE]") and a
// plain TCP stream of sentences ("tcp://HOST:PORT"). Framing, event thread
// and intake see the same bytes a serial receiver gives.
#pragma once

#include "SerialPlatform.h"

#include <memory>

namespace tessaro {

// Opens network sources itself and everything else on `devices`. A device
// that another program holds is read through the local gpsd when that gpsd
// has it (the port's route() then says "via gpsd").
std::shared_ptr<SerialPlatform> withNetworkSources(std::shared_ptr<SerialPlatform> devices);

} // namespace tessaro
