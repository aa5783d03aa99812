// Which device a GPS port number (1 to 4 on the GPS page) opens: the one place
// that knows the platforms' device names (TSerial's default resolver uses it).
// Plain C++: no Qt, no window.
#pragma once

#include <string>
#include <vector>

namespace tessaro {

// Port n opens, in this order of choice:
//  1. explicitDevices[n-1] when it is not empty (the "ComDevice<n>" settings);
//  2. the n-th entry, in sorted order, of byIdDirectory (the stable names that
//     udev gives USB serial adapters and GPS receivers);
//  3. /dev/ttyS<n-1>, the n-th built-in serial port.
// On Windows port n is COM<n> unless explicitDevices names another device.
// A port below 1 has no device (empty path, which fails to open).
class PortMap {
public:
    PortMap() = default;
    explicit PortMap(std::vector<std::string> explicitDevices,
                     std::string byIdDirectory = "/dev/serial/by-id");

    // Looks at the directory on every call: a receiver plugged in later is found.
    std::string devicePath(int port) const;

private:
    std::vector<std::string> m_explicit;
    std::string m_byIdDirectory = "/dev/serial/by-id";
};

} // namespace tessaro
