// How a port name is read as a network source: each row a name a user may
// type into the port field, and what it must come to.
#include "SourceAddress.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace {

using tessaro::NetworkSource;
using tessaro::SourceName;

constexpr SourceName net = SourceName::network;
constexpr SourceName bad = SourceName::malformed;
constexpr SourceName dev = SourceName::device;

struct AddressRow {
    const char* name; // the test's
    std::string input;
    SourceName kind;
    bool gpsd = false;
    std::string host, service, device;
};

// A name that is no network source: only the kind counts.
AddressRow notNetwork(const char* name, std::string input, SourceName kind) {
    return {name, std::move(input), kind, false, {}, {}, {}};
}

class SourceAddress : public ::testing::TestWithParam<AddressRow> {};

TEST_P(SourceAddress, ReadsTheName) {
    const AddressRow& row = GetParam();
    NetworkSource source;
    ASSERT_EQ(tessaro::parseNetworkSource(row.input, source), row.kind) << row.input;
    if (row.kind == net) {
        EXPECT_EQ(source.gpsd, row.gpsd);
        EXPECT_EQ(source.host, row.host);
        EXPECT_EQ(source.service, row.service);
        EXPECT_EQ(source.device, row.device);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Names, SourceAddress,
    ::testing::Values(
        // gpsd: host, port and device each optional.
        AddressRow{"GpsdAlone", "gpsd://", net, true, "localhost", "2947", ""},
        AddressRow{"GpsdHost", "gpsd://gps.local", net, true, "gps.local", "2947", ""},
        AddressRow{"GpsdHostPort", "gpsd://gps.local:3000", net, true, "gps.local", "3000", ""},
        AddressRow{"GpsdPortOnly", "gpsd://:2950", net, true, "localhost", "2950", ""},
        AddressRow{"GpsdDeviceOnly", "gpsd:///dev/ttyUSB0", net, true, "localhost", "2947",
                   "/dev/ttyUSB0"},
        AddressRow{"GpsdAll", "gpsd://192.168.1.5:2948/dev/ttyUSB0", net, true, "192.168.1.5",
                   "2948", "/dev/ttyUSB0"},
        AddressRow{"GpsdDeviceById", "gpsd://pi:2947/dev/serial/by-id/usb-u-blox_7-if00", net, true,
                   "pi", "2947", "/dev/serial/by-id/usb-u-blox_7-if00"},
        AddressRow{"GpsdV6", "gpsd://[fe80::1]", net, true, "fe80::1", "2947", ""},
        AddressRow{"GpsdV6PortDevice", "gpsd://[::1]:2948/dev/ttyACM0", net, true, "::1", "2948",
                   "/dev/ttyACM0"},
        // tcp: host and port both needed, no device.
        AddressRow{"Tcp", "tcp://127.0.0.1:10110", net, false, "127.0.0.1", "10110", ""},
        AddressRow{"TcpName", "tcp://boat.example:1", net, false, "boat.example", "1", ""},
        AddressRow{"TcpHighestPort", "tcp://h:65535", net, false, "h", "65535", ""},
        AddressRow{"TcpLeadingZero", "tcp://h:080", net, false, "h", "080", ""},
        AddressRow{"TcpV6", "tcp://[2001:db8::7]:10110", net, false, "2001:db8::7", "10110", ""},
        AddressRow{"TcpV6WithoutBrackets", "tcp://::1:10110", net, false, "::1", "10110", ""},
        notNetwork("TcpWithoutPort", "tcp://host", bad),
        notNetwork("TcpEmptyPort", "tcp://host:", bad),
        notNetwork("TcpEmptyHost", "tcp://:80", bad), notNetwork("TcpNothing", "tcp://", bad),
        notNetwork("TcpV6WithoutPort", "tcp://[::1]", bad),
        notNetwork("TcpDevice", "tcp://host:80/dev/ttyS0", bad),
        // Ports out of range or not a number.
        notNetwork("PortZero", "tcp://host:0", bad),
        notNetwork("PortPastTheRange", "tcp://host:65536", bad),
        notNetwork("GpsdPortPastTheRange", "gpsd://host:99999", bad),
        notNetwork("PortPastAnInt", "tcp://host:4294967297", bad),
        notNetwork("PortSigned", "tcp://host:+80", bad),
        notNetwork("PortTrailingGarbage", "tcp://host:80x", bad),
        notNetwork("PortBlank", "gpsd://host: 80", bad),
        // Brackets and hosts.
        notNetwork("V6Unclosed", "gpsd://[::1:2947", bad),
        notNetwork("V6TrailingGarbage", "tcp://[::1]x:80", bad),
        notNetwork("HostWithBlank", "tcp://my host:80", bad),
        notNetwork("HostWithSlash", "tcp://a/b:80", bad),
        notNetwork("HostWithBracket", "gpsd://a]b", bad),
        notNetwork("HostWithQuote", "gpsd://a\"b", bad),
        // The device goes into gpsd's JSON request: nothing that breaks it.
        notNetwork("DeviceWithQuote", "gpsd://host/dev/tty\"x", bad),
        notNetwork("DeviceWithBackslash", "gpsd://host/dev/tty\\x", bad),
        notNetwork("DeviceWithControl", "gpsd://host/dev/tty\x01", bad),
        // Everything else is a device path.
        notNetwork("DevicePath", "/dev/ttyUSB0", dev),
        notNetwork("UpperCaseScheme", "GPSD://host", dev),
        notNetwork("OneSlash", "gpsd:/host", dev), notNetwork("Empty", "", dev)),
    [](const ::testing::TestParamInfo<AddressRow>& info) { return info.param.name; });

} // namespace
