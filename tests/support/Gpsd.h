// What the gpsd tests and the receiver-log measurement share: gpsd's own
// decoding of a regression log (the .chk beside it, one flat JSON object a
// line), and, POSIX only like gpsd, a free port on the loopback for gpsfake
// or a TCP sender.
#pragma once

#ifndef _WIN32
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <cstdint>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace tessaro::test {

// The text after `"key":` in one line of gpsd's JSON, up to the next comma or
// brace; empty when the key is absent. gpsd writes flat objects without
// blanks, which is all this has to read.
inline std::string gpsdJsonValue(const std::string& line, const std::string& key) {
    const std::string tag = "\"" + key + "\":";
    const std::size_t at = line.find(tag);
    if (at == std::string::npos) {
        return {};
    }
    const std::size_t from = at + tag.size();
    return line.substr(from, line.find_first_of(",}", from) - from);
}

struct GpsdFix {
    double lat, lon; // decimal degrees, south and west negative
};

// gpsd's fixes (TPV of mode 2 or 3 with a position) by UTC time of day
// "hh:mm:ss", the fraction of a second cut as the intake cuts it.
inline std::map<std::string, std::vector<GpsdFix>> gpsdFixesBySecond(const std::string& chk) {
    std::map<std::string, std::vector<GpsdFix>> fixes;
    std::istringstream lines(chk);
    for (std::string line; std::getline(lines, line);) {
        if (gpsdJsonValue(line, "class") != "\"TPV\"" ||
            std::atoi(gpsdJsonValue(line, "mode").c_str()) < 2) {
            continue;
        }
        const std::string time = gpsdJsonValue(line, "time"); // "2021-01-20T22:53:08.000Z"
        const std::string lat = gpsdJsonValue(line, "lat"), lon = gpsdJsonValue(line, "lon");
        if (time.size() < 20 || lat.empty() || lon.empty()) {
            continue;
        }
        fixes[time.substr(12, 8)].push_back(
            {std::strtod(lat.c_str(), nullptr), std::strtod(lon.c_str(), nullptr)});
    }
    return fixes;
}

#ifndef _WIN32
inline sockaddr_in loopback(int port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    return a;
}

// A port nobody listens on (just taken and given back).
inline int freePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a = loopback(0);
    socklen_t size = sizeof a;
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), size);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &size);
    ::close(fd);
    return ntohs(a.sin_port);
}
#endif

} // namespace tessaro::test
