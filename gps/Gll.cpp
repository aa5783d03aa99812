#include "Gll.h"

#include "NumberDisplay.h"
#include "QTH.h"
#include "RtToken.h"

#include <algorithm>
#include <cstdio>

namespace tessaro {

namespace {

// The text the fields are read from: the bytes up to the first NUL.
std::string textOf(const ReceivedSentence& sentence) {
    return sentence.bytes.substr(0, sentence.bytes.find('\0'));
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Digit value at position i: the byte's code minus that of "0" (wellFormed()
// tells whether it was a digit). Positions past the field's end count as "0",
// so "4916.45" reads as 4916.450.
std::int32_t digitAt(const std::string& field, std::size_t i) {
    if (i >= field.size()) {
        return 0;
    }
    return static_cast<std::int32_t>(static_cast<unsigned char>(field[i])) - '0';
}

char upperFirst(const std::string& field) {
    const char c = field.empty() ? '\0' : field[0];
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// The next field into the field buffer: at most kFieldCapacity characters, or
// the default when the sentence has no more fields.
std::string nextField(TRtTokenList& fields, const char* fallback) {
    std::string field = fields.Next();
    if (field.size() > kFieldCapacity) {
        field.resize(kFieldCapacity);
    }
    return field.empty() ? std::string(fallback) : field;
}

// Thousandths of a minute at positions first..first+2, as whole seconds; the
// remainder is dropped, never rounded.
std::int32_t secondsAt(const std::string& field, std::size_t first) {
    const std::int32_t thousandths =
        100 * digitAt(field, first) + 10 * digitAt(field, first + 1) + digitAt(field, first + 2);
    return thousandths * 60 / 1000;
}

// Every position the reading takes is a digit, and the one after the minutes
// (`point`) is the decimal point; positions past the field's end read as "0".
bool wellFormed(const std::string& field, std::size_t point) {
    const std::size_t read = std::min(field.size(), point + 4);
    for (std::size_t i = 0; i < read; ++i) {
        if (i == point ? field[i] != '.' : !isDigit(field[i])) {
            return false;
        }
    }
    return true;
}

// The start place as a GLL coordinate field: degrees in `degreeDigits`
// digits, minutes with four decimals.
std::string startField(int degreeDigits, std::int32_t deg, std::int32_t min, std::int32_t sec) {
    char text[16];
    std::snprintf(text, sizeof text, "%0*d%02d.%04d", degreeDigits, static_cast<int>(deg),
                  static_cast<int>(min), static_cast<int>(sec * 10000 / 60));
    return text;
}
// Whole seconds that survive the minutes' decimals and the reading back.
static_assert(kStartPlace.latSec * 10000 % 60 == 0 && kStartPlace.lonSec * 10000 % 60 == 0);

} // namespace

ReceivedSentence receiveSentence(const std::string& message) {
    ReceivedSentence held;
    held.cut = message.size() > kSentenceCapacity;
    held.bytes = message.substr(0, kSentenceCapacity);
    return held;
}

bool isPositionSentence(const ReceivedSentence& sentence) {
    static const char* const tags[] = {"$GPGLL", "$GNGLL", "$GLGLL", "$GAGLL",
                                       "$GBGLL", "$BDGLL", "$GQGLL"};
    const std::string text = textOf(sentence);
    for (const char* tag : tags) {
        if (text.find(tag) != std::string::npos) {
            return true;
        }
    }
    return false;
}

Checksum checksumOf(const std::string& sentence) {
    const std::size_t dollar = sentence.find('$');
    const std::size_t begin = dollar == std::string::npos ? 0 : dollar + 1;
    const std::size_t star = sentence.find('*', begin);
    if (star == std::string::npos) {
        return Checksum::absent;
    }
    unsigned sum = 0;
    for (std::size_t i = begin; i < star; ++i) {
        sum ^= static_cast<unsigned char>(sentence[i]);
    }
    if (sentence.size() - star < 3) {
        return Checksum::bad;
    }
    const int high = hexDigitValue(sentence[star + 1]);
    const int low = hexDigitValue(sentence[star + 2]);
    if (high < 0 || low < 0) {
        return Checksum::bad;
    }
    return static_cast<unsigned>(high * 16 + low) == sum ? Checksum::good : Checksum::bad;
}

GllFix readGll(const ReceivedSentence& sentence, bool eightDigits) {
    const std::string text = textOf(sentence);
    TRtTokenList fields(text.c_str());
    fields.SetDelimiters(",");
    fields.First(); // the tag, already recognised by the caller
    // Missing fields stand for the start place.
    static const std::string startLat =
        startField(2, kStartPlace.latDeg, kStartPlace.latMin, kStartPlace.latSec);
    static const std::string startLon =
        startField(3, kStartPlace.lonDeg, kStartPlace.lonMin, kStartPlace.lonSec);
    const std::string latitude = nextField(fields, startLat.c_str());
    const std::string northSouth = nextField(fields, kStartPlace.north ? "N" : "S");
    const std::string longitude = nextField(fields, startLon.c_str());
    const std::string eastWest = nextField(fields, kStartPlace.east ? "E" : "W");
    std::string time = nextField(fields, "000000");
    const std::string status = nextField(fields, "");

    GllFix fix;
    // ddmm.mmm: position 4 is the decimal point.
    fix.latDeg = 10 * digitAt(latitude, 0) + digitAt(latitude, 1);
    fix.latMin = 10 * digitAt(latitude, 2) + digitAt(latitude, 3);
    fix.latSec = secondsAt(latitude, 5);
    fix.north = upperFirst(northSouth) == 'N';
    // dddmm.mmm: position 5 is the decimal point.
    fix.lonDeg = 100 * digitAt(longitude, 0) + 10 * digitAt(longitude, 1) + digitAt(longitude, 2);
    fix.lonMin = 10 * digitAt(longitude, 3) + digitAt(longitude, 4);
    fix.lonSec = secondsAt(longitude, 6);
    fix.east = upperFirst(eastWest) == 'E';

    bool inRange = true;
    try {
        fix.locator = LatLonToLocator(fix.lonDeg, fix.lonMin, fix.lonSec, fix.latDeg, fix.latMin,
                                      fix.latSec, fix.east, fix.north, eightDigits);
    } catch (const LocatorRangeError&) {
        // Malformed or shifted fields; the feed must carry on with the next one.
        inRange = false;
    }

    // hhmmss, fractions ignored; a short field is padded like the numbers.
    if (time.size() < 6) {
        time.append(6 - time.size(), '0');
    }
    fix.timeText = time.substr(0, 2) + ":" + time.substr(2, 2) + ":" + time.substr(4, 2) + " UT";

    const bool numbers =
        wellFormed(latitude, 4) && wellFormed(longitude, 5) && fix.latMin < 60 && fix.lonMin < 60;
    fix.valid = upperFirst(status) == 'A' && numbers && inRange && !sentence.cut &&
                checksumOf(sentence.bytes) != Checksum::bad;
    return fix;
}

} // namespace tessaro
