// tessaro-gpssim: a GPS receiver on a pseudo-terminal, for trying the program
// without hardware. Sends NMEA GLL sentences on the slave side of a pty: a
// built-in drive near Frankfurt, or the sentences of a recording.
// Plain C++ and POSIX; no Qt.
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <string>
#include <vector>

namespace {

const char usage[] =
    "Usage: tessaro-gpssim [--drive ring|city] [--talker XX] [--file F] [--rate HZ] [--count N]\n"
    "                      [--loop] [--link PATH]\n"
    "Opens a pseudo-terminal, prints its path on the first line and sends NMEA GLL\n"
    "sentences to it until interrupted.\n"
    "  --drive D    built-in drive: ring (default; straight roads at 130 km/h, a\n"
    "               steady heading on the Car page) or city (Frankfurt at 50 km/h:\n"
    "               too little way between fixes for a steady heading)\n"
    "  --talker XX  talker of the built-in drive: GP (default), GN, GL, GA, GB, BD, GQ\n"
    "  --file F     send the sentences of F instead (lines starting with # skipped)\n"
    "  --loop       start F again at its end (the drives always loop)\n"
    "  --rate HZ    sentences a second, default 1\n"
    "  --count N    stop after N sentences (N at least 1)\n"
    "  --link PATH  also make PATH a symbolic link to the terminal\n";

volatile std::sig_atomic_t stopRequested = 0;

void onStopSignal(int) {
    stopRequested = 1;
}

struct Point {
    double lat;
    double lon;
};

struct Drive {
    const char* name;
    std::vector<Point> route; // driven in this order, and back to the start
    double speed;             // metres a second
};

// The window reads positions to whole seconds of arc (31 m north, 20 m east
// here) and takes the heading from a fix one to five fixes old. On straight
// roads along the meridians and parallels, at 36 m a fix, every fix moves a
// whole second along the road and none across it: the heading holds still.
// The city round is kept to show what a real town drive at 1 Hz gives.
const Drive drives[] = {
    {"ring", {{50.0800, 8.6000}, {50.0800, 8.6700}, {50.1100, 8.6700}, {50.1100, 8.6000}}, 36.1},
    {"city",
     {{50.1140, 8.6790},
      {50.1146, 8.6870},
      {50.1150, 8.6990},
      {50.1125, 8.7090},
      {50.1010, 8.6800},
      {50.1070, 8.6630},
      {50.1160, 8.6720}},
     13.9},
};

struct Options {
    const Drive* drive = &drives[0];
    std::string talker = "GP";
    std::string file;
    std::string link;
    double rate = 1.0;
    unsigned long count = 0; // 0: no limit
    bool loop = false;
};

constexpr double metresPerDegree = 111320.0;

// Position on the route after `metres`, interpolated on a locally flat earth.
void positionAt(const std::vector<Point>& route, double metres, double& lat, double& lon) {
    const double pi = std::acos(-1.0);
    for (;;) {
        for (std::size_t i = 0; i < route.size(); ++i) {
            const Point& a = route[i];
            const Point& b = route[(i + 1) % route.size()];
            const double east = (b.lon - a.lon) * std::cos(a.lat * pi / 180);
            const double length = std::hypot(b.lat - a.lat, east) * metresPerDegree;
            if (metres <= length) {
                lat = a.lat + (b.lat - a.lat) * metres / length;
                lon = a.lon + (b.lon - a.lon) * metres / length;
                return;
            }
            metres -= length;
        }
    }
}

// ddmm.mmmm (three degree digits for longitude), rounded once so that 59.99999
// minutes never shows as "60.0000".
std::string angleText(double degrees, int degreeDigits) {
    const long tenThousandths = std::lround(std::fabs(degrees) * 60 * 10000);
    char text[32];
    std::snprintf(text, sizeof text, "%0*ld%02ld.%04ld", degreeDigits, tenThousandths / 600000,
                  tenThousandths % 600000 / 10000, tenThousandths % 10000);
    return text;
}

std::string withChecksum(const std::string& body) {
    unsigned sum = 0;
    for (char c : body) {
        sum ^= static_cast<unsigned char>(c);
    }
    char tail[8];
    std::snprintf(tail, sizeof tail, "*%02X\r\n", sum);
    return "$" + body + tail;
}

// Fix number n of the drive, one a second from `start`. Two of every twenty
// fixes are invalid, as under a bridge; the first ones are valid.
std::string driveSentence(const Drive& drive, const std::string& talker, unsigned long n,
                          std::time_t start) {
    double lat = 0, lon = 0;
    positionAt(drive.route, drive.speed * static_cast<double>(n), lat, lon);
    const std::time_t t = start + static_cast<std::time_t>(n);
    std::tm utc{};
    gmtime_r(&t, &utc);
    char time[16];
    std::snprintf(time, sizeof time, "%02d%02d%02d.00", utc.tm_hour, utc.tm_min, utc.tm_sec);
    const bool valid = n % 20 < 12 || n % 20 > 13;
    return withChecksum(talker + "GLL," + angleText(lat, 2) + (lat >= 0 ? ",N," : ",S,") +
                        angleText(lon, 3) + (lon >= 0 ? ",E," : ",W,") + time +
                        (valid ? ",A,A" : ",V,N"));
}

bool readRecording(const std::string& path, std::vector<std::string>& sentences) {
    std::ifstream in(path, std::ios::binary);
    for (std::string line; std::getline(in, line);) {
        while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) {
            line.pop_back();
        }
        if (!line.empty() && line[0] != '#') {
            sentences.push_back(line + "\r\n");
        }
    }
    return in.eof() && !sentences.empty();
}

bool parseOptions(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        char* end = nullptr;
        if (arg == "--loop") {
            o.loop = true;
        } else if (arg == "--drive" && hasValue) {
            const std::string name = argv[++i];
            o.drive = nullptr;
            for (const Drive& d : drives) {
                if (name == d.name) {
                    o.drive = &d;
                }
            }
            if (!o.drive) {
                return false;
            }
        } else if (arg == "--talker" && hasValue) {
            // Only the talkers whose GLL the program reads, in either case.
            static const char* const talkers[] = {"GP", "GN", "GL", "GA", "GB", "BD", "GQ"};
            o.talker = argv[++i];
            for (char& c : o.talker) {
                c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            }
            if (std::none_of(std::begin(talkers), std::end(talkers),
                             [&](const char* t) { return o.talker == t; })) {
                return false;
            }
        } else if (arg == "--file" && hasValue) {
            o.file = argv[++i];
        } else if (arg == "--link" && hasValue) {
            o.link = argv[++i];
        } else if (arg == "--rate" && hasValue) {
            o.rate = std::strtod(argv[++i], &end);
            if (*end != '\0' || !(o.rate > 0 && o.rate <= 1000)) {
                return false;
            }
        } else if (arg == "--count" && hasValue) {
            o.count = std::strtoul(argv[++i], &end, 10);
            // 0 would mean "no limit" below: leave the option out for that.
            if (*end != '\0' || argv[i][0] == '-' || o.count == 0) {
                return false;
            }
        } else {
            return false;
        }
    }
    return true;
}

// Waits until `deadline`, discarding whatever the other side writes or echoes
// back, so the master's input never fills up. False when a signal asks to stop.
bool waitUntil(int master, std::chrono::steady_clock::time_point deadline) {
    while (!stopRequested) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return true;
        }
        pollfd p{master, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(left.count())) > 0) {
            char discard[256];
            if (read(master, discard, sizeof discard) < 0 && errno == EIO) {
                // Hung up (we hold the slave, so this should not happen): do
                // not spin on a POLLHUP that stays.
                poll(nullptr, 0, static_cast<int>(std::min<long long>(left.count(), 50)));
            }
        }
    }
    return false;
}

int run(const Options& o) {
    std::vector<std::string> recording;
    if (!o.file.empty() && !readRecording(o.file, recording)) {
        std::fprintf(stderr, "tessaro-gpssim: no sentences read from %s\n", o.file.c_str());
        return 1;
    }
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0 || !ptsname(master)) {
        std::perror("tessaro-gpssim: pseudo-terminal");
        return 1;
    }
    const std::string path = ptsname(master);
    // Holding the slave open ourselves keeps the terminal (and its raw mode)
    // alive between readers, so a program may close and reopen its port.
    const int slave = open(path.c_str(), O_RDWR | O_NOCTTY);
    termios tio{};
    if (slave < 0 || tcgetattr(slave, &tio) != 0) {
        std::perror("tessaro-gpssim: terminal");
        return 1;
    }
    cfmakeraw(&tio); // no echo, no line editing, no CR/LF translation
    tcsetattr(slave, TCSANOW, &tio);
    // Never block on a full terminal: a sentence no one takes is dropped.
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);

    if (!o.link.empty()) {
        struct stat old {};
        if (lstat(o.link.c_str(), &old) == 0 && S_ISLNK(old.st_mode)) {
            unlink(o.link.c_str()); // left by an earlier run; anything else stays
        }
        if (symlink(path.c_str(), o.link.c_str()) != 0) {
            std::perror("tessaro-gpssim: --link");
        }
    }
    // Only now: whoever reads this line may use the link at once.
    std::printf("%s\n", path.c_str());
    std::fflush(stdout);

    const std::time_t start = std::time(nullptr);
    const auto period = std::chrono::duration_cast<std::chrono::steady_clock::duration>(
        std::chrono::duration<double>(1.0 / o.rate));
    auto next = std::chrono::steady_clock::now();
    unsigned long total = o.count;
    if (!recording.empty() && !o.loop && (total == 0 || total > recording.size())) {
        total = recording.size();
    }
    for (unsigned long n = 0; total == 0 || n < total; ++n) {
        if (!waitUntil(master, next)) {
            break;
        }
        next += period;
        const std::string sentence = recording.empty() ? driveSentence(*o.drive, o.talker, n, start)
                                                       : recording[n % recording.size()];
        // With no reader the terminal fills up; old fixes are worthless, so
        // drop them rather than hand a late reader a backlog.
        int queued = 0;
        if (ioctl(slave, FIONREAD, &queued) == 0 && queued > 2048) {
            tcflush(slave, TCIFLUSH);
        }
        // EAGAIN (full) and EIO drop the sentence; the next one comes on time.
        if (write(master, sentence.data(), sentence.size()) < 0 && errno != EAGAIN &&
            errno != EIO) {
            std::perror("tessaro-gpssim: write");
        }
    }
    // Give a reader up to two seconds to take the last sentences: closing the
    // master hangs the terminal up and loses what is still queued. The first
    // pause lets the kernel move the last write into the terminal's queue.
    const auto drainDeadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    waitUntil(master, std::chrono::steady_clock::now() + std::chrono::milliseconds(100));
    int queued = 0;
    while (!stopRequested && ioctl(slave, FIONREAD, &queued) == 0 && queued > 0 &&
           std::chrono::steady_clock::now() < drainDeadline) {
        waitUntil(master, std::chrono::steady_clock::now() + std::chrono::milliseconds(20));
    }

    char target[4096];
    const ssize_t length = o.link.empty() ? -1 : readlink(o.link.c_str(), target, sizeof target);
    if (length > 0 && path.compare(0, std::string::npos, target, length) == 0) {
        unlink(o.link.c_str());
    }
    close(slave);
    close(master);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs(usage, stdout);
        return 0;
    }
    if (!parseOptions(argc, argv, options)) {
        std::fputs(usage, stderr);
        return 2;
    }
    struct sigaction stop {};
    stop.sa_handler = onStopSignal; // no SA_RESTART: poll returns at once
    sigaction(SIGINT, &stop, nullptr);
    sigaction(SIGTERM, &stop, nullptr);
    std::signal(SIGPIPE, SIG_IGN); // a closed stdout must not kill the sender
    return run(options);
}
