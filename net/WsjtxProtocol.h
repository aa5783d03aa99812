// The UDP datagrams that WSJT-X and JTDX exchange with a server program:
// big-endian, in Qt's QDataStream layout, written and read here without Qt.
//
// A datagram starts with the magic number, the schema and the type, then the
// sender's id; text fields ("utf8") are a 32-bit byte count and the bytes
// (0xFFFFFFFF stands for a null text).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace tessaro::wsjtx {

inline constexpr std::uint32_t kMagic = 0xADBCCBDA;
// WSJT-X refuses a higher schema with a modal box and then reads no UDP at
// all until it is closed: nothing written here may carry one.
inline constexpr std::uint32_t kHighestSchema = 3;

enum class MessageType : std::uint32_t {
    Heartbeat = 0,
    Status = 1,
    Close = 6,
    Location = 11,
};

// What the server needs from a client's datagram. Types other than the three
// read here keep only the header.
struct Datagram {
    std::uint32_t schema = 0;
    std::uint32_t type = 0;
    std::string id;
    // Heartbeat: the highest schema the client speaks (absent before schema 3).
    std::optional<std::uint32_t> maximumSchema;
    std::string version;
    // Status: the station's own call and locator as the client uses them.
    std::optional<std::string> deCall;
    std::optional<std::string> deGrid;
};

// The datagram's header and, for Heartbeat and Status, the fields above;
// nothing when it is not a datagram of this protocol (wrong magic, schema 0,
// cut short, a text longer than what is left). Later fields of a Status,
// which differ between versions, are not read.
std::optional<Datagram> readDatagram(const std::uint8_t* data, std::size_t size);

// A Location datagram to the client `id`, in `schema` (capped at the highest
// one written here).
std::string locationDatagram(std::uint32_t schema, const std::string& id,
                             const std::string& locator);

} // namespace tessaro::wsjtx
