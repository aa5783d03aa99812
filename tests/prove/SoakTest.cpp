// A short soak: a mixed NMEA stream through a pseudo-terminal into the real
// window, every handled message checked (bench/soak.cpp runs the long one).
#include "Soak.h"
#include "window_fixture.h"

namespace {

using tessaro::prove::ItemKind;
using tessaro::prove::kindCount;
using tessaro::prove::kindName;
using tessaro::prove::runSoak;
using tessaro::prove::SoakOptions;

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool sanitized = true;
#else
constexpr bool sanitized = false;
#endif

class Soak : public WindowFixture {};

TEST_F(Soak, EveryValidFixArrivesInOrderAndNothingElseMovesThePosition) {
    SoakOptions options;
    // Every kind of item comes a few times even in the shortest run; the long
    // run is bench/soak.cpp. ThreadSanitizer slows the handler and the event
    // thread about tenfold.
#if defined(__SANITIZE_THREAD__)
    options.items = 1000;
    options.showWindow = false;
#else
    options.items = 3000;
#endif
    options.settingsDir = m_dir.path().toStdString();
    const auto result = runSoak(options);
    ASSERT_TRUE(result.setupError.empty()) << result.setupError;

    EXPECT_TRUE(result.finished) << "stalled after " << result.messages << " messages";
    EXPECT_EQ(result.mismatches, 0u) << result.firstMismatch;
    // A pseudo-terminal with blocking writes drops nothing: the counts match exactly.
    EXPECT_EQ(result.written[static_cast<int>(ItemKind::validFix)], result.expectedApplied);
    EXPECT_EQ(result.applied, result.expectedApplied);
    EXPECT_EQ(result.shownInvalid, result.expectedInvalid);
    EXPECT_EQ(result.errorsShown, 0u);
    for (int kind = 0; kind < kindCount; ++kind) {
        EXPECT_GT(result.written[kind], 0u) << kindName(static_cast<ItemKind>(kind));
    }
    EXPECT_TRUE(m_errors.isEmpty()) << qPrintable(m_errors.join('|'));

    if (!sanitized) {
        // After the warm-up, handling more sentences must not take more memory.
        // Qt's caches still grow by some 20 kB over these 2,400 items (70 kB
        // over 20,000); one lost block of 24 bytes a message would add 77 kB.
        EXPECT_LE(result.heapEndBytes - result.heapWarmBytes, 64 * 1024)
            << "heap " << result.heapWarmBytes << " bytes after 10 %, " << result.heapEndBytes
            << " after 90 %";
        EXPECT_LE(result.rssEndKb - result.rssWarmKb, 1024)
            << "RSS " << result.rssWarmKb << " kB after 10 %, " << result.rssEndKb
            << " kB at the end";
    }
}

} // namespace
