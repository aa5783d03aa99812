// Replays every GLL sentence recorded from real receivers (tests/data/nmea,
// taken from gpsd's regression logs) through the reading.
#include "GllExpect.h"
#include "Nmea.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

using tessaro::Checksum;

struct Recorded {
    int line;             // 1-based line of the file
    std::string sentence; // as framed: from "$" through the carriage return
};

std::vector<Recorded> loadRecording() {
    std::ifstream in(TESSARO_TEST_DATA_DIR "/nmea/gll-real.nmea", std::ios::binary);
    EXPECT_TRUE(in) << "cannot open the recording";
    std::vector<Recorded> sentences;
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        // Lines end in CR LF; getline leaves the CR, which is what framing keeps.
        if (!line.empty() && line[0] == '$') {
            sentences.push_back({number, line});
        }
    }
    return sentences;
}

// Checksum computed another way than the code under test: the text up to the
// last "*" given its checksum anew, compared with what the line carries.
bool checksumMatches(const std::string& sentence) {
    const std::size_t star = sentence.rfind('*');
    if (star == std::string::npos || sentence.size() < star + 3) {
        return false;
    }
    std::string carried = sentence.substr(star, 3);
    for (char& c : carried) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return tessaro::test::withChecksum(sentence.substr(0, star)).substr(star) == carried;
}

// A fix the reading must accept: right checksum, the six fields all present
// (an empty one shifts the others), status "A" and no mode "N", hemispheres
// N/S and E/W, degrees inside the tables.
bool expectedValid(const std::string& sentence) {
    if (!checksumMatches(sentence)) {
        return false;
    }
    std::vector<std::string> fields;
    std::istringstream parts(sentence.substr(0, sentence.rfind('*')));
    for (std::string f; std::getline(parts, f, ',');) {
        fields.push_back(f);
    }
    if (fields.size() < 7) {
        return false;
    }
    for (int i = 1; i <= 6; ++i) {
        if (fields[i].empty()) {
            return false;
        }
    }
    const auto upper = [](const std::string& f) { return std::toupper(f[0]); };
    const bool modeN = fields.size() > 7 && upper(fields[7]) == 'N';
    return upper(fields[6]) == 'A' && !modeN &&
           (upper(fields[2]) == 'N' || upper(fields[2]) == 'S') &&
           (upper(fields[4]) == 'E' || upper(fields[4]) == 'W') &&
           std::stoi(fields[1].substr(0, 2)) < 90 && std::stoi(fields[3].substr(0, 3)) < 180;
}

TEST(GllReplay, EverySentenceOfTheRecording) {
    const std::vector<Recorded> sentences = loadRecording();
    ASSERT_EQ(sentences.size(), 2396u);

    int good = 0, bad = 0, positions = 0, valid = 0;
    std::vector<int> badLines;
    for (const Recorded& r : sentences) {
        SCOPED_TRACE("line " + std::to_string(r.line));
        const Checksum verdict = tessaro::checksumOf(r.sentence);
        ASSERT_NE(verdict, Checksum::absent); // every recorded line carries one
        const bool matches = checksumMatches(r.sentence);
        EXPECT_EQ(verdict == Checksum::good, matches);
        (matches ? good : bad)++;
        if (!matches) {
            badLines.push_back(r.line);
        }

        // Every talker's GLL is a position, marine instruments' (IN, EC) too.
        EXPECT_TRUE(tessaro::isPositionSentence(tessaro::receiveSentence(r.sentence)));
        ++positions;
        const tessaro::GllFix fix = tessaro::readGll(tessaro::receiveSentence(r.sentence), true);
        EXPECT_EQ(fix.valid, expectedValid(r.sentence));
        valid += fix.valid;
        EXPECT_EQ(fix.timeText.size(), 11u);
        if (fix.valid) {
            EXPECT_EQ(fix.locator.size(), 8u);
        }
    }
    // The recording's checksums are right except for one line, where a GLL
    // and the tail of another sentence were run together on the wire.
    EXPECT_EQ(good, 2395);
    EXPECT_EQ(bad, 1);
    EXPECT_EQ(badLines, std::vector<int>{518});
    EXPECT_EQ(positions, 1017 + 1249 + 122 + 8);
    EXPECT_EQ(valid, 2255);
}

TEST(GllReplay, SpotChecks) {
    // Line number of the recording -> the fix read from it (6-character locator).
    const std::map<int, ExpectedFix> spots = {
        {2, {38, 54, 30, true, 77, 26, 27, false, "fm18gv", "12:51:06 UT", false}},
        {15, {52, 50, 32, true, 5, 42, 20, true, "jo22uu", "21:39:50 UT", true}},
        {189, {380, 0, 0, true, 8, 50, 48, true, "", "00:00:00 UT", false}},
        {372, {41, 11, 35, true, 111, 56, 32, false, "dn41ae", "21:37:12 UT", true}},
        {487, {45, 27, 27, false, 167, 9, 9, true, "re34nn", "22:53:09 UT", true}},
        {518, {0, 0, 0, true, 0, 0, 0, true, "jj00aa", "00:04:18 UT", false}},
    };
    std::map<int, std::string> byLine;
    for (const Recorded& r : loadRecording()) {
        byLine[r.line] = r.sentence;
    }
    for (const auto& [line, want] : spots) {
        SCOPED_TRACE("line " + std::to_string(line) + ": " + byLine[line]);
        expectFix(tessaro::readGll(tessaro::receiveSentence(byLine.at(line)), false), want);
    }
}

} // namespace
