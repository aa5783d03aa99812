// Whole recordings of real receivers (tests/data/nmea/receivers, gpsd's
// regression logs) through the intake, held against gpsd's own decoding of
// the same bytes: every fix the intake gives must be where gpsd put the
// receiver at that second.
#include "GpsIntake.h"
#include "Gpsd.h"
#include "MessageFraming.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

const std::string receivers = TESSARO_TEST_DATA_DIR "/nmea/receivers/";

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    EXPECT_TRUE(in) << "cannot open " << path;
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

using Position = tessaro::test::GpsdFix;

// The messages the serial layer hands to the intake: the log without gpsd's
// comment lines (a receiver does not send them), framed from "$" to CR or LF
// as the GPS port is set up.
std::vector<std::string> framedMessages(const std::string& log) {
    std::vector<std::string> messages;
    tessaro::FramingState state;
    std::istringstream lines(log);
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line[0] == '#') {
            continue;
        }
        line += '\n';
        for (const char c : line) {
            if (tessaro::frameByte(state, static_cast<unsigned char>(c), '$', '\r', 0, '\n')) {
                messages.push_back(state.MessageBuffer);
            }
        }
    }
    return messages;
}

double degrees(const std::array<std::string, 3>& dms, std::int32_t index) {
    const double value = std::stoi(dms[0]) + std::stoi(dms[1]) / 60.0 + std::stoi(dms[2]) / 3600.0;
    return index == 0 ? value : -value;
}

struct ReceiverLog {
    const char* name; // test name
    const char* file; // in tests/data/nmea/receivers
};

void PrintTo(const ReceiverLog& row, std::ostream* out) {
    *out << row.file;
}

class ReceiverLogs : public testing::TestWithParam<ReceiverLog> {};

TEST_P(ReceiverLogs, EveryFixIsWhereGpsdPutTheReceiverAtThatSecond) {
    const std::string file = receivers + GetParam().file;
    const auto expected = tessaro::test::gpsdFixesBySecond(readFile(file + ".chk"));
    ASSERT_FALSE(expected.empty()) << "gpsd found no fix in " << file;

    const std::string prefix = "New GPS data received at ";
    // The intake cuts to whole seconds of arc; half a second more for the
    // rounding of gpsd's decimal degrees.
    const double tolerance = 1.5 / 3600.0;
    tessaro::GpsIntake intake;
    int fixes = 0;
    std::vector<std::string> wrong;
    for (const std::string& message : framedMessages(readFile(file))) {
        const tessaro::GpsIntakeResult result =
            intake.take(message, tessaro::kGpsStart, false, '.');
        if (!result.fields) {
            continue;
        }
        ++fixes;
        const tessaro::GpsFields& f = *result.fields;
        const double lat = degrees(f.latitude, f.latitudeIndex);
        const double lon = degrees(f.longitude, f.longitudeIndex);
        const std::string time = result.status.rfind(prefix, 0) == 0
                                     ? result.status.substr(prefix.size(), 8)
                                     : std::string();
        const auto at = expected.find(time);
        bool matched = false;
        for (const Position& p : at == expected.end() ? std::vector<Position>() : at->second) {
            matched = matched ||
                      (std::fabs(p.lat - lat) <= tolerance && std::fabs(p.lon - lon) <= tolerance);
        }
        if (!matched) {
            std::ostringstream line;
            line.precision(9);
            line << "  " << lat << ' ' << lon << " \"" << result.status << "\" from "
                 << message.substr(0, message.find_first_of("\r\n"))
                 << (at == expected.end() ? " (gpsd has no fix at that time)" : "");
            wrong.push_back(line.str());
        }
    }
    EXPECT_GE(fixes, 1) << "no fix from the whole log";
    // One fix per epoch at most: a receiver's RMC, GGA and GLL of one second
    // are one position, not three.
    EXPECT_LE(fixes, static_cast<int>(expected.size()))
        << "fixes given vs. distinct seconds with a fix in gpsd's decoding";
    std::string shown;
    for (std::size_t i = 0; i < wrong.size() && i < 5; ++i) {
        shown += wrong[i] + "\n";
    }
    EXPECT_TRUE(wrong.empty()) << wrong.size() << " of " << fixes
                               << " fixes not where gpsd has the receiver, e.g.\n"
                               << shown;
}

INSTANTIATE_TEST_SUITE_P(
    Gpsd, ReceiverLogs,
    testing::Values(ReceiverLog{"GllMultiConstellation", "quectelLC79D-1.log"},
                    ReceiverLog{"RmcGgaOnlySirfPuck", "nokia-ld-4w.log"},
                    ReceiverLog{"GnRmcGgaLosesLock", "ch-4711.log"},
                    ReceiverLog{"LineFeedOnly", "ublox-lea-4s.log"},
                    ReceiverLog{"LineFeedOnlyJustWestOfGreenwich", "magellan315.log"}),
    [](const testing::TestParamInfo<ReceiverLog>& row) { return std::string(row.param.name); });

} // namespace
