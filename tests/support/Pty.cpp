#include "Pty.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

namespace tessaro::test {

PseudoTerminal::PseudoTerminal() {
    if (::openpty(&m_master, &m_slave, nullptr, nullptr, nullptr) != 0) {
        m_error = std::string("openpty: ") + std::strerror(errno);
        m_master = m_slave = -1;
        return;
    }
    // Writes never block the writer when nobody reads the other side.
    ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
    m_path = ::ttyname(m_slave);
}

PseudoTerminal::~PseudoTerminal() {
    close();
}

bool PseudoTerminal::send(const std::string& bytes, int boundMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(boundMs);
    for (std::size_t sent = 0; sent < bytes.size();) {
        const ssize_t n =
            m_master < 0 ? -1 : ::write(m_master, bytes.data() + sent, bytes.size() - sent);
        if (n > 0) {
            sent += static_cast<std::size_t>(n);
            continue;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd p{m_master, POLLOUT, 0};
        if (m_master < 0 || (n < 0 && errno != EAGAIN) || left.count() <= 0 ||
            ::poll(&p, 1, static_cast<int>(left.count())) < 0) {
            return false;
        }
    }
    return true;
}

std::size_t PseudoTerminal::sendSome(const std::string& bytes) {
    const ssize_t n = m_master < 0 ? -1 : ::write(m_master, bytes.data(), bytes.size());
    return n > 0 ? static_cast<std::size_t>(n) : 0;
}

void PseudoTerminal::hangUp() {
    if (m_master >= 0) {
        ::close(m_master);
        m_master = -1;
    }
}

void PseudoTerminal::close() {
    hangUp();
    if (m_slave >= 0) {
        ::close(m_slave);
        m_slave = -1;
    }
}

} // namespace tessaro::test
