#include "Gll.h"

#include "NumberDisplay.h"
#include "QTH.h"
#include "RtToken.h"

#include <algorithm>
#include <cstdio>
#include <vector>

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

bool isUpper(char c) {
    return c >= 'A' && c <= 'Z';
}

bool isHemisphere(const std::string& field, char positive, char negative) {
    const char c = upperFirst(field);
    return c == positive || c == negative;
}

// "hh:mm:ss UT" from a time field, padded like the numbers; a damaged field's
// control characters must not reach the status line as raw bytes.
std::string timeTextOf(std::string time) {
    if (time.size() < 6) {
        time.append(6 - time.size(), '0');
    }
    std::string text =
        time.substr(0, 2) + ":" + time.substr(2, 2) + ":" + time.substr(4, 2) + " UT";
    for (char& c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            c = '?';
        }
    }
    return text;
}

// The coordinates, locator and time of a fix, and whether it is valid given
// what the receiver says of it (`reported`).
GllFix fixFrom(const ReceivedSentence& sentence, const std::string& latitude,
               const std::string& northSouth, const std::string& longitude,
               const std::string& eastWest, const std::string& time, bool reported,
               bool eightDigits) {
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
    fix.timeText = timeTextOf(time);

    const bool numbers =
        wellFormed(latitude, 4) && wellFormed(longitude, 5) && fix.latMin < 60 && fix.lonMin < 60;
    // A hemisphere other than N/S or E/W is a damaged line, not the south or west.
    const bool hemispheres = isHemisphere(northSouth, 'N', 'S') && isHemisphere(eastWest, 'E', 'W');
    fix.valid = reported && numbers && hemispheres && inRange && !sentence.cut &&
                checksumOf(sentence.bytes) != Checksum::bad;
    return fix;
}

// The fields of a sentence in their places, empty ones kept, each cut to the
// field capacity; the checksum and the line end are not part of the last one.
std::vector<std::string> fieldsOf(const std::string& text) {
    std::string body = text.substr(0, text.find('*'));
    while (!body.empty() && (body.back() == '\r' || body.back() == '\n')) {
        body.pop_back();
    }
    std::vector<std::string> fields;
    std::size_t from = 0;
    while (true) {
        const std::size_t comma = body.find(',', from);
        fields.push_back(body.substr(from, std::min(comma - from, kFieldCapacity)));
        if (comma == std::string::npos) {
            break;
        }
        from = comma + 1;
    }
    return fields;
}

const std::string& fieldAt(const std::vector<std::string>& fields, std::size_t i) {
    static const std::string none;
    return i < fields.size() ? fields[i] : none;
}

// Where the type's tag starts in the text, and which type it is.
struct Tag {
    std::size_t at = std::string::npos;
    PositionKind kind = PositionKind::none;
};

Tag findTag(const std::string& text) {
    static const struct {
        const char* type;
        PositionKind kind;
    } types[] = {{"GLL", PositionKind::gll},
                 {"RMC", PositionKind::rmc},
                 {"GGA", PositionKind::gga},
                 {"GNS", PositionKind::gns}};
    for (std::size_t at = text.find('$'); at != std::string::npos; at = text.find('$', at + 1)) {
        if (text.size() < at + 6 || !isUpper(text[at + 1]) || !isUpper(text[at + 2]) ||
            text[at + 1] == 'P') {
            continue;
        }
        for (const auto& t : types) {
            if (text.compare(at + 3, 3, t.type) == 0) {
                return {at, t.kind};
            }
        }
    }
    return {};
}

} // namespace

ReceivedSentence receiveSentence(const std::string& message) {
    ReceivedSentence held;
    held.cut = message.size() > kSentenceCapacity;
    held.bytes = message.substr(0, kSentenceCapacity);
    return held;
}

PositionKind positionKind(const ReceivedSentence& sentence) {
    return findTag(textOf(sentence)).kind;
}

bool isNmeaSentence(const ReceivedSentence& sentence) {
    std::string text = textOf(sentence);
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n')) {
        text.pop_back();
    }
    if (text.size() < 7 || (text[0] != '$' && text[0] != '!') || text[6] != ',' || sentence.cut) {
        return false;
    }
    for (std::size_t i = 1; i < 6; ++i) {
        if (!isUpper(text[i]) && !isDigit(text[i])) {
            return false;
        }
    }
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte >= 0x7F) {
            return false;
        }
    }
    return checksumOf(text) != Checksum::bad;
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
    const std::string time = nextField(fields, "");
    const std::string status = nextField(fields, "");
    // NMEA 2.3 and later add a mode; "N" (not valid) outweighs status "A".
    const std::string mode = nextField(fields, "");

    GllFix fix = fixFrom(sentence, latitude, northSouth, longitude, eastWest, time,
                         upperFirst(status) == 'A' && upperFirst(mode) != 'N', eightDigits);
    fix.timeField = time;
    return fix;
}

GllFix readPosition(const ReceivedSentence& sentence, PositionKind kind, bool eightDigits) {
    if (kind == PositionKind::gll) {
        return readGll(sentence, eightDigits);
    }
    const std::string text = textOf(sentence);
    const Tag tag = findTag(text);
    const std::vector<std::string> f =
        fieldsOf(text.substr(tag.at == std::string::npos ? 0 : tag.at));
    // Field numbers after the tag: time, then the coordinates at `at`..`at`+3.
    std::size_t at = 2;
    bool reported = false;
    switch (kind) {
    case PositionKind::rmc:
        at = 3;
        // Status A, and the mode of NMEA 2.3 and later not "N".
        reported = upperFirst(fieldAt(f, 2)) == 'A' && upperFirst(fieldAt(f, 12)) != 'N';
        break;
    case PositionKind::gga: {
        const std::string& quality = fieldAt(f, 6);
        reported = !quality.empty() &&
                   std::all_of(quality.begin(), quality.end(), [](char c) { return isDigit(c); }) &&
                   quality.find_first_not_of('0') != std::string::npos;
        break;
    }
    case PositionKind::gns: {
        // One mode letter per satellite system; any of them other than N has a fix.
        const std::string& mode = fieldAt(f, 6);
        reported = mode.find_first_not_of('N') != std::string::npos;
        break;
    }
    default:
        break;
    }
    const std::string& latitude = fieldAt(f, at);
    const std::string& longitude = fieldAt(f, at + 2);
    // A coordinate left empty is no position, not the place a default would give.
    reported = reported && !latitude.empty() && !longitude.empty();
    GllFix fix = fixFrom(sentence, latitude, fieldAt(f, at + 1), longitude, fieldAt(f, at + 3),
                         fieldAt(f, 1), reported, eightDigits);
    fix.timeField = fieldAt(f, 1);
    return fix;
}

} // namespace tessaro
