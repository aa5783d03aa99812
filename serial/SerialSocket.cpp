// The platform that opens network sources itself ("gpsd://", "tcp://";
// SourceAddress.h reads the names, SocketPort.h is the port) and devices on
// the devices' platform, reading a device that gpsd holds through gpsd
// (GpsdProbe.h).
#include "SerialSocket.h"
#include "GpsdProbe.h"
#include "SocketPort.h"
#include "SourceAddress.h"

#include <netdb.h>

#include <cerrno>
#include <utility>

namespace tessaro {
namespace {

class NetworkAwarePlatform : public SerialPlatform {
public:
    explicit NetworkAwarePlatform(std::shared_ptr<SerialPlatform> devices)
        : m_devices(std::move(devices)) {}

    std::shared_ptr<SerialPort> open(const std::string& path, int& error) override {
        NetworkSource source;
        switch (parseNetworkSource(path, source)) {
        case SourceName::malformed:
            error = EINVAL;
            return nullptr;
        case SourceName::network:
            return makeSocketPort(std::move(source), -1, std::string(), error);
        case SourceName::device:
            break;
        }
        std::shared_ptr<SerialPort> port = m_devices->open(path, error);
        // Held by another program (gpsd takes a receiver as it is plugged
        // in): read it through gpsd when that is the holder.
        if (port || (error != EBUSY && error != EWOULDBLOCK)) {
            return port;
        }
        std::string gpsdName;
        const int fd = watchThroughLocalGpsd(path, gpsdName);
        if (fd < 0) {
            return nullptr;
        }
        source.gpsd = true;
        source.host = localGpsdHost;
        source.service = std::to_string(localGpsdPort());
        source.device = gpsdName;
        int socketError = 0;
        port = makeSocketPort(std::move(source), fd, "via gpsd", socketError);
        return port;
    }

    std::string errorText(int code) const override {
        // Negative codes are the resolver's (a name that does not resolve).
        if (code < 0) {
            return ::gai_strerror(code);
        }
        return m_devices->errorText(code);
    }

private:
    std::shared_ptr<SerialPlatform> m_devices;
};

} // namespace

std::shared_ptr<SerialPlatform> withNetworkSources(std::shared_ptr<SerialPlatform> devices) {
    return std::make_shared<NetworkAwarePlatform>(std::move(devices));
}

} // namespace tessaro
