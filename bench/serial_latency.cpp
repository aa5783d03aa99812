// Close latency of TSerial::SetActive(false) on an open pseudo-terminal, idle
// and while sentences stream in, the CPU an open silent port costs, and the
// CPU a network source costs while its peer is gone (tcp:// to a closed port).
//   serial_latency [runs=200] [idle-seconds=10]
#include "CpuTime.h"
#include "Pty.h"
#include "Serial4.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>

#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

void runEventLoop(int ms) {
    QDeadlineTimer deadline(ms);
    QTimer tick;
    tick.start(1);
    while (!deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
}

void report(const char* name, std::vector<double> ms) {
    std::sort(ms.begin(), ms.end());
    const auto at = [&](double q) {
        return ms[std::min(ms.size() - 1, static_cast<std::size_t>(q * ms.size()))];
    };
    std::printf("%-28s runs %4zu  median %7.3f ms  p99 %7.3f ms  max %7.3f ms\n", name, ms.size(),
                at(0.5), at(0.99), ms.back());
}

std::vector<double> closeLatencies(TSerial& serial, int runs) {
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        serial.SetActive(true);
        runEventLoop(3);
        const auto start = Clock::now();
        serial.SetActive(false);
        ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    return ms;
}

// Runs the window thread's loop for `seconds` without a tick of its own (only
// the serial component may cost anything) and prints the process's CPU time.
void reportCpu(const char* name, int seconds) {
    const double cpu0 = tessaro::test::processCpuSeconds();
    const auto t0 = Clock::now();
    {
        QEventLoop loop;
        QTimer::singleShot(seconds * 1000, Qt::PreciseTimer, &loop, &QEventLoop::quit);
        loop.exec();
    }
    const double wall = std::chrono::duration<double>(Clock::now() - t0).count();
    const double cpu = tessaro::test::processCpuSeconds() - cpu0;
    std::printf("%-28s %.1f s wall, %.4f s CPU = %.3f %% of one core (whole process)\n", name, wall,
                cpu, 100.0 * cpu / wall);
}

// A loopback port nobody listens on.
int closedPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof a;
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), size);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &size);
    ::close(fd);
    return ntohs(a.sin_port);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;
    const int idleSeconds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 10;

    tessaro::test::PseudoTerminal pty;
    if (!pty.ok()) {
        std::fprintf(stderr, "%s\n", pty.error().c_str());
        return 1;
    }
    const std::string path = pty.path();

    TSerial serial;
    serial.SetPortResolver([&](int) { return path; });
    serial.SetNotifyErrors(neNone);
    serial.SetRxEventMode(rxMessage);
    serial.SetMessageStartChar('$');
    serial.SetMessageEndChar('\r');
    long messages = 0;
    serial.OnMessage = [&](TSerial*, std::string) { ++messages; };

    report("close, idle", closeLatencies(serial, runs));

    std::atomic<bool> stop{false};
    std::thread writer([&] {
        const std::string sentence = "$GPGLL,5130.7712,N,00007.3456,W,093015.00,A*1F\r\n";
        while (!stop) {
            pty.sendSome(sentence);
            std::this_thread::sleep_for(std::chrono::microseconds(500));
        }
    });
    report("close, sentences streaming", closeLatencies(serial, runs));
    stop = true;
    writer.join();
    std::printf("%-28s %ld messages delivered while streaming\n", "", messages);

    serial.SetActive(true);
    runEventLoop(100);
    reportCpu("idle open silent port", idleSeconds);
    serial.SetActive(false);

    // The peer gone: every reconnect is refused and reported as a line error.
    const std::string peer = "tcp://127.0.0.1:" + std::to_string(closedPort());
    serial.SetPortResolver([&](int) { return peer; });
    serial.SetNotifyErrors(neEvent);
    long errors = 0;
    serial.OnError = [&](TSerial*) { ++errors; };
    serial.SetActive(true);
    runEventLoop(100);
    errors = 0;
    reportCpu("tcp:// peer gone", idleSeconds);
    std::printf("%-28s %ld connection errors reported meanwhile\n", "", errors);
    serial.SetActive(false);
    return 0;
}
