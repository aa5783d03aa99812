#include "WsjtxProtocol.h"

#include <algorithm>

namespace tessaro::wsjtx {
namespace {

class Reader {
public:
    Reader(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}

    std::optional<std::uint32_t> u32() {
        if (m_size - m_at < 4) {
            return std::nullopt;
        }
        std::uint32_t value = 0;
        for (int i = 0; i < 4; ++i) {
            value = (value << 8) | m_data[m_at++];
        }
        return value;
    }

    bool skip(std::size_t bytes) {
        if (m_size - m_at < bytes) {
            return false;
        }
        m_at += bytes;
        return true;
    }

    std::optional<std::string> utf8() {
        const auto length = u32();
        if (!length) {
            return std::nullopt;
        }
        if (*length == 0xFFFFFFFFu) {
            return std::string();
        }
        if (m_size - m_at < *length) {
            return std::nullopt;
        }
        std::string text(reinterpret_cast<const char*>(m_data + m_at), *length);
        m_at += *length;
        return text;
    }

    bool atEnd() const { return m_at == m_size; }

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_at = 0;
};

void putU32(std::string& out, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        out += static_cast<char>((value >> shift) & 0xFFu);
    }
}

void putUtf8(std::string& out, const std::string& text) {
    putU32(out, static_cast<std::uint32_t>(text.size()));
    out += text;
}

// Status up to the DE grid: dial frequency (u64), mode, DX call, report,
// Tx mode, three bools, Rx DF and Tx DF (i32 each), DE call, DE grid.
bool readStatus(Reader& in, Datagram& d) {
    if (!in.skip(8)) {
        return false;
    }
    for (int i = 0; i < 4; ++i) {
        if (!in.utf8()) {
            return false;
        }
    }
    if (!in.skip(3 + 4 + 4)) {
        return false;
    }
    d.deCall = in.utf8();
    d.deGrid = in.utf8();
    return d.deCall && d.deGrid;
}

} // namespace

std::optional<Datagram> readDatagram(const std::uint8_t* data, std::size_t size) {
    Reader in(data, size);
    const auto magic = in.u32();
    const auto schema = in.u32();
    const auto type = in.u32();
    auto id = in.utf8();
    if (!magic || *magic != kMagic || !schema || *schema == 0 || !type || !id) {
        return std::nullopt;
    }
    Datagram d;
    d.schema = *schema;
    d.type = *type;
    d.id = std::move(*id);
    if (d.type == static_cast<std::uint32_t>(MessageType::Heartbeat) && !in.atEnd()) {
        d.maximumSchema = in.u32();
        auto version = in.utf8();
        if (!d.maximumSchema || !version) {
            return std::nullopt;
        }
        d.version = std::move(*version);
    } else if (d.type == static_cast<std::uint32_t>(MessageType::Status) && !readStatus(in, d)) {
        return std::nullopt;
    }
    return d;
}

std::string locationDatagram(std::uint32_t schema, const std::string& id,
                             const std::string& locator) {
    std::string out;
    putU32(out, kMagic);
    putU32(out, std::clamp<std::uint32_t>(schema, 1, kHighestSchema));
    putU32(out, static_cast<std::uint32_t>(MessageType::Location));
    putUtf8(out, id);
    putUtf8(out, locator);
    return out;
}

} // namespace tessaro::wsjtx
