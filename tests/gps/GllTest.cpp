#include "GllExpect.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace {

using namespace std::string_literals;
using tessaro::Checksum;
using tessaro::checksumOf;
using tessaro::GllFix;
using tessaro::isPositionSentence;
using tessaro::readGll;
using tessaro::receiveSentence;

// The sentence of the worked example, without its checksum and carriage return.
const std::string london = "$GPGLL,5130.7712,N,00007.3456,W,093015.00,";

struct FixRow {
    const char* name;
    std::string sentence;
    bool eight;
    ExpectedFix want;
};

class ReadGll : public testing::TestWithParam<FixRow> {};

TEST_P(ReadGll, GivesTheFix) {
    const FixRow& row = GetParam();
    expectFix(readGll(receiveSentence(row.sentence), row.eight), row.want);
}

const FixRow fixRows[] = {
    {"WorkedExample",
     london + "A*1F\r",
     false,
     {51, 30, 46, true, 0, 7, 20, false, "io91wm", "09:30:15 UT", true}},
    {"WorkedExampleEightDigits",
     london + "A*1F\r",
     true,
     {51, 30, 46, true, 0, 7, 20, false, "io91wm53", "09:30:15 UT", true}},
    {"StatusV",
     london + "V*08\r",
     false,
     {51, 30, 46, true, 0, 7, 20, false, "io91wm", "09:30:15 UT", false}},
    {"SecondsTruncatedNotRounded",
     "$GPGLL,5130.7719,N,00007.3459,W,093015.00,A\r",
     false,
     {51, 30, 46, true, 0, 7, 20, false, "io91wm", "09:30:15 UT", true}},
    {"NoTimeNoStatus",
     "$GPGLL,5130.7712,N,00007.3456,W\r",
     false,
     {51, 30, 46, true, 0, 7, 20, false, "io91wm", "00:00:00 UT", false}},
    // The token list drops empty fields, so the time lands in the latitude
    // and "V*26" in north/south; the rest take their defaults.
    {"EmptyMiddleFields",
     "$GPGLL,,,,,093015.00,V*26\r",
     false,
     {9, 30, 28, false, 8, 50, 48, true, "ji40kl", "00:00:00 UT", false}},
    {"TagOnlyTakesAllDefaults",
     "$GPGLL\r",
     true,
     {49, 56, 30, true, 8, 50, 48, true, "jn49kw16", "00:00:00 UT", false}},
    {"LowerCaseLetters",
     "$GPGLL,5130.7712,n,00007.3456,e,093015.00,a*2D\r",
     false,
     {51, 30, 46, true, 0, 7, 20, true, "jo01bm", "09:30:15 UT", true}},
    {"ModeFieldIgnored",
     "$GPGLL,4916.4500,N,12311.1200,W,225444,A,A*5C\r",
     false,
     {49, 16, 27, true, 123, 11, 7, false, "cn89jg", "22:54:44 UT", true}},
    {"ShortFieldsPaddedWithZeros",
     "$GPGLL,4916.45,N,12311.12,W,225444,A*31\r",
     false,
     {49, 16, 27, true, 123, 11, 7, false, "cn89jg", "22:54:44 UT", true}},
    {"ShortTimePadded",
     london.substr(0, 32) + "0930,A\r",
     false,
     {51, 30, 46, true, 0, 7, 20, false, "io91wm", "09:30:00 UT", true}},
    {"GnTalker",
     "$GNGLL,5130.7712,N,00007.3456,W,093015.00,A*01\r",
     false,
     {51, 30, 46, true, 0, 7, 20, false, "io91wm", "09:30:15 UT", true}},
    {"WrongChecksum",
     london + "A*1E\r",
     false,
     {51, 30, 46, true, 0, 7, 20, false, "io91wm", "09:30:15 UT", false}},
    {"LowerCaseChecksumDigits",
     "$GPGLL,5130.7712,n,00007.3456,e,093015.00,a*2d\r",
     false,
     {51, 30, 46, true, 0, 7, 20, true, "jo01bm", "09:30:15 UT", true}},
    {"ChecksumDigitsMissing",
     london + "A*\r",
     false,
     {51, 30, 46, true, 0, 7, 20, false, "io91wm", "09:30:15 UT", false}},
    {"NoChecksumUsedAsItIs",
     london + "A\r",
     false,
     {51, 30, 46, true, 0, 7, 20, false, "io91wm", "09:30:15 UT", true}},
    // 95 degrees north and 180 degrees east are beyond the locator's tables.
    {"LatitudeOutOfRange",
     "$GPGLL,9530.7712,N,00007.3456,W,093015.00,A\r",
     false,
     {95, 30, 46, true, 0, 7, 20, false, "", "09:30:15 UT", false}},
    {"LongitudeOutOfRange",
     "$GPGLL,5130.7712,N,18000.0000,E,093015.00,A\r",
     false,
     {51, 30, 46, true, 180, 0, 0, true, "", "09:30:15 UT", false}},
    // ":" counts 10 and a space -16, as the digit arithmetic says.
    {"ColonsCountTen",
     "$GPGLL,::30.7712,N,00007.3456,W,093015.00,A\r",
     false,
     {110, 30, 46, true, 0, 7, 20, false, "", "09:30:15 UT", false}},
    {"SpaceCountsMinusSixteen",
     "$GPGLL, 130.7712,N,00007.3456,W,093015.00,A\r",
     false,
     {-159, 30, 46, true, 0, 7, 20, false, "", "09:30:15 UT", false}},
    // Bytes from 128 up count as their unsigned code minus 48.
    {"HighBytesInDegrees",
     "$GPGLL,\xFF\xFF"
     "30.7712,N,00007.3456,W,093015.00,A\r",
     false,
     {2277, 30, 46, true, 0, 7, 20, false, "", "09:30:15 UT", false}},
    {"HighBytesInTimeKept",
     london.substr(0, 32) + "\xB0\xB1\xB4\xB0\xB1\xB4,V\r",
     false,
     {51, 30, 46, true, 0, 7, 20, false, "io91wm", "\xB0\xB1:\xB4\xB0:\xB1\xB4 UT", false}},
    // Reading stops at a NUL byte: later fields take their defaults and the
    // lost status makes the fix invalid.
    {"NulInLatitude",
     "$GPGLL,5130.77\0"
     "12,N,00007.3456,W,093015.00,A\r"s,
     false,
     {51, 30, 46, true, 8, 50, 48, true, "jo41km", "00:00:00 UT", false}},
    {"NulInTime",
     "$GPGLL,5130.7712,N,00007.3456,W,09\0"
     "3015.00,A\r"s,
     false,
     {51, 30, 46, true, 0, 7, 20, false, "io91wm", "09:00:00 UT", false}},
    {"OverlongFieldsCut",
     "$GPGLL,5130.7712" + std::string(100, '9') + ",N,00007.3456" + std::string(100, '9') +
         ",W,093015" + std::string(100, '7') + ",A\r",
     false,
     {51, 30, 46, true, 0, 7, 20, false, "io91wm", "09:30:15 UT", true}},
    // A message is held in 515 characters: a status beyond them is lost.
    {"StatusBeyondCapacityLost",
     london + std::string(600, ',') + "A\r",
     false,
     {51, 30, 46, true, 0, 7, 20, false, "io91wm", "09:30:15 UT", false}},
    // A cut message lost its tail, and perhaps the checksum in it.
    {"TailBeyondCapacityCut",
     london + "A," + std::string(600, 'x') + "\r",
     false,
     {51, 30, 46, true, 0, 7, 20, false, "io91wm", "09:30:15 UT", false}},
    {"WrongChecksumBeyondCapacity",
     london + "A," + std::string(600, 'x') + "*00\r",
     false,
     {51, 30, 46, true, 0, 7, 20, false, "io91wm", "09:30:15 UT", false}},
};

INSTANTIATE_TEST_SUITE_P(Table, ReadGll, testing::ValuesIn(fixRows),
                         [](const testing::TestParamInfo<FixRow>& info) {
                             return std::string(info.param.name);
                         });

// Only digits where the reading takes them, "." (or the field's end) after
// the minutes and minutes below 60 make a fix; digits past the read ones and
// short fields are fine.
TEST(ReadGllNumbers, MalformedNumbersAreAnInvalidFix) {
    const struct {
        const char* latitude;
        const char* longitude;
        bool valid;
    } rows[] = {
        {"5159.9999", "17959.9999", true},
        {"51", "000", true},
        {"5130", "00007", true},
        {"5130.771:", "00007.345/", true},
        {"51::.7712", "00007.3456", false}, // minutes read as 110
        {"5130:7712", "00007.3456", false},
        {"513.07712", "00007.3456", false},
        {"5130.7-12", "00007.3456", false},
        {"5130.\xB0"
         "12",
         "00007.3456", false},
        {" 5130.771", "00007.3456", false},
        {"5160.0000", "00007.3456", false},
        {"5130.7712", "00/07.3456", false},
        {"5130.7712", "0000.73456", false},
        {"5130.7712", "00060.0000", false},
    };
    for (const auto& row : rows) {
        const std::string sentence =
            std::string("$GPGLL,") + row.latitude + ",N," + row.longitude + ",W,093015.00,A\r";
        EXPECT_EQ(readGll(receiveSentence(sentence), false).valid, row.valid) << sentence;
    }
    // A right checksum does not make impossible minutes a fix.
    EXPECT_FALSE(
        readGll(receiveSentence("$GPGLL,5130.7712,N,00099.3456,W,093015.00,A*18\r"), false).valid);
}

struct TagRow {
    const char* name;
    std::string sentence;
    bool position;
};

class PositionSentence : public testing::TestWithParam<TagRow> {};

TEST_P(PositionSentence, RecognisesThePositionSentencesOfEveryTalker) {
    EXPECT_EQ(isPositionSentence(receiveSentence(GetParam().sentence)), GetParam().position);
}

const TagRow tagRows[] = {
    {"Gp", "$GPGLL,1,N", true},
    {"Gn", "$GNGLL,1,N", true},
    {"Gl", "$GLGLL,1,N", true},
    {"Ga", "$GAGLL,1,N", true},
    {"Gb", "$GBGLL,1,N", true},
    {"Bd", "$BDGLL,1,N", true},
    {"Gq", "$GQGLL,1,N", true},
    {"AnywhereInText", "junk$GNGLL,1,N", true},
    {"Rmc", "$GNRMC,1,A", true},
    {"Gga", "$GPGGA,1,5", true},
    {"Gns", "$GLGNS,1,5", true},
    {"MarineTalker", "$ECGLL,1,N", true},
    {"OtherSentence", "$GPGSV,1,N", false},
    {"Proprietary", "$PGRMC,1,N", false},
    {"LowerCase", "$gpgll,1,N", false},
    {"NoDollar", "GPGLL,1,N", false},
    {"Truncated", "$GPGL", false},
    {"EmptyText", "", false},
    {"AfterNul", "$\0$GPGLL,1,N"s, false},
    {"BeyondCapacity", std::string(600, 'x') + "$GPGLL,1,N", false},
};

INSTANTIATE_TEST_SUITE_P(Table, PositionSentence, testing::ValuesIn(tagRows),
                         [](const testing::TestParamInfo<TagRow>& info) {
                             return std::string(info.param.name);
                         });

// RMC, GGA and GNS: the worked example's place and time in each, and what
// makes each of them no fix. Fields keep their places (empty ones too).
struct PositionRow {
    const char* name;
    std::string sentence;
    bool valid; // then the worked example's fix
};

class ReadPosition : public testing::TestWithParam<PositionRow> {};

TEST_P(ReadPosition, GivesTheFixTheReceiverReports) {
    const PositionRow& row = GetParam();
    const tessaro::ReceivedSentence held = receiveSentence(row.sentence);
    const GllFix fix = tessaro::readPosition(held, tessaro::positionKind(held), false);
    if (row.valid) {
        expectFix(fix, {51, 30, 46, true, 0, 7, 20, false, "io91wm", "09:30:15 UT", true});
        EXPECT_EQ(fix.timeField, "093015.00");
    } else {
        EXPECT_FALSE(fix.valid);
    }
}

const PositionRow positionRows[] = {
    {"Rmc", "$GPRMC,093015.00,A,5130.7712,N,00007.3456,W,0.0,0.0,091226,,,A*4B\r", true},
    {"RmcWrongChecksum", "$GPRMC,093015.00,A,5130.7712,N,00007.3456,W,0.0,0.0,091226,,,A*4C\r",
     false},
    {"RmcStatusV", "$GPRMC,093015.00,V,5130.7712,N,00007.3456,W,,,091226,,,N\r", false},
    {"RmcModeNOutweighsStatusA", "$GPRMC,093015.00,A,5130.7712,N,00007.3456,W,,,091226,,,N\r",
     false},
    {"RmcNoFixYet", "$GPRMC,093015.00,V,,,,,,,091226,,,N\r", false},
    {"RmcEmptyLatitudeDespiteA", "$GPRMC,093015.00,A,,N,00007.3456,W,,,091226,,,A\r", false},
    {"Gga", "$GNGGA,093015.00,5130.7712,N,00007.3456,W,1,08,0.9,45.0,M,47.0,M,,*5A\n", true},
    {"GgaDifferential", "$GPGGA,093015.00,5130.7712,N,00007.3456,W,2,08,0.9,45.0,M,47.0,M,,\r",
     true},
    {"GgaQualityZero", "$GPGGA,093015.00,5130.7712,N,00007.3456,W,0,08,0.9,45.0,M,47.0,M,,\r",
     false},
    {"GgaQualityEmpty", "$GPGGA,093015.00,5130.7712,N,00007.3456,W,,08\r", false},
    {"GgaCutShort", "$GPGGA,093015.00,5130.7712,N\r", false},
    {"Gns", "$GNGNS,093015.00,5130.7712,N,00007.3456,W,NA,08,0.9,45.0,47.0,,,S*00\r", true},
    {"GnsNoSystemHasAFix", "$GNGNS,093015.00,5130.7712,N,00007.3456,W,NN,08,0.9,45.0,47.0\r",
     false},
    {"HemisphereNeitherNorS", "$GPGGA,093015.00,5130.7712,X,00007.3456,W,1,08\r", false},
    {"HemisphereNeitherEorW", "$GPRMC,093015.00,A,5130.7712,N,00007.3456,Q,,,091226,,,A\r", false},
    {"GllModeN", "$GPGLL,5130.7712,N,00007.3456,W,093015.00,A,N\r", false},
    {"GllHemisphereX", "$GPGLL,5130.7712,N,00007.3456,X,093015.00,A\r", false},
};

INSTANTIATE_TEST_SUITE_P(Table, ReadPosition, testing::ValuesIn(positionRows),
                         [](const testing::TestParamInfo<PositionRow>& info) {
                             return std::string(info.param.name);
                         });

// A damaged time field's control bytes never reach the status line raw.
TEST(ReadPosition, ControlCharactersOfTheTimeAreShownAsQuestionMarks) {
    const auto held = receiveSentence("$GPRMC,09\x1b"
                                      "3015,A,5130.7712,N,00007.3456,W\r");
    EXPECT_EQ(tessaro::readPosition(held, tessaro::PositionKind::rmc, false).timeText,
              "09:?3:01 UT");
    EXPECT_EQ(
        readGll(receiveSentence("$GPGLL,5130.7712,N,00007.3456,W,\x7f\t3015,A\r"), false).timeText,
        "??:30:15 UT");
}

struct ChecksumRow {
    const char* name;
    std::string sentence;
    Checksum expected;
};

class ChecksumOf : public testing::TestWithParam<ChecksumRow> {};

TEST_P(ChecksumOf, Judges) {
    EXPECT_EQ(checksumOf(GetParam().sentence), GetParam().expected);
}

const ChecksumRow checksumRows[] = {
    {"Absent", london + "A\r", Checksum::absent},
    {"Right", london + "A*1F\r", Checksum::good},
    {"RightWithoutLineEnd", london + "A*1F", Checksum::good},
    {"RightLowerCase", "$GPGLL,5130.7712,n,00007.3456,e,093015.00,a*2d\r", Checksum::good},
    {"Wrong", london + "A*1E\r", Checksum::bad},
    {"OneDigit", london + "A*1", Checksum::bad},
    {"NoDigits", london + "A*", Checksum::bad},
    {"NotHex", london + "A*1G\r", Checksum::bad},
    {"JunkBeforeDollarIgnored", "xy" + london + "A*1F\r", Checksum::good},
    {"EmptyBody", "$*00", Checksum::good},
    {"HighBytesCountUnsigned", "$\xB0*B0", Checksum::good},
};

INSTANTIATE_TEST_SUITE_P(Table, ChecksumOf, testing::ValuesIn(checksumRows),
                         [](const testing::TestParamInfo<ChecksumRow>& info) {
                             return std::string(info.param.name);
                         });

// Line noise of every byte value after a real tag: the reading must stay
// inside its buffers and give well-formed texts, whatever arrives.
TEST(ReadGllNoise, AnyBytesGiveWellFormedTexts) {
    std::mt19937 random(20240611);
    std::uniform_int_distribution<int> byte(0, 255), length(0, 700), comma(0, 7);
    for (int round = 0; round < 3000; ++round) {
        static const char* const tags[] = {"$GPGLL,", "$GNRMC,", "$GPGGA,", "$GNGNS,"};
        std::string sentence = tags[round % 4];
        for (int i = length(random); i > 0; --i) {
            sentence += comma(random) == 0 ? ',' : static_cast<char>(byte(random));
        }
        const tessaro::ReceivedSentence held = receiveSentence(sentence);
        const GllFix fix = tessaro::readPosition(held, tessaro::positionKind(held), round % 3 == 0);
        ASSERT_EQ(fix.timeText.size(), 11u) << round;
        for (char c : fix.timeText) {
            ASSERT_TRUE(static_cast<unsigned char>(c) >= 0x20 && c != 0x7F) << round;
        }
        ASSERT_EQ(fix.locator.find('\0'), std::string::npos) << round;
        if (fix.valid) {
            ASSERT_EQ(fix.locator.size(), round % 3 == 0 ? 8u : 6u) << round;
            // Every number of a fix fits its page field (2 or 3 characters).
            for (std::int32_t v : {fix.latDeg, fix.latMin, fix.latSec, fix.lonMin, fix.lonSec}) {
                ASSERT_TRUE(v >= 0 && v <= 99) << round;
            }
            ASSERT_TRUE(fix.lonDeg >= 0 && fix.lonDeg <= 999) << round;
        }
    }
}

} // namespace
