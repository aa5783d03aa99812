// Which device a port number opens.
#include "PortMap.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fstream>
#include <string>

namespace {

#ifdef _WIN32
TEST(PortMapWindows, PortNIsComNUnlessNamed) {
    const tessaro::PortMap map({"", "COM7"});
    EXPECT_EQ(map.devicePath(1), "\\\\.\\COM1");
    EXPECT_EQ(map.devicePath(2), "COM7");
    EXPECT_EQ(map.devicePath(12), "\\\\.\\COM12");
    EXPECT_EQ(map.devicePath(0), "");
}
#else
class PortMapTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        // Created out of order: the map sorts them.
        for (const char* name : {"usb-u-blox_GNSS-if00", "usb-FTDI_FT232R-if00-port0",
                                 "usb-Prolific_PL2303-if00-port0"}) {
            std::ofstream(dir.path().toStdString() + "/" + name).put('x');
        }
    }
    std::string entry(const char* name) const { return dir.path().toStdString() + "/" + name; }
    QTemporaryDir dir;
};

TEST_F(PortMapTest, ByIdEntriesInSortedOrderThenBuiltInPorts) {
    const tessaro::PortMap map({}, dir.path().toStdString());
    EXPECT_EQ(map.devicePath(1), entry("usb-FTDI_FT232R-if00-port0"));
    EXPECT_EQ(map.devicePath(2), entry("usb-Prolific_PL2303-if00-port0"));
    EXPECT_EQ(map.devicePath(3), entry("usb-u-blox_GNSS-if00"));
    EXPECT_EQ(map.devicePath(4), "/dev/ttyS3");
    EXPECT_EQ(map.devicePath(0), "");
    EXPECT_EQ(map.devicePath(-3), "");
}

TEST_F(PortMapTest, ExplicitDeviceWinsAndEmptyOnesFallThrough) {
    const tessaro::PortMap map({"", "/dev/ttyACM0", "", ""}, dir.path().toStdString());
    EXPECT_EQ(map.devicePath(1), entry("usb-FTDI_FT232R-if00-port0"));
    EXPECT_EQ(map.devicePath(2), "/dev/ttyACM0");
}

TEST_F(PortMapTest, WithoutTheDirectoryTheBuiltInPorts) {
    const tessaro::PortMap map({}, dir.path().toStdString() + "/missing");
    EXPECT_EQ(map.devicePath(1), "/dev/ttyS0");
    EXPECT_EQ(map.devicePath(4), "/dev/ttyS3");
    // Looked at on every call: a receiver plugged in later is found.
    const tessaro::PortMap live({}, dir.path().toStdString());
    std::ofstream(dir.path().toStdString() + "/usb-A").put('x');
    EXPECT_EQ(live.devicePath(1), entry("usb-A"));
}
#endif

} // namespace
