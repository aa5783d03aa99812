// Datagrams from the network into the WSJT-X reader and the client table.
//
// Nothing may crash or read past the datagram; whatever the table sends back
// must be a Location WSJT-X accepts (right magic, schema 1 to 3, type 11, a
// six-character locator) that reads back with the client's id; and the table
// stays bounded.
#include "FuzzCheck.h"
#include "LocatorClients.h"
#include "WsjtxProtocol.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

using tessaro::fuzz::printable;

void checkSent(const std::vector<tessaro::LocatorDatagram>& sent,
               const tessaro::LocatorClients& table) {
    for (const auto& d : sent) {
        const auto read = tessaro::wsjtx::readDatagram(
            reinterpret_cast<const std::uint8_t*>(d.bytes.data()), d.bytes.size());
        FUZZ_CHECK(read && read->schema >= 1 && read->schema <= tessaro::wsjtx::kHighestSchema &&
                       read->type == 11,
                   "sent \"%s\"", printable(d.bytes).c_str());
        const std::string tail = d.bytes.substr(d.bytes.size() - 10);
        FUZZ_CHECK(tail.compare(0, 4, std::string("\0\0\0\6", 4)) == 0 &&
                       tail.substr(4) == table.ownLocator(),
                   "sent locator \"%s\", own \"%s\"", printable(tail).c_str(),
                   table.ownLocator().c_str());
        bool known = false;
        for (const auto& c : table.clients()) {
            known = known || (c.id == read->id && c.port == d.port);
        }
        FUZZ_CHECK(known, "sent to %u, which is not in the table", d.port);
    }
    FUZZ_CHECK(table.clients().size() <= tessaro::LocatorClients::kMostClients, "%zu clients",
               table.clients().size());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    tessaro::LocatorClients table;
    double now = 0.0;
    while (in.remaining_bytes() > 0) {
        const auto port = in.ConsumeIntegralInRange<std::uint16_t>(50000, 50003);
        now += in.ConsumeIntegralInRange<int>(0, 40);
        if (in.ConsumeBool()) {
            checkSent(table.setOwnLocator(in.ConsumeRandomLengthString(10)), table);
            continue;
        }
        const std::string datagram = in.ConsumeRandomLengthString(600);
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(datagram.data());
        if (const auto read = tessaro::wsjtx::readDatagram(bytes, datagram.size())) {
            FUZZ_CHECK(read->schema != 0 && read->id.size() + 16 <= datagram.size(), "read \"%s\"",
                       printable(datagram).c_str());
        }
        checkSent(table.received(bytes, datagram.size(), "127.0.0.1", port, now), table);
        table.forgetSilent(now);
    }
    return 0;
}
