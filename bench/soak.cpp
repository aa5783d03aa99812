// tessaro-soak: the long soak of the GPS road. A mixed NMEA stream written at
// full speed through a pseudo-terminal into the real window (offscreen), each
// handled message checked; prints the counts, the rate and the memory.
//
//   tessaro-soak [sentences=1000000] [--seed N] [--hidden]
//
// --hidden: the window goes through its start-up but is never shown, so
// nothing is painted (the intake alone). Exit status 0 when every valid fix
// arrived in order, every invalid one was shown as such, nothing else moved
// the position, and RSS grew by at most 1 MB after the first 10 %.
#include "Soak.h"
#include "Application.h"

#include <QLocale>
#include <QSettings>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

using tessaro::prove::ItemKind;
using tessaro::prove::kindCount;
using tessaro::prove::kindName;

constexpr long rssGrowthLimitKb = 1024;

int usage() {
    std::fprintf(stderr, "usage: tessaro-soak [sentences] [--seed N] [--hidden]\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    tessaro::prove::SoakOptions options;
    options.items = 1000000;
    options.progress = true;
    for (int k = 1; k < argc; ++k) {
        if (std::strcmp(argv[k], "--hidden") == 0) {
            options.showWindow = false;
        } else if (std::strcmp(argv[k], "--seed") == 0 && k + 1 < argc) {
            options.seed = std::strtoull(argv[++k], nullptr, 10);
        } else if (argv[k][0] >= '1' && argv[k][0] <= '9') {
            options.items = std::strtoull(argv[k], nullptr, 10);
        } else {
            return usage();
        }
    }

    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir config;
    if (!config.isValid()) {
        return 2;
    }
    // Never the user's own settings.
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    QLocale::setDefault(QLocale::c());
    int qtArgc = 1;
    TApplication app(qtArgc, argv);
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, config.path());
    int errorBoxes = 0;
    TApplication::setErrorPresenter([&](const QString& /*caption*/, const QString& text) {
        ++errorBoxes;
        std::fprintf(stderr, "error box: %s\n", qPrintable(text));
    });
    options.settingsDir = config.path().toStdString();

    std::printf("soak: %llu items, seed %llu, window %s\n",
                static_cast<unsigned long long>(options.items),
                static_cast<unsigned long long>(options.seed),
                options.showWindow ? "shown (offscreen)" : "hidden");
    std::fflush(stdout);
    const auto r = tessaro::prove::runSoak(options);
    if (!r.setupError.empty()) {
        std::printf("set-up failed: %s\n", r.setupError.c_str());
        return 1;
    }

    std::printf("\nwritten, by kind:\n");
    for (int kind = 0; kind < kindCount; ++kind) {
        std::printf("  %-20s %10llu\n", kindName(static_cast<ItemKind>(kind)),
                    static_cast<unsigned long long>(r.written[kind]));
    }
    const auto u = [](std::uint64_t v) { return static_cast<unsigned long long>(v); };
    std::printf("  %-20s %10llu (%.1f MB)\n", "bytes", u(r.bytesWritten), r.bytesWritten / 1e6);
    std::printf("\nhandled messages        %10llu\n", u(r.messages));
    std::printf("fixes applied           %10llu of %llu expected\n", u(r.applied),
                u(r.expectedApplied));
    std::printf("shown INVALID           %10llu of %llu expected\n", u(r.shownInvalid),
                u(r.expectedInvalid));
    std::printf("without a trace         %10llu\n", u(r.noTrace));
    std::printf("mismatches              %10llu %s\n", u(r.mismatches), r.firstMismatch.c_str());
    std::printf("serial errors shown     %10u\n", r.errorsShown);
    std::printf("error boxes             %10d\n", errorBoxes);
    std::printf("finished                %10s\n", r.finished ? "yes" : "NO (stalled)");
    std::printf("\ntime                    %10.1f s\n", r.seconds);
    std::printf("items / s               %10.0f\n",
                r.seconds > 0 ? options.items / r.seconds : 0.0);
    std::printf("messages / s            %10.0f\n", r.seconds > 0 ? r.messages / r.seconds : 0.0);
    std::printf("valid fixes / s         %10.0f\n", r.seconds > 0 ? r.applied / r.seconds : 0.0);
    std::printf("bytes / s               %10.0f\n",
                r.seconds > 0 ? r.bytesWritten / r.seconds : 0.0);
    const long growth = r.rssEndKb - r.rssWarmKb;
    std::printf("\nRSS at start            %10ld kB\n", r.rssStartKb);
    std::printf("RSS after 10 %%          %10ld kB\n", r.rssWarmKb);
    std::printf("RSS at the end          %10ld kB\n", r.rssEndKb);
    std::printf("growth after warm-up    %10ld kB (limit %ld kB)\n", growth, rssGrowthLimitKb);
    std::printf("heap after 10 %% -> 90 %% %10lld -> %lld bytes\n", r.heapWarmBytes,
                r.heapEndBytes);

    const bool ok = r.ok() && errorBoxes == 0 && growth <= rssGrowthLimitKb;
    std::printf("\nresult: %s\n", ok ? "PASS" : "FAIL");
    return ok ? 0 : 1;
}
