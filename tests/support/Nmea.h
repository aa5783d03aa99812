// Builds NMEA sentences for tests, with the checksum computed here rather
// than by the code under test.
#pragma once

#include <cstdio>
#include <string>

namespace tessaro::test {

// `body` ("$GPGLL,...", no "*") with "*hh" after it: the exclusive-or of the
// bytes between "$" and "*", NUL bytes included.
inline std::string withChecksum(const std::string& body) {
    unsigned sum = 0;
    for (std::size_t k = 1; k < body.size(); ++k) {
        sum ^= static_cast<unsigned char>(body[k]);
    }
    char tail[4];
    std::snprintf(tail, sizeof tail, "*%02X", sum & 0xFFu);
    return body + tail;
}

} // namespace tessaro::test
