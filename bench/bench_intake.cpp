// The GPS intake on the real window (offscreen):
//  - BM_StartFix/handler: valid start-point fixes handed to the GPS source,
//    each running both page calculations, the Car pointer and the heading;
//    BM_StartFix/painted: the same, each fix also painted;
//  - bench_intake --latency [sentences=1000] [runs=5]: byte-to-screen latency,
//    from writing a sentence's carriage return into a pseudo-terminal's master
//    to the status line showing that fix (and to the handler's start);
//    with --gpsd the window reads the terminal through a private gpsd.
#include "Application.h"
#include "Form1.h"
#include "GpsSource.h"
#include "Pty.h"
#include "Serial4.h"
#include "Widgets.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QLineEdit>
#include <QLocale>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// A window as the user has it while driving: GPS feeds the start point, a
// destination is set, the Car page with its pointer is shown.
std::unique_ptr<TForm1> drivingWindow() {
    auto form = std::make_unique<TForm1>();
    form->show();
    QCoreApplication::processEvents();
    form->FormActivate(form.get());
    form->edToQTH->setText(QStringLiteral("JN49kw"));
    form->edToLatDeg->setText(QStringLiteral("49"));
    form->edtoLonDeg->setText(QStringLiteral("8"));
    form->CheckBox2->setChecked(true);
    form->PageControl1->setCurrentIndex(5);
    form->gpsTarget = 0;
    return form;
}

// Sentence i: a position that moves a little each time, and a time that
// names the sentence in the status line.
std::string sentence(int i, const char* end) {
    char text[96];
    std::snprintf(text, sizeof text, "$GPGLL,5130.%04d,N,00007.%04d,W,%02d%02d%02d.00,A%s",
                  (i * 37) % 10000, (i * 53) % 10000, (i / 3600) % 24, (i / 60) % 60, i % 60, end);
    return text;
}

QString statusFor(int i) {
    return QString::asprintf("New GPS data received at %02d:%02d:%02d UT", (i / 3600) % 24,
                             (i / 60) % 60, i % 60);
}

// With `painted`, the window's event loop runs after every fix, so each fix
// is also painted.
void BM_StartFix(benchmark::State& state, bool painted) {
    const std::unique_ptr<TForm1> form = drivingWindow();
    std::vector<std::string> sentences;
    for (int i = 0; i < 256; ++i) {
        sentences.push_back(sentence(i, "\r"));
    }
    std::size_t i = 0;
    for (auto _ : state) {
        form->gps->take(sentences[i++ % sentences.size()]);
        if (painted) {
            QCoreApplication::processEvents();
        }
    }
    state.SetItemsProcessed(state.iterations());
    if (!form->sb->SimpleText().startsWith(QStringLiteral("New GPS data"))) {
        state.SkipWithError("the fixes were not taken");
    }
}
BENCHMARK_CAPTURE(BM_StartFix, handler, false)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_StartFix, painted, true)->Unit(benchmark::kMicrosecond);

double percentile(std::vector<double> values, double p) {
    std::sort(values.begin(), values.end());
    const auto index = static_cast<std::size_t>(p * static_cast<double>(values.size() - 1) + 0.5);
    return values[index];
}

// gpsd on the terminal, in the foreground on a private port, in a process
// group of its own; its pid, or -1.
pid_t startGpsd(const std::string& device, const std::string& port) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::setpgid(0, 0);
        ::execlp("gpsd", "gpsd", "-N", "-n", "-S", port.c_str(), device.c_str(),
                 static_cast<char*>(nullptr));
        ::execl("/usr/sbin/gpsd", "gpsd", "-N", "-n", "-S", port.c_str(), device.c_str(),
                static_cast<char*>(nullptr));
        ::_exit(127);
    }
    return pid;
}

// Sends a first fix until the window shows it: the connection is up.
bool warmUp(TForm1& form, int master) {
    const std::string first = sentence(0, "\r\n");
    QDeadlineTimer deadline(10000);
    while (!deadline.hasExpired() && form.sb->SimpleText() != statusFor(0)) {
        (void)::write(master, first.data(), first.size());
        QDeadlineTimer pause(100);
        while (!pause.hasExpired()) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }
    }
    return form.sb->SimpleText() == statusFor(0);
}

int latency(int count, int runs, bool throughGpsd) {
    tessaro::test::PseudoTerminal pty;
    if (!pty.ok()) {
        std::fprintf(stderr, "%s\n", pty.error().c_str());
        return 1;
    }
    const int master = pty.master();
    std::string path = pty.path();
    pid_t gpsd = -1;
    if (throughGpsd) {
        const std::string port = "29" + std::to_string(100 + ::getpid() % 800);
        gpsd = startGpsd(path, port);
        path = "gpsd://127.0.0.1:" + port;
    }
    const std::unique_ptr<TForm1> form = drivingWindow();
    form->gps->serial()->SetPortResolver([path](int) { return path; });
    form->rgGpsTarget->SetItemIndex(0);
    if (!form->gps->serial()->Active() || (throughGpsd && !warmUp(*form, master))) {
        std::fprintf(stderr, "could not open %s\n", path.c_str());
        return 1;
    }
    Clock::time_point handlerStart;
    const TRxMessageEvent intake = form->gps->serial()->OnMessage;
    form->gps->serial()->OnMessage = [&](TSerial* sender, std::string message) {
        handlerStart = Clock::now();
        intake(sender, std::move(message));
    };
    QTimer tick; // wakes the loop to look at the clock
    tick.start(1);

    std::printf("sentences per run: %d; ms from the carriage return to: the status text, the "
                "window painted, the handler's start\n%-5s %10s %10s %10s %14s %14s %14s\n",
                count, "run", "text med", "text p99", "text max", "painted med", "painted p99",
                "handler med");
    int sentenceNumber = throughGpsd ? 1 : 0; // 0 was the warm-up
    for (int run = 1; run <= runs; ++run) {
        std::vector<double> toScreen;
        std::vector<double> toPainted;
        std::vector<double> toHandler;
        for (int n = 0; n < count; ++n, ++sentenceNumber) {
            const std::string body = sentence(sentenceNumber, "");
            if (::write(master, body.data(), body.size()) != static_cast<ssize_t>(body.size())) {
                std::perror("write");
                return 1;
            }
            // Let the body be taken in first; only the carriage return is timed.
            QDeadlineTimer settle(3);
            while (!settle.hasExpired()) {
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
            }
            const QString expected = statusFor(sentenceNumber);
            const Clock::time_point written = Clock::now();
            if (::write(master, "\r\n", 2) != 2) {
                std::perror("write");
                return 1;
            }
            QDeadlineTimer deadline(2000);
            while (form->sb->SimpleText() != expected && !deadline.hasExpired()) {
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
            }
            const Clock::time_point shown = Clock::now();
            if (form->sb->SimpleText() != expected) {
                std::fprintf(stderr, "sentence %d was not shown\n", sentenceNumber);
                return 1;
            }
            // The changed widgets painted into the window's backing store.
            QCoreApplication::processEvents();
            const Clock::time_point painted = Clock::now();
            toScreen.push_back(std::chrono::duration<double, std::milli>(shown - written).count());
            toPainted.push_back(
                std::chrono::duration<double, std::milli>(painted - written).count());
            toHandler.push_back(
                std::chrono::duration<double, std::milli>(handlerStart - written).count());
        }
        std::printf("%-5d %10.3f %10.3f %10.3f %14.3f %14.3f %14.3f\n", run,
                    percentile(toScreen, 0.5), percentile(toScreen, 0.99),
                    percentile(toScreen, 1.0), percentile(toPainted, 0.5),
                    percentile(toPainted, 0.99), percentile(toHandler, 0.5));
    }
    form->rgGpsTarget->SetItemIndex(2);
    if (gpsd > 0) {
        ::kill(-gpsd, SIGTERM);
        ::waitpid(gpsd, nullptr, 0);
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Settings of their own: the window's start must not touch the user's.
    QTemporaryDir settings;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
    QLocale::setDefault(QLocale::c());
    TApplication app(argc, argv);
    if (argc >= 2 && std::strcmp(argv[1], "--latency") == 0) {
        const bool throughGpsd = std::strcmp(argv[argc - 1], "--gpsd") == 0;
        const int numbers = argc - (throughGpsd ? 1 : 0);
        const int count = numbers >= 3 ? std::atoi(argv[2]) : 1000;
        const int runs = numbers >= 4 ? std::atoi(argv[3]) : 5;
        return latency(std::max(count, 1), std::max(runs, 1), throughGpsd);
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
