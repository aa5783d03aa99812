// The network sources a port name may ask for: the receiver's own sentences
// as gpsd passes them on ("gpsd://HOST[:PORT][/DEVICE]") and a plain TCP
// stream of sentences ("tcp://HOST:PORT"). Plain C++ without Qt, so that the
// reading is tested and fuzzed on its own.
#pragma once

#include <string>

namespace tessaro {

// gpsd's TCP port where the name gives none.
constexpr int defaultGpsdPort = 2947;

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

// True when no quote, backslash or control character would break the JSON
// request that carries the text to gpsd.
bool isPlainText(const std::string& text);

} // namespace tessaro
