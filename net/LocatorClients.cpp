#include "LocatorClients.h"

#include "WsjtxProtocol.h"

#include <algorithm>

namespace tessaro {

std::string LocatorClients::sixCharacters(const std::string& locator) {
    if (locator.size() < 6) {
        return {};
    }
    std::string six = locator.substr(0, 6);
    for (char& c : six) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    const auto within = [](char c, char low, char high) { return c >= low && c <= high; };
    const bool square = within(six[0], 'A', 'R') && within(six[1], 'A', 'R') &&
                        within(six[2], '0', '9') && within(six[3], '0', '9') &&
                        within(six[4], 'A', 'X') && within(six[5], 'A', 'X');
    return square ? six : std::string();
}

LocatorDatagram LocatorClients::locationFor(LocatorClient& client) {
    client.sent = m_locator;
    client.statusSinceSent = false;
    return {client.address, client.port,
            wsjtx::locationDatagram(client.schema, client.id, m_locator)};
}

std::vector<LocatorDatagram> LocatorClients::received(const std::uint8_t* data, std::size_t size,
                                                      const std::string& address,
                                                      std::uint16_t port, double now) {
    const auto datagram = wsjtx::readDatagram(data, size);
    if (!datagram) {
        return {};
    }
    // A program started anew keeps its id but has a new port: a new client,
    // which has lost the locator it was given before.
    const auto same = [&](const LocatorClient& c) {
        return c.id == datagram->id && c.address == address && c.port == port;
    };
    auto client = std::find_if(m_clients.begin(), m_clients.end(), same);
    if (datagram->type == static_cast<std::uint32_t>(wsjtx::MessageType::Close)) {
        if (client != m_clients.end()) {
            m_clients.erase(client);
        }
        return {};
    }
    const bool known = client != m_clients.end();
    if (!known) {
        if (m_clients.size() >= kMostClients) {
            return {};
        }
        LocatorClient heard;
        heard.id = datagram->id;
        heard.address = address;
        heard.port = port;
        m_clients.push_back(heard);
        client = m_clients.end() - 1;
    }
    client->lastHeard = now;
    client->schema =
        std::max({client->schema, datagram->schema, datagram->maximumSchema.value_or(0)});
    if (datagram->deGrid) {
        client->grid = *datagram->deGrid;
        client->statusSinceSent = true;
    }
    if (known || m_locator.empty()) {
        return {};
    }
    return {locationFor(*client)};
}

std::vector<LocatorDatagram> LocatorClients::setOwnLocator(const std::string& locator) {
    const std::string six = sixCharacters(locator);
    if (six.empty() || six == m_locator) {
        return {};
    }
    m_locator = six;
    std::vector<LocatorDatagram> out;
    for (LocatorClient& client : m_clients) {
        out.push_back(locationFor(client));
    }
    return out;
}

bool LocatorClients::forgetSilent(double now) {
    const auto before = m_clients.size();
    m_clients.erase(std::remove_if(m_clients.begin(), m_clients.end(),
                                   [now](const LocatorClient& c) {
                                       return now - c.lastHeard > kForgetAfterSeconds;
                                   }),
                    m_clients.end());
    return m_clients.size() != before;
}

} // namespace tessaro
