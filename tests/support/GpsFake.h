// gpsd on a private port, fed by gpsfake from receiver logs: each log on a
// pseudo-terminal of its own, all in one gpsd. For the gpsd tests and the
// receiver-log measurement; POSIX only, like gpsd.
#pragma once

#include "Gpsd.h"
#include "Wait.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace tessaro::test {

struct GpsFakeRun {
    std::vector<std::string> logs;
    // The caller's own: gpsfake names its control socket by its pid in
    // TMPDIR, and one left by a killed run whose pid comes round again would
    // pass for its gpsd's, so that the device is never added.
    std::string tmpdir;
    std::string cycle = "0.001"; // seconds between sentences
    bool once = false;           // each log once, not over and over
    bool held = false;           // each sentence waits for release()
};

// gpsfake in a process group of its own, so that its gpsd goes with it.
class GpsFake {
public:
    int port = 0; // 0: a free one, chosen by start()

    GpsFake() = default;
    GpsFake(const GpsFake&) = delete;
    GpsFake& operator=(const GpsFake&) = delete;
    ~GpsFake() { stop(); }

    // Waits until gpsd answers and has a device for every log, at most the
    // bound (then devices() tells). False when gpsfake gave up (no gpsd, no
    // pseudo-terminals).
    bool start(const GpsFakeRun& run, int boundMs = 30000) {
        port = port ? port : freePort();
        const std::string p = std::to_string(port);
        // -n: gpsd keeps the devices open, as a system gpsd does.
        std::vector<std::string> args = {"gpsfake", "-q", "-n", "-P", p, "-c", run.cycle};
        if (run.once) {
            args.emplace_back("-1");
        }
        // -i: gpsfake asks before each sentence, so it sends nothing until released.
        if (run.held) {
            args.emplace_back("-i");
        }
        args.insert(args.end(), run.logs.begin(), run.logs.end());
        std::vector<char*> argv;
        for (std::string& arg : args) {
            argv.push_back(arg.data());
        }
        argv.push_back(nullptr);
        int lines[2] = {-1, -1};
        if (run.held && ::pipe2(lines, O_CLOEXEC) != 0) {
            return false;
        }
        m_pid = ::fork();
        if (m_pid == 0) {
            ::setpgid(0, 0);
            ::setenv("TMPDIR", run.tmpdir.c_str(), 1);
            const int quiet = ::open("/dev/null", O_WRONLY);
            ::dup2(run.held ? lines[0] : quiet, 0);
            ::dup2(quiet, 1);
            ::dup2(quiet, 2);
            ::execvp("gpsfake", argv.data());
            ::_exit(127);
        }
        ::setpgid(m_pid, m_pid);
        if (run.held) {
            ::close(lines[0]);
            m_gate = lines[1];
        }
        bool gone = false;
        waitUntil(
            [&] {
                gone = ::waitpid(m_pid, nullptr, WNOHANG) == m_pid;
                return gone || devices().size() == run.logs.size();
            },
            boundMs);
        if (gone) {
            m_pid = -1;
            stop();
        }
        return !gone;
    }

    // Lets gpsfake send `sentences` more, each after its cycle.
    void release(std::size_t sentences) {
        const std::string answers(sentences, '\n');
        for (std::size_t sent = 0; sent < answers.size();) {
            const ssize_t n = ::write(m_gate, answers.data() + sent, answers.size() - sent);
            if (n <= 0) {
                break;
            }
            sent += static_cast<std::size_t>(n);
        }
    }

    // The devices gpsd has (gpsfake's pseudo-terminals), as gpsd names them.
    std::vector<std::string> devices() const {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const sockaddr_in a = loopback(port);
        std::string reply;
        if (::connect(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a) == 0 &&
            ::send(fd, "?DEVICES;\n", 10, MSG_NOSIGNAL) == 10) {
            char buffer[4096];
            // The VERSION line comes first, then the one DEVICES line.
            auto complete = [&] {
                const std::size_t at = reply.find("\"class\":\"DEVICES\"");
                return at != std::string::npos && reply.find('\n', at) != std::string::npos;
            };
            for (pollfd p{fd, POLLIN, 0}; !complete() && ::poll(&p, 1, 500) == 1;) {
                const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
                if (n <= 0) {
                    break;
                }
                reply.append(buffer, static_cast<std::size_t>(n));
            }
        }
        ::close(fd);
        std::vector<std::string> found;
        const std::string tag = "\"path\":\"";
        for (std::size_t at = reply.find(tag); at != std::string::npos;
             at = reply.find(tag, at + 1)) {
            const std::size_t from = at + tag.size();
            found.push_back(reply.substr(from, reply.find('"', from) - from));
        }
        return found;
    }

    void stop() {
        if (m_pid > 0) {
            ::kill(-m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
        m_pid = -1;
        if (m_gate >= 0) {
            ::close(m_gate);
        }
        m_gate = -1;
    }

private:
    pid_t m_pid = -1;
    int m_gate = -1; // gpsfake's input while it holds each sentence
};

} // namespace tessaro::test
