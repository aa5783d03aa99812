// Soak run of the GPS road: a mixed NMEA stream (valid fixes, invalid ones,
// bad checksums, garbage, NUL bytes, over-long lines, other sentences)
// written through a pseudo-terminal at full speed into the real window, with
// every handled message checked against what the stream says must happen.
// Shared by the short test and the long benchmark program.
#pragma once

#include <cstdint>
#include <string>

namespace tessaro::prove {

// What one item of the stream is, and so what the window must show for it.
enum class ItemKind {
    validFix,     // the fix moves the start point: "New GPS data received at ..."
    statusV,      // "GPS data from ... is INVALID!"
    badChecksum,  // same
    nulInStatus,  // same: reading stops at the NUL, the status is missing
    truncated,    // same, with 00:00:00 UT
    longCut,      // 516..4000 bytes: cut to the node, so its checksum is gone: invalid
    longDropped,  // over the framing bound: never delivered, no trace
    garbage,      // random bytes (NUL runs among them): no trace
    otherSentence // GGA, RMC, VTG, GSA: no trace
};

const char* kindName(ItemKind kind);
constexpr int kindCount = 9;

// The stream is a pure function of (seed, index), so the window thread can
// check item i without the writer keeping anything.
struct SoakStream {
    std::uint64_t seed = 1;

    ItemKind kind(std::uint64_t i) const;
    // The bytes written for item i, line end included.
    std::string bytes(std::uint64_t i) const;

    // For items with a visible outcome: the time text ("hh:mm:ss UT") shown.
    std::string timeText(std::uint64_t i) const;

    // The fix a valid item carries: distinct for every index below 58 million.
    struct Fix {
        int latDeg, latMin, latSec;
        bool north;
        int lonDeg, lonMin, lonSec;
        bool east;
    };
    Fix fix(std::uint64_t i) const;
};

struct SoakOptions {
    std::uint64_t items = 20000;
    std::uint64_t seed = 1;
    // Settings location the caller has given QSettings: the store is written there.
    std::string settingsDir;
    // The run fails when no message arrives for this long.
    int stallMs = 15000;
    bool progress = false; // a line on stderr every 10 %
    // Shown windows are painted partly on Qt's own pool threads, which
    // ThreadSanitizer cannot follow in the uninstrumented library.
    bool showWindow = true;
};

struct SoakResult {
    std::uint64_t written[kindCount] = {};
    std::uint64_t bytesWritten = 0;
    std::uint64_t messages = 0;     // handler calls
    std::uint64_t applied = 0;      // valid fixes seen on the pages, each as expected
    std::uint64_t shownInvalid = 0; // invalid outcomes seen, each as expected
    std::uint64_t noTrace = 0;      // messages that changed nothing
    std::uint64_t expectedApplied = 0;
    std::uint64_t expectedInvalid = 0;
    std::uint64_t mismatches = 0;
    std::string firstMismatch;
    std::string setupError;
    bool finished = false; // every expected outcome arrived
    double seconds = 0.0;  // from the first byte written to the last outcome
    long rssStartKb = 0;   // window open, nothing sent
    long rssWarmKb = 0;    // after 10 % of the items were handled
    long rssEndKb = 0;
    // Bytes the heap hands out (malloc's own count), after 10 % and after 90 %
    // of the items were handled: the writer is busy at both.
    long long heapWarmBytes = 0;
    long long heapEndBytes = 0;
    unsigned errorsShown = 0; // "Serial I/O Error..." seen (must stay 0)

    bool ok() const {
        return setupError.empty() && finished && mismatches == 0 && applied == expectedApplied &&
               shownInvalid == expectedInvalid && errorsShown == 0;
    }
};

// Needs a QApplication on the calling thread, which becomes the window thread.
SoakResult runSoak(const SoakOptions& options);

long residentKb();          // VmRSS of this process
long long heapInUseBytes(); // allocated and not freed, small and large blocks

} // namespace tessaro::prove
