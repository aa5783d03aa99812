// A pseudo-terminal pair: the tests' and benchmarks' receiver on a serial
// line. The program opens `path()`; the test writes the receiver's bytes
// into the master. (No <termios.h> here: some tests use the kernel's own.)
#pragma once

#include <string>

namespace tessaro::test {

class PseudoTerminal {
public:
    PseudoTerminal();
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    bool ok() const { return m_master >= 0; }
    const std::string& error() const { return m_error; }
    const std::string& path() const { return m_path; }
    int master() const { return m_master; }
    int slave() const { return m_slave; }

    // Writes all of `bytes`, waiting for room at most `boundMs` in all; false
    // if they did not fit in time or the master is gone.
    bool send(const std::string& bytes, int boundMs = 3000);
    // Writes what fits now; the count written.
    std::size_t sendSome(const std::string& bytes);
    // The receiver is unplugged: the master goes, and with it the slave's line.
    void hangUp();
    void close();

private:
    int m_master = -1;
    int m_slave = -1;
    std::string m_path;
    std::string m_error;
};

} // namespace tessaro::test
