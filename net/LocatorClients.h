// The WSJT-X / JTDX programs heard on the UDP server, and what to send them
// so that each uses the station's own locator: plain C++, the caller owns
// the socket and the clock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tessaro {

struct LocatorClient {
    std::string id; // the program's name as it gives it ("WSJT-X", "JTDX", ...)
    std::string address;
    std::uint16_t port = 0;
    std::uint32_t schema = 0; // the highest heard, not capped
    double lastHeard = 0.0;   // seconds, on the caller's clock
    std::string sent;         // the locator last sent to it, or empty
    // The DE grid of its latest Status, and whether one came after the send.
    std::string grid;
    bool statusSinceSent = false;
};

// A datagram to send and where to.
struct LocatorDatagram {
    std::string address;
    std::uint16_t port = 0;
    std::string bytes;
};

class LocatorClients {
public:
    // WSJT-X sends a Heartbeat every 15 seconds: four missed ones and it has gone.
    static constexpr double kForgetAfterSeconds = 60.0;
    // Datagrams with ever new ids or ports cannot grow the table without bound.
    static constexpr std::size_t kMostClients = 16;

    // A datagram from address:port at `now`. A new client gets the locator,
    // when there is one; a Close forgets its sender.
    std::vector<LocatorDatagram> received(const std::uint8_t* data, std::size_t size,
                                          const std::string& address, std::uint16_t port,
                                          double now);

    // The locator of the station's current fix. Only its first six characters
    // count (WSJT-X ignores 8-character locators); every client gets them when
    // that square differs from the last one. Anything that is not a locator
    // of at least six characters sends nothing.
    std::vector<LocatorDatagram> setOwnLocator(const std::string& locator);

    // Forgets the clients silent for longer than kForgetAfterSeconds; true
    // when one was forgotten.
    bool forgetSilent(double now);

    void clear() { m_clients.clear(); }

    const std::vector<LocatorClient>& clients() const { return m_clients; }
    // "JN58TD", or empty before the first fix.
    const std::string& ownLocator() const { return m_locator; }

    // The six characters `locator` starts with, upper case, or empty when
    // they are not a Maidenhead square (AA00AA to RR99XX).
    static std::string sixCharacters(const std::string& locator);

private:
    LocatorDatagram locationFor(LocatorClient& client);

    std::vector<LocatorClient> m_clients;
    std::string m_locator;
};

} // namespace tessaro
