// tessaro-map-time: how long a program takes to put its window on an X
// screen, against a floor program, on a private Xvfb.
//
//   tessaro-map-time [--runs N] PROGRAM FLOOR
//
// Starts one Xvfb, watches its root window for maps (SubstructureNotify), then
// runs PROGRAM and FLOOR alternately, N times each after one unmeasured start
// of each (disk and font caches). One run: the monotonic time just before the
// fork, the program executed with DISPLAY on the Xvfb and a new empty
// XDG_CONFIG_HOME (a first start), the time at the first MapNotify of a
// top-level window whose _NET_WM_PID is the child, the child's VmRSS at that
// moment; then SIGTERM (the program's ordinary end) and the folder removed.
// Prints the medians, their ratio and the load average before and after.
#include <xcb/xcb.h>

#include <fcntl.h>
#include <ftw.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

double nowMs() {
    timespec t{};
    ::clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

std::string loadAverage() {
    std::ifstream in("/proc/loadavg");
    std::string one;
    std::string five;
    in >> one >> five;
    return one + " " + five;
}

long rssKb(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("VmRSS:", 0) == 0) {
            return std::strtol(line.c_str() + 6, nullptr, 10);
        }
    }
    return -1;
}

int removeEntry(const char* path, const struct stat*, int, FTW*) {
    return ::remove(path);
}

void removeTree(const std::string& dir) {
    ::nftw(dir.c_str(), removeEntry, 16, FTW_DEPTH | FTW_PHYS);
}

// Starts Xvfb on a free display; returns its pid and the display's name.
pid_t startXvfb(std::string& display) {
    int fds[2];
    if (::pipe(fds) != 0) {
        return -1;
    }
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        const int devNull = ::open("/dev/null", O_WRONLY);
        ::dup2(devNull, 2);
        const std::string fd = std::to_string(fds[1]);
        ::execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x1024x24",
                 "-nolisten", "tcp", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(fds[1]);
    // Xvfb writes the display's number and a line feed once it listens.
    FILE* in = ::fdopen(fds[0], "r");
    char line[32] = {};
    const bool told = in != nullptr && std::fgets(line, sizeof line, in) != nullptr;
    if (in != nullptr) {
        std::fclose(in);
    }
    if (!told) {
        ::kill(pid, SIGTERM);
        ::waitpid(pid, nullptr, 0);
        return -1;
    }
    display = ":" + std::to_string(std::atoi(line));
    return pid;
}

class Screen {
public:
    explicit Screen(const std::string& display) {
        m_connection = ::xcb_connect(display.c_str(), nullptr);
        if (::xcb_connection_has_error(m_connection) != 0) {
            return;
        }
        m_root = ::xcb_setup_roots_iterator(::xcb_get_setup(m_connection)).data->root;
        const std::uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        ::xcb_change_window_attributes(m_connection, m_root, XCB_CW_EVENT_MASK, &mask);
        const char name[] = "_NET_WM_PID";
        xcb_intern_atom_reply_t* atom = ::xcb_intern_atom_reply(
            m_connection, ::xcb_intern_atom(m_connection, 0, sizeof name - 1, name), nullptr);
        if (atom != nullptr) {
            m_pidAtom = atom->atom;
            std::free(atom);
        }
        ::xcb_flush(m_connection);
    }
    ~Screen() { ::xcb_disconnect(m_connection); }
    Screen(const Screen&) = delete;
    Screen& operator=(const Screen&) = delete;

    bool ok() const { return ::xcb_connection_has_error(m_connection) == 0 && m_pidAtom != 0; }
    int fd() const { return ::xcb_get_file_descriptor(m_connection); }

    // Events of earlier runs (unmaps, destroys) are of no interest.
    void drain() {
        while (xcb_generic_event_t* event = ::xcb_poll_for_event(m_connection)) {
            std::free(event);
        }
    }

    // Waits for the first map of a top-level window of `pid`; the time and
    // RSS are taken before the owner is asked, so the question costs nothing.
    bool waitForMap(pid_t pid, double& atMs, long& rss) {
        const double giveUp = nowMs() + 20000;
        while (nowMs() < giveUp) {
            while (xcb_generic_event_t* event = ::xcb_poll_for_event(m_connection)) {
                const bool mapped = (event->response_type & 0x7f) == XCB_MAP_NOTIFY;
                const auto* map = reinterpret_cast<xcb_map_notify_event_t*>(event);
                if (mapped && map->event == m_root && map->override_redirect == 0) {
                    const double at = nowMs();
                    const long kb = rssKb(pid);
                    const xcb_window_t window = map->window;
                    std::free(event);
                    if (ownerPid(window) == pid) {
                        atMs = at;
                        rss = kb;
                        return true;
                    }
                    continue;
                }
                std::free(event);
            }
            if (::xcb_connection_has_error(m_connection) != 0 ||
                ::waitpid(pid, nullptr, WNOHANG) == pid) {
                return false;
            }
            pollfd p{fd(), POLLIN, 0};
            ::poll(&p, 1, 100);
        }
        return false;
    }

private:
    long ownerPid(xcb_window_t window) {
        xcb_get_property_reply_t* reply = ::xcb_get_property_reply(
            m_connection,
            ::xcb_get_property(m_connection, 0, window, m_pidAtom, XCB_ATOM_CARDINAL, 0, 1),
            nullptr);
        long pid = -1;
        if (reply != nullptr && ::xcb_get_property_value_length(reply) == 4) {
            pid = *static_cast<const std::uint32_t*>(::xcb_get_property_value(reply));
        }
        std::free(reply);
        return pid;
    }

    xcb_connection_t* m_connection = nullptr;
    xcb_window_t m_root = 0;
    xcb_atom_t m_pidAtom = 0;
};

struct Sample {
    double ms = 0;
    long rssKb = 0;
};

bool runOnce(Screen& screen, const std::string& display, const char* program, Sample& sample) {
    char configTemplate[] = "/tmp/tessaro-map-time-XXXXXX";
    if (::mkdtemp(configTemplate) == nullptr) {
        return false;
    }
    const std::string config = configTemplate;
    screen.drain();
    const int xfd = screen.fd();
    const double start = nowMs();
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(xfd);
        // Qt's notes (no XDG_RUNTIME_DIR, say) would only clutter the table.
        const int devNull = ::open("/dev/null", O_WRONLY);
        ::dup2(devNull, 2);
        ::setenv("DISPLAY", display.c_str(), 1);
        ::setenv("QT_QPA_PLATFORM", "xcb", 1);
        ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
        ::execl(program, program, static_cast<char*>(nullptr));
        ::_exit(127);
    }
    double mapped = 0;
    const bool ok = pid > 0 && screen.waitForMap(pid, mapped, sample.rssKb);
    sample.ms = mapped - start;
    if (pid > 0) {
        ::kill(pid, SIGTERM);
        int status = 0;
        const double giveUp = nowMs() + 5000;
        while (::waitpid(pid, &status, WNOHANG) == 0) {
            if (nowMs() > giveUp) {
                ::kill(pid, SIGKILL);
                ::waitpid(pid, &status, 0);
                break;
            }
            ::usleep(2000);
        }
    }
    removeTree(config);
    if (!ok) {
        std::fprintf(stderr, "%s: no window mapped\n", program);
    }
    return ok;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

} // namespace

int main(int argc, char** argv) {
    int runs = 21;
    std::vector<const char*> programs;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc) {
            runs = std::max(1, std::atoi(argv[++i]));
        } else {
            programs.push_back(argv[i]);
        }
    }
    if (programs.size() != 2) {
        std::fprintf(stderr, "usage: %s [--runs N] PROGRAM FLOOR\n", argv[0]);
        return 2;
    }
    std::string display;
    const pid_t xvfb = startXvfb(display);
    if (xvfb < 0) {
        std::fprintf(stderr, "Xvfb did not start\n");
        return 2;
    }
    int result = 0;
    {
        Screen screen(display);
        if (!screen.ok()) {
            std::fprintf(stderr, "cannot watch %s\n", display.c_str());
            result = 2;
        }
        const std::string loadBefore = loadAverage();
        std::vector<Sample> samples[2];
        for (int k = -1; k < runs && result == 0; ++k) {
            for (std::size_t p = 0; p < 2 && result == 0; ++p) {
                Sample sample;
                if (!runOnce(screen, display, programs[p], sample)) {
                    result = 1;
                } else if (k >= 0) {
                    samples[p].push_back(sample);
                }
            }
        }
        if (result == 0) {
            std::printf("%d alternating runs each on Xvfb %s, exec to first MapNotify\n", runs,
                        display.c_str());
            std::printf("load average (1, 5 min) before %s, after %s\n\n", loadBefore.c_str(),
                        loadAverage().c_str());
            std::printf("%-40s %9s %9s %9s %11s\n", "program", "median ms", "min ms", "max ms",
                        "RSS med MB");
            double medians[2] = {};
            double rssMedians[2] = {};
            for (std::size_t p = 0; p < 2; ++p) {
                std::vector<double> times;
                std::vector<double> rss;
                for (const Sample& s : samples[p]) {
                    times.push_back(s.ms);
                    rss.push_back(static_cast<double>(s.rssKb) / 1024.0);
                }
                medians[p] = median(times);
                rssMedians[p] = median(rss);
                std::printf("%-40s %9.1f %9.1f %9.1f %11.1f\n", programs[p], medians[p],
                            *std::min_element(times.begin(), times.end()),
                            *std::max_element(times.begin(), times.end()), rssMedians[p]);
            }
            std::printf("\nratio of the medians (program / floor): time %.2f, RSS %.2f\n",
                        medians[0] / medians[1], rssMedians[0] / rssMedians[1]);
        }
    }
    ::kill(xvfb, SIGTERM);
    ::waitpid(xvfb, nullptr, 0);
    return result;
}
