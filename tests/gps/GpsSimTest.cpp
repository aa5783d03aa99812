// Runs the GPS simulator and reads what it sends through its pseudo-terminal.
#include "Gll.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto patience = std::chrono::seconds(5);

// Reads one line (through "\n") from fd, waiting at most until deadline.
bool readLine(int fd, std::string& line, Clock::time_point deadline) {
    line.clear();
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        pollfd p{fd, POLLIN, 0};
        if (left <= 0 || poll(&p, 1, static_cast<int>(left)) <= 0) {
            return false;
        }
        char c = 0;
        const ssize_t n = read(fd, &c, 1);
        if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) {
            return false;
        }
        if (n == 1) {
            line += c;
            if (c == '\n') {
                return true;
            }
        }
    }
}

class Simulator {
public:
    explicit Simulator(std::vector<std::string> args) {
        int out[2];
        if (pipe(out) != 0) {
            ADD_FAILURE() << "pipe";
            return;
        }
        args.insert(args.begin(), TESSARO_GPSSIM);
        std::vector<char*> argv;
        for (std::string& a : args) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        if (posix_spawn(&m_pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
            m_pid = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
        close(out[1]);
        m_out = out[0];
    }

    ~Simulator() {
        if (m_pid > 0) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
        if (m_out >= 0) {
            close(m_out);
        }
    }

    // The terminal path, from the first line of the output.
    std::string terminal() {
        std::string line;
        if (m_pid <= 0 || !readLine(m_out, line, Clock::now() + patience)) {
            return {};
        }
        line.pop_back();
        return line;
    }

    // The exit status, once the output closed within the patience; -1 if not.
    int exitStatus() {
        std::string rest;
        while (readLine(m_out, rest, Clock::now() + patience)) {
        }
        pollfd p{m_out, POLLIN, 0};
        if (poll(&p, 1, 0) != 1 || (p.revents & POLLHUP) == 0) {
            return -1; // still running
        }
        int status = 0;
        waitpid(m_pid, &status, 0);
        m_pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    void terminate() { kill(m_pid, SIGTERM); }

private:
    pid_t m_pid = -1;
    int m_out = -1;
};

// Reads n sentences from the terminal at `path`.
std::vector<std::string> readSentences(const std::string& path, std::size_t n) {
    std::vector<std::string> sentences;
    const int fd = open(path.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
    EXPECT_GE(fd, 0) << path;
    const auto deadline = Clock::now() + patience;
    std::string line;
    while (fd >= 0 && sentences.size() < n && readLine(fd, line, deadline)) {
        sentences.push_back(line);
    }
    if (fd >= 0) {
        close(fd);
    }
    return sentences;
}

void expectValidFix(const std::string& sentence, const char* tag) {
    SCOPED_TRACE(sentence);
    EXPECT_EQ(sentence.rfind(tag, 0), 0u);
    EXPECT_EQ(sentence.substr(sentence.size() - 2), "\r\n");
    EXPECT_EQ(tessaro::checksumOf(sentence), tessaro::Checksum::good);
    EXPECT_TRUE(
        tessaro::readGll(tessaro::receiveSentence(sentence.substr(0, sentence.size() - 1)), false)
            .valid);
}

TEST(GpsSim, SendsThreeValidFixesThenEnds) {
    Simulator sim({"--count", "3", "--rate", "50"});
    const std::string path = sim.terminal();
    ASSERT_FALSE(path.empty());
    const std::vector<std::string> sentences = readSentences(path, 3);
    ASSERT_EQ(sentences.size(), 3u);
    for (const std::string& s : sentences) {
        expectValidFix(s, "$GPGLL,");
    }
    EXPECT_NE(sentences[0], sentences[2]); // the car moves and the clock runs
    EXPECT_EQ(sim.exitStatus(), 0);
}

// The window reads a fix to whole seconds of arc and takes the heading from
// an older fix: on the default drive every fix, read that way, must differ
// from the one before, and a straight leg must read as exactly straight.
TEST(GpsSim, DefaultDriveGivesASteadyHeading) {
    Simulator sim({"--talker", "gn", "--count", "30", "--rate", "100"});
    const std::vector<std::string> sentences = readSentences(sim.terminal(), 30);
    ASSERT_EQ(sentences.size(), 30u);
    std::vector<std::pair<long, long>> seconds; // north, east
    for (const std::string& s : sentences) {
        int latDeg = 0, latMin = 0, latThousandths = 0, lonDeg = 0, lonMin = 0, lonThousandths = 0;
        char status = 0;
        ASSERT_EQ(std::sscanf(s.c_str(), "$GNGLL,%2d%2d.%3d%*d,N,%3d%2d.%3d%*d,E,%*[^,],%c",
                              &latDeg, &latMin, &latThousandths, &lonDeg, &lonMin, &lonThousandths,
                              &status),
                  7)
            << s;
        if (status == 'A') { // the window passes over the others
            seconds.emplace_back((latDeg * 60L + latMin) * 60 + latThousandths * 60 / 1000,
                                 (lonDeg * 60L + lonMin) * 60 + lonThousandths * 60 / 1000);
        }
    }
    ASSERT_GE(seconds.size(), 20u);
    bool sameNorth = true, sameEast = true;
    for (std::size_t i = 1; i < seconds.size(); ++i) {
        EXPECT_NE(seconds[i], seconds[i - 1]) << "fix " << i << " reads as the one before";
        sameNorth = sameNorth && seconds[i].first == seconds[0].first;
        sameEast = sameEast && seconds[i].second == seconds[0].second;
    }
    EXPECT_TRUE(sameNorth || sameEast) << "the leg does not read as straight";
    EXPECT_EQ(sim.exitStatus(), 0);
}

TEST(GpsSim, RefusesWhatItCannotSend) {
    for (const std::vector<std::string>& args : {std::vector<std::string>{"--count", "0"},
                                                 {"--talker", "XX"},
                                                 {"--talker", "GPS"},
                                                 {"--drive", "moon"}}) {
        Simulator sim(args);
        EXPECT_EQ(sim.exitStatus(), 2) << args[0] << " " << args[1];
    }
}

TEST(GpsSim, LinkPointsAtTerminalAndGoesOnSigterm) {
    char dir[] = "/tmp/gpssim-test-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const std::string link = std::string(dir) + "/gps";
    {
        Simulator sim({"--talker", "GN", "--rate", "20", "--link", link});
        const std::string path = sim.terminal();
        ASSERT_FALSE(path.empty());
        char target[256] = {};
        ASSERT_GT(readlink(link.c_str(), target, sizeof target - 1), 0);
        EXPECT_EQ(path, target);
        const std::vector<std::string> sentences = readSentences(link, 2);
        ASSERT_EQ(sentences.size(), 2u);
        expectValidFix(sentences[1], "$GNGLL,");
        sim.terminate();
        EXPECT_EQ(sim.exitStatus(), 0);
    }
    struct stat st {};
    EXPECT_NE(lstat(link.c_str(), &st), 0) << "link left behind";
    rmdir(dir);
}

TEST(GpsSim, ReplaysFileSkippingComments) {
    char name[] = "/tmp/gpssim-test-XXXXXX";
    const int fd = mkstemp(name);
    ASSERT_GE(fd, 0);
    const std::string recording = "# a comment\n$GPGLL,5130.7712,N,00007.3456,W,093015.00,A*1F\n"
                                  "$GPGLL,5130.7712,N,00007.3456,W,093015.00,V*08\r\n";
    ASSERT_EQ(write(fd, recording.data(), recording.size()),
              static_cast<ssize_t>(recording.size()));
    close(fd);
    Simulator sim({"--file", name, "--rate", "50"});
    const std::vector<std::string> sentences = readSentences(sim.terminal(), 2);
    EXPECT_EQ(sentences,
              (std::vector<std::string>{"$GPGLL,5130.7712,N,00007.3456,W,093015.00,A*1F\r\n",
                                        "$GPGLL,5130.7712,N,00007.3456,W,093015.00,V*08\r\n"}));
    EXPECT_EQ(sim.exitStatus(), 0);
    unlink(name);
}

} // namespace
