#include "SourceAddress.h"

#include <cstring>

namespace tessaro {
namespace {

bool startsWith(const std::string& text, const char* prefix) {
    return text.compare(0, std::strlen(prefix), prefix) == 0;
}

bool isPortNumber(const std::string& text) {
    if (text.empty() || text.size() > 5 ||
        text.find_first_not_of("0123456789") != std::string::npos) {
        return false;
    }
    const int n = std::stoi(text);
    return n >= 1 && n <= 65535;
}

} // namespace

bool isPlainText(const std::string& text) {
    for (unsigned char c : text) {
        if (c < 0x20 || c == 0x7F || c == '"' || c == '\\') {
            return false;
        }
    }
    return true;
}

SourceName parseNetworkSource(const std::string& name, NetworkSource& source) {
    source = NetworkSource();
    std::string rest;
    if (startsWith(name, "gpsd://")) {
        source.gpsd = true;
        rest = name.substr(7);
    } else if (startsWith(name, "tcp://")) {
        rest = name.substr(6);
    } else {
        return SourceName::device;
    }
    if (source.gpsd) {
        const std::size_t slash = rest.find('/');
        if (slash != std::string::npos) {
            source.device = rest.substr(slash);
            rest.resize(slash);
        }
    }
    // HOST, HOST:PORT, [V6ADDRESS] or [V6ADDRESS]:PORT
    std::size_t colon = std::string::npos;
    if (!rest.empty() && rest[0] == '[') {
        const std::size_t close = rest.find(']');
        if (close == std::string::npos) {
            return SourceName::malformed;
        }
        source.host = rest.substr(1, close - 1);
        if (close + 1 < rest.size()) {
            if (rest[close + 1] != ':') {
                return SourceName::malformed;
            }
            colon = close + 1;
        }
    } else {
        colon = rest.rfind(':');
        source.host = rest.substr(0, colon);
    }
    source.service = colon == std::string::npos ? std::string() : rest.substr(colon + 1);
    if (source.gpsd && source.host.empty()) {
        source.host = "localhost";
    }
    if (source.gpsd && colon == std::string::npos) {
        source.service = std::to_string(defaultGpsdPort);
    }
    const bool hostOk = !source.host.empty() && isPlainText(source.host) &&
                        source.host.find_first_of(" /[]") == std::string::npos;
    if (!hostOk || !isPortNumber(source.service) || !isPlainText(source.device)) {
        return SourceName::malformed;
    }
    return SourceName::network;
}

} // namespace tessaro
