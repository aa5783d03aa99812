// The WSJT-X datagrams against bytes written out by hand from the format
// (big-endian u32 magic, schema, type; utf8 = u32 byte count + bytes), and
// against datagrams a real WSJT-X 2.6.1 sent.
#include "LocatorClients.h"
#include "WsjtxProtocol.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

using tessaro::LocatorClients;
using tessaro::wsjtx::readDatagram;

// "ADBCCBDA 0000000B" as bytes; blanks are for the reader.
std::string hex(const std::string& digits) {
    std::string out;
    std::string pair;
    for (char c : digits) {
        if (c == ' ') {
            continue;
        }
        pair += c;
        if (pair.size() == 2) {
            out += static_cast<char>(std::stoi(pair, nullptr, 16));
            pair.clear();
        }
    }
    return out;
}

std::string capture(const char* name) {
    std::ifstream file(std::string(TESSARO_TEST_DATA_DIR) + "/wsjtx/" + name, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

const auto* bytesOf(const std::string& s) {
    return reinterpret_cast<const std::uint8_t*>(s.data());
}

// A Heartbeat from "WSJT-X" in schema 3: max schema 3, version "2.6.1", revision "".
const std::string heartbeat3 = hex("ADBCCBDA 00000003 00000000 00000006") + "WSJT-X" +
                               hex("00000003 00000005") + "2.6.1" + hex("00000000");

struct LocationRow {
    std::uint32_t schema;
    const char* id;
    const char* locator;
    std::string bytes;
};

TEST(WsjtxLocation, IsWrittenByteForByteInTheClientsSchemaAtMostThree) {
    const LocationRow rows[] = {
        {3, "WSJT-X", "JN58TD",
         hex("ADBCCBDA 00000003 0000000B 00000006") + "WSJT-X" + hex("00000006") + "JN58TD"},
        {2, "JTDX", "IO91WM",
         hex("ADBCCBDA 00000002 0000000B 00000004") + "JTDX" + hex("00000006") + "IO91WM"},
        // A later client still gets schema 3: a higher one stops WSJT-X.
        {9, "WSJT-X - IC-705", "JN58TD",
         hex("ADBCCBDA 00000003 0000000B 0000000F") + "WSJT-X - IC-705" + hex("00000006") +
             "JN58TD"},
    };
    for (const LocationRow& row : rows) {
        EXPECT_EQ(tessaro::wsjtx::locationDatagram(row.schema, row.id, row.locator), row.bytes)
            << row.id << " schema " << row.schema;
    }
}

TEST(WsjtxRead, RealHeartbeatAndStatusOfWsjtx261) {
    const std::string heartbeat = capture("heartbeat-2.6.1.bin");
    ASSERT_EQ(heartbeat.size(), 39u);
    const auto h = readDatagram(bytesOf(heartbeat), heartbeat.size());
    ASSERT_TRUE(h);
    EXPECT_EQ(h->schema, 2u);
    EXPECT_EQ(h->type, 0u);
    EXPECT_EQ(h->id, "WSJT-X");
    EXPECT_EQ(h->maximumSchema, 3u);
    EXPECT_EQ(h->version, "2.6.1");

    // Its first Status: call DL1ABC and grid JN49 as its settings give them,
    // null texts (FFFFFFFF) among the fields before.
    const std::string status = capture("status-2.6.1.bin");
    const auto s = readDatagram(bytesOf(status), status.size());
    ASSERT_TRUE(s);
    EXPECT_EQ(s->type, 1u);
    EXPECT_EQ(s->deCall, "DL1ABC");
    EXPECT_EQ(s->deGrid, "JN49");
}

struct RefusedRow {
    const char* name;
    std::string bytes;
};

TEST(WsjtxRead, RefusesWhatIsNotADatagramOfTheProtocol) {
    const RefusedRow rows[] = {
        {"empty", ""},
        {"wrong magic", hex("ADBCCBDB 00000003 00000000 00000000")},
        {"schema 0", hex("ADBCCBDA 00000000 00000000 00000000")},
        {"cut in the header", hex("ADBCCBDA 00000003 000000")},
        {"id longer than the rest", hex("ADBCCBDA 00000003 00000000 00000007") + "WSJT-X"},
        {"id of 4 GiB - 2", hex("ADBCCBDA 00000003 00000000 FFFFFFFE") + "WSJT-X"},
        {"heartbeat cut in the version",
         hex("ADBCCBDA 00000003 00000000 00000000 00000003 00000005") + "2.6"},
        {"status cut before the grid",
         hex("ADBCCBDA 00000002 00000001 00000000 0000000000000000 00000000 00000000 00000000 "
             "00000000 000000 00000000 00000000 00000006") +
             "DL1ABC"},
    };
    for (const RefusedRow& row : rows) {
        EXPECT_FALSE(readDatagram(bytesOf(row.bytes), row.bytes.size())) << row.name;
    }
}

TEST(WsjtxRead, TakesOldHeartbeatsNullIdsAndUnknownTypes) {
    // Before schema 3 a Heartbeat had no fields after the id.
    const std::string old = hex("ADBCCBDA 00000002 00000000 00000004") + "JTDX";
    const auto h = readDatagram(bytesOf(old), old.size());
    ASSERT_TRUE(h);
    EXPECT_EQ(h->id, "JTDX");
    EXPECT_FALSE(h->maximumSchema);

    const std::string nullId = hex("ADBCCBDA 00000003 00000006 FFFFFFFF");
    const auto c = readDatagram(bytesOf(nullId), nullId.size());
    ASSERT_TRUE(c);
    EXPECT_EQ(c->type, 6u);
    EXPECT_EQ(c->id, "");

    // A Decode (type 2) keeps its header only.
    const std::string decode = hex("ADBCCBDA 00000003 00000002 00000006") + "WSJT-X" + hex("01");
    const auto d = readDatagram(bytesOf(decode), decode.size());
    ASSERT_TRUE(d);
    EXPECT_EQ(d->type, 2u);
    EXPECT_FALSE(d->deGrid);
}

// --- the client table ---

std::string location(std::uint32_t schema, const std::string& id, const std::string& locator) {
    auto u32 = [](std::size_t n) {
        char b[9];
        std::snprintf(b, sizeof b, "%08zX", n);
        return hex(b);
    };
    return hex("ADBCCBDA") + u32(schema) + hex("0000000B") + u32(id.size()) + id +
           u32(locator.size()) + locator;
}

class Clients : public testing::Test {
protected:
    std::vector<tessaro::LocatorDatagram> hear(const std::string& bytes, std::uint16_t port,
                                               double now = 0.0) {
        return table.received(bytesOf(bytes), bytes.size(), "127.0.0.1", port, now);
    }
    LocatorClients table;
};

TEST_F(Clients, ANewClientGetsTheLocatorAtOnceAndEveryClientGetsANewSquare) {
    const std::string wsjtx = capture("heartbeat-2.6.1.bin");
    // Heard before any fix: nothing to send yet; the first fix goes to it.
    EXPECT_TRUE(hear(wsjtx, 50001).empty());
    auto out = table.setOwnLocator("jn58td");
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].address, "127.0.0.1");
    EXPECT_EQ(out[0].port, 50001);
    // Its header said 2, its Heartbeat's highest schema 3.
    EXPECT_EQ(out[0].bytes, location(3, "WSJT-X", "JN58TD"));

    // A second program appears after the fix: it alone gets the locator, in its schema.
    out = hear(hex("ADBCCBDA 00000002 00000000 00000004") + "JTDX", 50002);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].port, 50002);
    EXPECT_EQ(out[0].bytes, location(2, "JTDX", "JN58TD"));
    EXPECT_TRUE(hear(wsjtx, 50001, 10.0).empty()); // known: not again

    // The same square, with or without the 8-character detail: nothing.
    // A new square: both, six characters only. No locator: nothing.
    EXPECT_TRUE(table.setOwnLocator("JN58td").empty());
    EXPECT_TRUE(table.setOwnLocator("JN58TD45").empty());
    out = table.setOwnLocator("jn58te12");
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0].bytes, location(3, "WSJT-X", "JN58TE"));
    EXPECT_EQ(out[1].bytes, location(2, "JTDX", "JN58TE"));
    for (const char* notASquare : {"", "JN58", "JN58T", "JS58TD", "JN5XTD", "JN58TY", "JN58T "}) {
        EXPECT_TRUE(table.setOwnLocator(notASquare).empty()) << notASquare;
    }
    EXPECT_EQ(table.ownLocator(), "JN58TE");
}

TEST_F(Clients, CloseSilenceAndRestartChangeTheTable) {
    const std::string wsjtx = capture("heartbeat-2.6.1.bin");
    table.setOwnLocator("JN58TD");
    ASSERT_EQ(hear(wsjtx, 50001, 0.0).size(), 1u);
    // Started anew, WSJT-X keeps its id on a new port and has lost the locator.
    ASSERT_EQ(hear(wsjtx, 50003, 30.0).size(), 1u);
    ASSERT_EQ(table.clients().size(), 2u);
    EXPECT_FALSE(table.forgetSilent(60.0));
    EXPECT_TRUE(table.forgetSilent(60.5)); // 50001, silent since 0
    ASSERT_EQ(table.clients().size(), 1u);
    EXPECT_EQ(table.clients()[0].port, 50003);

    // A Close from another port of the same id leaves it; its own removes it.
    const std::string close = hex("ADBCCBDA 00000003 00000006 00000006") + "WSJT-X";
    EXPECT_TRUE(hear(close, 50001, 31.0).empty());
    EXPECT_EQ(table.clients().size(), 1u);
    hear(close, 50003, 31.0);
    EXPECT_TRUE(table.clients().empty());
}

TEST_F(Clients, StatusGridIsKeptAndTheTableHasABound) {
    table.setOwnLocator("JN49KW");
    hear(capture("heartbeat-2.6.1.bin"), 50001);
    ASSERT_EQ(table.clients().size(), 1u);
    EXPECT_EQ(table.clients()[0].sent, "JN49KW");
    EXPECT_FALSE(table.clients()[0].statusSinceSent);
    hear(capture("status-2.6.1.bin"), 50001);
    EXPECT_EQ(table.clients()[0].grid, "JN49");
    EXPECT_TRUE(table.clients()[0].statusSinceSent);

    for (std::uint16_t port = 40000; port < 40100; ++port) {
        hear(capture("heartbeat-2.6.1.bin"), port);
    }
    EXPECT_EQ(table.clients().size(), LocatorClients::kMostClients);
}

} // namespace
