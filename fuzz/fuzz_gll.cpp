// Position reading: arbitrary received bytes read as each sentence type, and
// well-formed GLL and RMC sentences built from fuzzed values that must read
// back as exactly those values.
//
// Input: the first byte chooses the mode (bit 1: built sentence) and the
// locator length (bit 0: eight characters), so seeds read as text: "0$GPGLL,...".
#include "FuzzCheck.h"
#include "Gll.h"
#include "LocatorCell.h"
#include "QTH.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using tessaro::GllFix;
using tessaro::fuzz::DmsPosition;
using tessaro::fuzz::printable;

// The comma-separated non-empty fields of what the receive buffer holds.
std::vector<std::string> nonEmptyFields(const std::string& sentence) {
    std::string held = sentence.substr(0, sentence.find('\0'));
    held.resize(std::min(held.size(), tessaro::kSentenceCapacity));
    std::vector<std::string> fields;
    std::size_t start = 0;
    while (start <= held.size()) {
        const std::size_t comma = std::min(held.find(',', start), held.size());
        if (comma > start) {
            fields.push_back(held.substr(start, comma - start));
        }
        start = comma + 1;
    }
    return fields;
}

// True when every position the reading uses (0 .. last, except the decimal
// point's) holds a digit or lies past the field's end.
bool digitsWhereRead(const std::string& field, std::size_t point, std::size_t last) {
    for (std::size_t i = 0; i <= last && i < field.size(); ++i) {
        if (i != point && (field[i] < '0' || field[i] > '9')) {
            return false;
        }
    }
    return true;
}

bool between(std::int32_t v, std::int32_t lo, std::int32_t hi) {
    return v >= lo && v <= hi;
}

void checkTimeText(const GllFix& fix, const std::string& sentence) {
    const std::string& t = fix.timeText;
    FUZZ_CHECK(t.size() == 11 && t[2] == ':' && t[5] == ':' && t.compare(8, 3, " UT") == 0,
               "time text \"%s\" from \"%s\"", printable(t).c_str(), printable(sentence).c_str());
    for (unsigned char c : t) {
        FUZZ_CHECK(c >= 0x20 && c != 0x7F, "control character in time text from \"%s\"",
                   printable(sentence).c_str());
    }
}

void rawBytes(const std::string& sentence, bool eight) {
    const GllFix fix = tessaro::readGll(tessaro::receiveSentence(sentence), eight);
    (void)tessaro::isPositionSentence(tessaro::receiveSentence(sentence));
    (void)tessaro::isNmeaSentence(tessaro::receiveSentence(sentence));
    checkTimeText(fix, sentence);
    for (const auto kind :
         {tessaro::PositionKind::rmc, tessaro::PositionKind::gga, tessaro::PositionKind::gns}) {
        const GllFix other = tessaro::readPosition(tessaro::receiveSentence(sentence), kind, eight);
        checkTimeText(other, sentence);
        FUZZ_CHECK(!other.valid || (tessaro::checksumOf(sentence) != tessaro::Checksum::bad &&
                                    other.locator.size() == (eight ? 8u : 6u) &&
                                    other.latDeg <= 89 && other.lonDeg <= 179),
                   "valid %d fix from \"%s\"", static_cast<int>(kind), printable(sentence).c_str());
    }
    FUZZ_CHECK(fix.locator.empty() || fix.locator.size() == (eight ? 8u : 6u),
               "locator \"%s\" from \"%s\"", printable(fix.locator).c_str(),
               printable(sentence).c_str());
    if (fix.valid) {
        FUZZ_CHECK(!fix.locator.empty(), "valid fix without locator from \"%s\"",
                   printable(sentence).c_str());
        FUZZ_CHECK(tessaro::checksumOf(sentence) != tessaro::Checksum::bad,
                   "valid fix with a bad checksum: \"%s\"", printable(sentence).c_str());
    }

    // Digit fields give digit values, and a fix holds only well-formed numbers
    // that fit the pages' fields: a damaged line never moves the position.
    const std::vector<std::string> fields = nonEmptyFields(sentence);
    const bool digits =
        fields.size() >= 4 && digitsWhereRead(fields[1], 4, 7) && digitsWhereRead(fields[3], 5, 8);
    if (digits) {
        const bool digitsOk = between(fix.latDeg, 0, 99) && between(fix.latMin, 0, 99) &&
                              between(fix.latSec, 0, 59) && between(fix.lonDeg, 0, 999) &&
                              between(fix.lonMin, 0, 99) && between(fix.lonSec, 0, 59);
        FUZZ_CHECK(digitsOk, "%d %d %d / %d %d %d from \"%s\"", fix.latDeg, fix.latMin, fix.latSec,
                   fix.lonDeg, fix.lonMin, fix.lonSec, printable(sentence).c_str());
    }
    if (fix.valid) {
        FUZZ_CHECK(digits && fix.latDeg <= 89 && fix.lonDeg <= 179 && fix.latMin < 60 &&
                       fix.lonMin < 60 && sentence.size() <= tessaro::kSentenceCapacity,
                   "valid fix at %d %d / %d %d from \"%s\"", fix.latDeg, fix.latMin, fix.lonDeg,
                   fix.lonMin, printable(sentence).c_str());
    }
}

unsigned xorOf(const std::string& body) {
    unsigned sum = 0;
    for (unsigned char c : body) {
        sum ^= c;
    }
    return sum;
}

// A sentence as a receiver would send it, from fuzzed values in the accepted
// ranges; it must read back to those values and a locator holding them.
void builtSentence(FuzzedDataProvider& in, bool eight) {
    static const char* const talkers[] = {"GP", "GN", "GL", "GA", "GB", "BD", "GQ"};
    const int latDeg = in.ConsumeIntegralInRange(0, 89);
    const int latMin = in.ConsumeIntegralInRange(0, 59);
    const int latThousandths = in.ConsumeIntegralInRange(0, 999);
    const int lonDeg = in.ConsumeIntegralInRange(0, 179);
    const int lonMin = in.ConsumeIntegralInRange(0, 59);
    const int lonThousandths = in.ConsumeIntegralInRange(0, 999);
    const int extraDigits = in.ConsumeIntegralInRange(0, 4); // beyond the third decimal: ignored
    const bool north = in.ConsumeBool();
    const bool east = in.ConsumeBool();
    const bool lowerCase = in.ConsumeBool();
    const int hh = in.ConsumeIntegralInRange(0, 23);
    const int mm = in.ConsumeIntegralInRange(0, 59);
    const int ss = in.ConsumeIntegralInRange(0, 59);
    const int statusKind = in.ConsumeIntegralInRange(0, 2);   // A, V, or A with a mode field
    const int checksumKind = in.ConsumeIntegralInRange(0, 3); // good, lower-case, absent, wrong
    const char* talker = talkers[in.ConsumeIntegralInRange(0, 6)];
    const std::string junkDigits = "7345129860";

    char body[160];
    std::snprintf(body, sizeof body,
                  "%sGLL,%02d%02d.%03d%s,%c,%03d%02d.%03d%s,%c,%02d%02d%02d.00,%s", talker, latDeg,
                  latMin, latThousandths, junkDigits.substr(0, extraDigits).c_str(),
                  north ? (lowerCase ? 'n' : 'N') : (lowerCase ? 's' : 'S'), lonDeg, lonMin,
                  lonThousandths, junkDigits.substr(extraDigits, extraDigits).c_str(),
                  east ? (lowerCase ? 'e' : 'E') : (lowerCase ? 'w' : 'W'), hh, mm, ss,
                  statusKind == 1 ? "V" : (statusKind == 2 ? "A,D" : (lowerCase ? "a" : "A")));
    std::string sentence = std::string("$") + body;
    const unsigned sum = xorOf(body);
    char star[8];
    switch (checksumKind) {
    case 0:
        std::snprintf(star, sizeof star, "*%02X", sum);
        sentence += star;
        break;
    case 1:
        std::snprintf(star, sizeof star, "*%02x", sum);
        sentence += star;
        break;
    case 3:
        std::snprintf(star, sizeof star, "*%02X", sum ^ 0x01);
        sentence += star;
        break;
    default:
        break;
    }
    sentence += '\r';

    const GllFix fix = tessaro::readGll(tessaro::receiveSentence(sentence), eight);
    FUZZ_CHECK(tessaro::isPositionSentence(tessaro::receiveSentence(sentence)),
               "not a position: \"%s\"", sentence.c_str());
    const bool expectValid = statusKind != 1 && checksumKind != 3;
    FUZZ_CHECK(fix.valid == expectValid, "valid %d from \"%s\"", fix.valid,
               printable(sentence).c_str());
    const DmsPosition p{lonDeg, lonMin, lonThousandths * 60 / 1000,
                        latDeg, latMin, latThousandths * 60 / 1000,
                        east,   north};
    const bool same = fix.latDeg == p.latDeg && fix.latMin == p.latMin && fix.latSec == p.latSec &&
                      fix.north == p.north && fix.lonDeg == p.lonDeg && fix.lonMin == p.lonMin &&
                      fix.lonSec == p.lonSec && fix.east == p.east;
    FUZZ_CHECK(same, "read %d %d %d %d / %d %d %d %d, sent %d %d %d %d / %d %d %d %d: \"%s\"",
               fix.latDeg, fix.latMin, fix.latSec, fix.north, fix.lonDeg, fix.lonMin, fix.lonSec,
               fix.east, p.latDeg, p.latMin, p.latSec, p.north, p.lonDeg, p.lonMin, p.lonSec,
               p.east, printable(sentence).c_str());
    char time[16];
    std::snprintf(time, sizeof time, "%02d:%02d:%02d UT", hh, mm, ss);
    FUZZ_CHECK(fix.timeText == time, "time \"%s\" from \"%s\"", fix.timeText.c_str(),
               printable(sentence).c_str());
    tessaro::fuzz::checkLocatorHolds(fix.locator, p, eight);

    // The same values as RMC (time first, status second) read back alike.
    std::vector<std::string> parts;
    for (std::size_t from = 0, comma = 0; comma != std::string::npos; from = comma + 1) {
        comma = std::string(body).find(',', from);
        parts.push_back(std::string(body).substr(from, comma - from));
    }
    const std::string rmc = "$" + std::string(talker) + "RMC," + parts[5] + "," +
                            (statusKind == 1 ? "V" : "A") + "," + parts[1] + "," + parts[2] + "," +
                            parts[3] + "," + parts[4] + ",0.0,0.0,091226,,,A\r";
    const GllFix fromRmc =
        tessaro::readPosition(tessaro::receiveSentence(rmc), tessaro::PositionKind::rmc, eight);
    FUZZ_CHECK(fromRmc.valid == (statusKind != 1) && fromRmc.latDeg == p.latDeg &&
                   fromRmc.latSec == p.latSec && fromRmc.north == p.north &&
                   fromRmc.lonMin == p.lonMin && fromRmc.east == p.east && fromRmc.timeText == time,
               "RMC \"%s\" reads otherwise than \"%s\"", printable(rmc).c_str(),
               printable(sentence).c_str());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const bool eight = (data[0] & 1) != 0;
    if ((data[0] & 2) != 0) {
        FuzzedDataProvider in(data + 1, size - 1);
        builtSentence(in, eight);
    } else {
        rawBytes(std::string(reinterpret_cast<const char*>(data + 1), size - 1), eight);
    }
    return 0;
}
