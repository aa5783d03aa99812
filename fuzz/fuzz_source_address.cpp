// Network source names on arbitrary port names.
//
// A name read as a network source must have a host without blanks, slashes,
// brackets or characters that would break gpsd's JSON request, a port number
// from 1 to 65535 as decimal digits, and a device only for gpsd, starting at
// its slash. Written out again from its parts, it must read the same.
#include "FuzzCheck.h"
#include "SourceAddress.h"

#include <cstdint>
#include <string>

namespace {

using tessaro::NetworkSource;
using tessaro::SourceName;
using tessaro::fuzz::printable;

bool startsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

std::string written(const NetworkSource& s) {
    const bool v6 = s.host.find(':') != std::string::npos;
    return (s.gpsd ? "gpsd://" : "tcp://") + (v6 ? "[" + s.host + "]" : s.host) + ":" + s.service +
           s.device;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string name(reinterpret_cast<const char*>(data), size);
    NetworkSource source;
    const SourceName kind = tessaro::parseNetworkSource(name, source);
    const bool scheme = startsWith(name, "gpsd://") || startsWith(name, "tcp://");
    FUZZ_CHECK((kind == SourceName::device) != scheme, "\"%s\" read as kind %d",
               printable(name).c_str(), static_cast<int>(kind));
    if (kind != SourceName::network) {
        return 0;
    }
    FUZZ_CHECK(source.gpsd == startsWith(name, "gpsd://"), "scheme of \"%s\"",
               printable(name).c_str());
    FUZZ_CHECK(!source.host.empty() && tessaro::isPlainText(source.host) &&
                   source.host.find_first_of(" /[]") == std::string::npos,
               "host \"%s\" of \"%s\"", printable(source.host).c_str(), printable(name).c_str());
    const std::string& port = source.service;
    FUZZ_CHECK(!port.empty() && port.size() <= 5 &&
                   port.find_first_not_of("0123456789") == std::string::npos &&
                   std::stol(port) >= 1 && std::stol(port) <= 65535,
               "port \"%s\" of \"%s\"", printable(port).c_str(), printable(name).c_str());
    FUZZ_CHECK(source.device.empty() ||
                   (source.gpsd && source.device[0] == '/' && tessaro::isPlainText(source.device)),
               "device \"%s\" of \"%s\"", printable(source.device).c_str(),
               printable(name).c_str());

    NetworkSource again;
    const std::string rewritten = written(source);
    FUZZ_CHECK(tessaro::parseNetworkSource(rewritten, again) == SourceName::network &&
                   again.gpsd == source.gpsd && again.host == source.host &&
                   again.service == source.service && again.device == source.device,
               "\"%s\" written as \"%s\" reads otherwise", printable(name).c_str(),
               printable(rewritten).c_str());
    return 0;
}
