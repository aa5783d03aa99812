// tessaro-startup-bench: time from process start to the end of the window's
// first activation, and peak memory, offscreen.
//
//   tessaro-startup-bench [runs=20]
//
// The parent takes the time, then forks and executes itself as a child that
// does what the program's main() does; the child reports the moment its
// first activation has run (same monotonic clock) and its peak RSS, then
// quits through the program's ordinary end (the settings are saved). Three
// settings situations: a first start (no store), a store with GPS Off, and a
// store with GPS on a pseudo-terminal (the port opens during the start-up).
#include "Application.h"
#include "Form1.h"
#include "GpsSource.h"
#include "Pty.h"
#include "Serial4.h"

#include <QDir>
#include <QEvent>
#include <QFile>
#include <QMetaObject>
#include <QTimer>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

constexpr double goalMs = 300.0;
constexpr double goalMb = 60.0;

double nowMs() {
    timespec t{};
    ::clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

long peakRssKb() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// Notes when the window is first painted.
class FirstPaint : public QObject {
public:
    double atMs = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && atMs == 0) {
            atMs = nowMs();
        }
        return QObject::eventFilter(watched, event);
    }
};

// The child: main() of the program, with a report after the first activation
// (and the first paint, which follows it).
int child(int argc, char** argv) {
    TApplication app(argc, argv);
    TForm1 form;
    Form1 = &form;
    FirstPaint paint;
    form.installEventFilter(&paint);
    form.show();
    // Posted after show(): the first activation, posted by show() or run on
    // the window's activation, comes first.
    double activatedMs = 0;
    long activatedRssKb = 0;
    const double giveUpMs = nowMs() + 5000;
    std::function<void()> report;
    report = [&] {
        if (form.firstActivationDone && activatedMs == 0) {
            activatedMs = nowMs();
            activatedRssKb = peakRssKb();
        }
        if ((activatedMs == 0 || paint.atMs == 0) && nowMs() < giveUpMs) {
            QTimer::singleShot(1, &form, report);
            return;
        }
        std::printf("%.6f %ld %.6f %d\n", activatedMs, activatedRssKb, paint.atMs,
                    form.gps->serial()->Active() ? 1 : 0);
        std::fflush(stdout);
        QCoreApplication::quit();
    };
    QMetaObject::invokeMethod(&form, report, Qt::QueuedConnection);
    const int result = TApplication::exec();
    TApplication::runGuarded([&form] { form.FormDestroy(&form); });
    return result;
}

struct Run {
    double ms = 0;
    double paintMs = 0;
    bool portOpen = false;
    long rssAtActivationKb = 0;
    long peakRssKb = 0; // over the whole life, the save included
};

bool runOnce(const char* self, const std::string& config, Run& run) {
    int out[2];
    if (::pipe(out) != 0) {
        return false;
    }
    const double start = nowMs();
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(out[1], 1);
        ::close(out[0]);
        ::close(out[1]);
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
        ::execl(self, self, "--child", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(out[1]);
    char line[128] = {};
    std::size_t used = 0;
    ssize_t n = 0;
    while (used + 1 < sizeof line &&
           (n = ::read(out[0], line + used, sizeof line - 1 - used)) > 0) {
        used += static_cast<std::size_t>(n);
    }
    ::close(out[0]);
    int status = 0;
    rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    double activated = 0;
    double painted = 0;
    int open = 0;
    if (std::sscanf(line, "%lf %ld %lf %d", &activated, &run.rssAtActivationKb, &painted, &open) !=
            4 ||
        activated == 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "child failed (status %d): %s\n", status, line);
        return false;
    }
    run.ms = activated - start;
    run.paintMs = painted > 0 ? painted - start : -1;
    run.portOpen = open != 0;
    run.peakRssKb = usage.ru_maxrss;
    return true;
}

double percentile(std::vector<double> values, double p) {
    std::sort(values.begin(), values.end());
    const auto index = static_cast<std::size_t>(p * static_cast<double>(values.size() - 1) + 0.5);
    return values[index];
}

void writeStore(const std::string& config, const std::string& extra) {
    QDir().mkpath(QString::fromStdString(config) + "/Veltmark-soft");
    QFile file(QString::fromStdString(config) + "/Veltmark-soft/tessaro.conf");
    file.open(QIODevice::WriteOnly | QIODevice::Truncate);
    file.write("[v1]\nFmLatitudeDeg=51\nFmLatitudeMin=30\nFmLatitudeSec=46\n"
               "FmLongitudeDeg=0\nFmLongitudeMin=7\nFmLongitudeSec=20\n"
               "FmLatitude_NS=0\nFMLongitude_EW=1\nUnits=0\nqthloc=IO91wm\nnumdigits=0\n"
               "comport=0\ncomspeed=2\nactpage=1\ncenter=1\n");
    file.write(extra.c_str());
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "--child") == 0) {
        return child(argc, argv);
    }
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    char self[4096] = {};
    if (::readlink("/proc/self/exe", self, sizeof self - 1) <= 0) {
        return 2;
    }
    char dirTemplate[] = "/tmp/tessaro-startup-XXXXXX";
    const std::string config = ::mkdtemp(dirTemplate);
    tessaro::test::PseudoTerminal pty;
    if (!pty.ok()) {
        std::fprintf(stderr, "%s\n", pty.error().c_str());
        return 2;
    }
    const std::string device = pty.path();

    struct Situation {
        const char* name;
        std::string store; // empty: no store at all
        bool portOpen;
    };
    const Situation situations[] = {
        {"first start (no settings)", "", false},
        {"stored settings, GPS Off", "target=2\n", false},
        {"stored settings, GPS on a pty", "target=0\nComDevice1=" + device + "\n", true},
    };

    bool allMet = true;
    std::printf("%d runs each, offscreen; goal <= %.0f ms, <= %.0f MB\n\n", runs, goalMs, goalMb);
    std::printf("%-32s %9s %9s %9s %9s %11s %11s %11s\n", "situation", "median ms", "p90 ms",
                "min ms", "max ms", "paint med ms", "RSS med MB", "peak max MB");
    for (const Situation& s : situations) {
        std::vector<double> times;
        std::vector<double> paints;
        std::vector<double> rss;
        double peakMax = 0;
        for (int k = 0; k < runs; ++k) {
            // Each run finds the store as the situation says (the last run saved its own).
            QDir(QString::fromStdString(config) + "/Veltmark-soft").removeRecursively();
            if (!s.store.empty()) {
                writeStore(config, s.store);
            }
            Run run;
            if (!runOnce(self, config, run)) {
                return 1;
            }
            if (run.portOpen != s.portOpen) {
                std::fprintf(stderr, "%s: the GPS port is %s\n", s.name,
                             run.portOpen ? "open" : "closed");
                return 1;
            }
            times.push_back(run.ms);
            paints.push_back(run.paintMs);
            rss.push_back(run.rssAtActivationKb / 1024.0);
            peakMax = std::max(peakMax, run.peakRssKb / 1024.0);
        }
        const double median = percentile(times, 0.5);
        const double p90 = percentile(times, 0.9);
        const double rssMedian = percentile(rss, 0.5);
        std::printf("%-32s %9.1f %9.1f %9.1f %9.1f %11.1f %11.1f %11.1f\n", s.name, median, p90,
                    *std::min_element(times.begin(), times.end()),
                    *std::max_element(times.begin(), times.end()), percentile(paints, 0.5),
                    rssMedian, peakMax);
        allMet = allMet && median <= goalMs && peakMax <= goalMb;
    }
    QDir(QString::fromStdString(config)).removeRecursively();
    std::printf("\ngoals %s\n", allMet ? "met" : "MISSED");
    return allMet ? 0 : 1;
}
