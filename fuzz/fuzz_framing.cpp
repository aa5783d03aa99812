// Message framing on arbitrary received bytes and framing characters.
//
// Every delivered message must be the received bytes that end with the
// current byte, start with the start character, hold no start or end
// character before its end character and exactly the trailer after it, and
// fit the bound. After any garbage, a well-formed message is still delivered
// whole, and one too long for the bound is not, without stopping the next.
#include "FuzzCheck.h"
#include "MessageFraming.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <string>

namespace {

using tessaro::FramingState;
using tessaro::fuzz::printable;

struct Framer {
    FramingState state;
    char start, end;
    std::uint16_t append;
    int other = -1;       // a second end character ('\n' for NMEA lines), or none
    std::string received; // every byte fed so far

    // Feeds one byte; returns true when it completed a message, after checking it.
    bool feed(char c) {
        received += c;
        if (!tessaro::frameByte(state, static_cast<unsigned char>(c), start, end, append, other)) {
            return false;
        }
        check(state.MessageBuffer);
        return true;
    }

    void check(const std::string& m) const {
        FUZZ_CHECK(m.size() >= 2u + append && m.size() <= tessaro::maxMessageLength,
                   "message of %zu bytes, trailer %u", m.size(), append);
        FUZZ_CHECK(received.size() >= m.size() &&
                       received.compare(received.size() - m.size(), m.size(), m) == 0,
                   "message \"%s\" is not the last bytes received", printable(m).c_str());
        const std::size_t endAt = m.size() - 1 - append;
        // An end character equal to the start one never ends a message; the second one may.
        FUZZ_CHECK(start != end || static_cast<unsigned char>(m[endAt]) == other,
                   "a message with start == end: \"%s\"", printable(m).c_str());
        const bool ended = m[endAt] == end || static_cast<unsigned char>(m[endAt]) == other;
        FUZZ_CHECK(m[0] == start && ended, "framing of \"%s\" (start %02X end %02X)",
                   printable(m).c_str(), static_cast<unsigned char>(start),
                   static_cast<unsigned char>(end));
        for (std::size_t i = 1; i < endAt; ++i) {
            FUZZ_CHECK(m[i] != start && m[i] != end && static_cast<unsigned char>(m[i]) != other,
                       "byte %zu of \"%s\" is a framing character", i, printable(m).c_str());
        }
    }
};

// A body byte that is neither framing character.
char plainByte(char start, char end) {
    for (char c : {'a', 'b', 'c'}) {
        if (c != start && c != end) {
            return c;
        }
    }
    return 'd';
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    Framer f;
    f.start = static_cast<char>(in.ConsumeIntegral<std::uint8_t>());
    f.end = static_cast<char>(in.ConsumeIntegral<std::uint8_t>());
    // Mostly short trailers; sometimes any, up to past the bound.
    f.append = in.ConsumeBool() ? in.ConsumeIntegralInRange<std::uint16_t>(0, 4)
                                : in.ConsumeIntegral<std::uint16_t>();
    const std::size_t longBody = in.ConsumeIntegralInRange<std::size_t>(4000, 4200);
    f.other = in.ConsumeBool() ? '\n' : -1;
    for (char c : in.ConsumeRemainingBytesAsString()) {
        f.feed(c);
    }
    if (f.start == f.end) {
        return 0;
    }

    // Let a trailer in progress run out, then frame a message of known length.
    const char filler = plainByte(f.start, f.end);
    while (f.state.FrameState == frTrailer) {
        f.feed(filler);
    }
    auto frame = [&](std::size_t bodyLength) {
        std::string m(1, f.start);
        m.append(bodyLength, filler);
        m += f.end;
        m.append(f.append, filler);
        return m;
    };
    auto deliveries = [&](const std::string& m) {
        int count = 0;
        for (std::size_t i = 0; i < m.size(); ++i) {
            if (f.feed(m[i])) {
                ++count;
                FUZZ_CHECK(i + 1 == m.size(), "delivered after %zu of %zu bytes", i + 1, m.size());
                FUZZ_CHECK(f.state.MessageBuffer == m, "delivered \"%s\"",
                           printable(f.state.MessageBuffer).c_str());
            }
        }
        return count;
    };

    const std::string tooLong = frame(longBody);
    const int expected = tooLong.size() <= tessaro::maxMessageLength ? 1 : 0;
    FUZZ_CHECK(deliveries(tooLong) == expected, "%zu-byte message (trailer %u): wrong deliveries",
               tooLong.size(), f.append);
    const std::string shortOne = frame(5);
    if (shortOne.size() <= tessaro::maxMessageLength) {
        FUZZ_CHECK(deliveries(shortOne) == 1, "short message after a long one was not delivered");
    }
    return 0;
}
