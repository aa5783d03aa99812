#include "GpsdProbe.h"
#include "SocketPort.h"
#include "SourceAddress.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>

namespace tessaro {
namespace {

constexpr int probeTimeoutMs = 2000;

std::atomic<int> localPort{defaultGpsdPort};

bool sameDevice(const std::string& a, const std::string& b) {
    struct stat sa {};
    struct stat sb {};
    if (::stat(a.c_str(), &sa) != 0 || ::stat(b.c_str(), &sb) != 0) {
        return a == b;
    }
    return S_ISCHR(sa.st_mode) && S_ISCHR(sb.st_mode) && sa.st_rdev == sb.st_rdev;
}

} // namespace

int watchThroughLocalGpsd(const std::string& path, std::string& gpsdName) {
    auto never = [] { return false; };
    int error = 0;
    const std::string port = std::to_string(localGpsdPort());
    const int fd = connectTo(localGpsdHost, port, -1, never, error);
    if (fd < 0) {
        return -1;
    }
    const auto deadline = SocketClock::now() + std::chrono::milliseconds(probeTimeoutMs);
    std::string received;
    if (sendAll(fd, "?DEVICES;\n")) {
        while (received.size() < 65536 && waitReady(fd, POLLIN, deadline, -1, never)) {
            char chunk[socketReadChunk];
            const ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
            if (n <= 0) {
                break;
            }
            received.append(chunk, static_cast<std::size_t>(n));
            for (std::size_t start = 0, end;
                 (end = received.find('\n', start)) != std::string::npos; start = end + 1) {
                const QJsonObject reply =
                    QJsonDocument::fromJson(
                        QByteArray::fromStdString(received.substr(start, end - start)))
                        .object();
                if (reply.value(QLatin1String("class")).toString() != QLatin1String("DEVICES")) {
                    continue;
                }
                for (const QJsonValue device : reply.value(QLatin1String("devices")).toArray()) {
                    const std::string name =
                        device.toObject().value(QLatin1String("path")).toString().toStdString();
                    if (!name.empty() && isPlainText(name) && sameDevice(name, path) &&
                        sendAll(fd, watchRequest(name))) {
                        gpsdName = name;
                        return fd;
                    }
                }
                ::close(fd);
                return -1;
            }
        }
    }
    ::close(fd);
    return -1;
}

std::string watchRequest(const std::string& device) {
    std::string request = R"(?WATCH={"enable":true,"nmea":true)";
    if (!device.empty()) {
        request += R"(,"device":")" + device + '"';
    }
    return request + "};\n";
}

void setLocalGpsdPort(int port) {
    localPort = port;
}

int localGpsdPort() {
    return localPort.load();
}

} // namespace tessaro
