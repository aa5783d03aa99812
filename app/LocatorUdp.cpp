#include "LocatorUdp.h"

#include "SourceAddress.h"

#include <QNetworkDatagram>
#include <QNetworkInterface>
#include <QStringList>
#include <QTimer>
#include <QUdpSocket>

LocatorUdp::LocatorUdp(QObject* parent) : QObject(parent), m_forget(new QTimer(this)) {
    m_clock.start();
    m_forget->setInterval(5000);
    connect(m_forget, &QTimer::timeout, this, [this] {
        if (m_clients.forgetSilent(seconds())) {
            showStatus();
        }
    });
}

LocatorUdp::~LocatorUdp() = default;

LocatorService* tessaroCreateLocatorService(QObject* parent) {
    return new LocatorUdp(parent);
}

void LocatorUdp::onStatusChanged(std::function<void(const QString&)> report) {
    connect(this, &LocatorUdp::statusChanged, this, std::move(report));
}

double LocatorUdp::seconds() const {
    return static_cast<double>(m_clock.elapsed()) / 1000.0;
}

bool LocatorUdp::listening() const {
    return m_socket != nullptr;
}

std::optional<std::pair<QHostAddress, quint16>> LocatorUdp::parseServer(const QString& text) {
    // HOST:PORT as a tcp:// source name is read: one reader of addresses.
    tessaro::NetworkSource source;
    QHostAddress address;
    if (tessaro::parseNetworkSource("tcp://" + text.trimmed().toStdString(), source) !=
            tessaro::SourceName::network ||
        !address.setAddress(QString::fromStdString(source.host))) {
        return std::nullopt;
    }
    return std::make_pair(address, static_cast<quint16>(std::stoi(source.service)));
}

void LocatorUdp::configure(bool on, const QString& server) {
    // The field left unchanged keeps the programs already heard.
    if (on && m_socket != nullptr && server.trimmed() == m_server) {
        return;
    }
    delete m_socket;
    m_socket = nullptr;
    m_clients.clear();
    m_forget->stop();
    m_server = server.trimmed();
    m_problem.clear();
    if (on) {
        const auto parsed = parseServer(m_server);
        if (parsed) {
            listen(parsed->first, parsed->second);
        } else {
            m_problem = tr("\"%1\" is no address and port such as 127.0.0.1:2237 or 224.0.0.1:2237")
                            .arg(m_server);
        }
    }
    showStatus();
}

// A unicast address is bound alone, so that a program already listening
// there is found out; a multicast group is shared, as every program on it does.
void LocatorUdp::listen(const QHostAddress& address, quint16 port) {
    auto* socket = new QUdpSocket(this);
    const bool multicast = address.isMulticast();
    bool bound = false;
    if (multicast) {
        const QHostAddress any = address.protocol() == QAbstractSocket::IPv6Protocol
                                     ? QHostAddress::AnyIPv6
                                     : QHostAddress::AnyIPv4;
        bound = socket->bind(any, port, QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint);
    } else {
        bound = socket->bind(address, port, QUdpSocket::DontShareAddress);
    }
    if (!bound) {
        // Windows refuses a port another socket holds alone as "access denied".
        const auto error = socket->error();
#ifdef _WIN32
        const bool taken = error == QAbstractSocket::AddressInUseError ||
                           error == QAbstractSocket::SocketAccessError;
#else
        const bool taken = error == QAbstractSocket::AddressInUseError;
#endif
        if (taken) {
            m_problem = multicast
                            ? tr("Port %1 is taken by a program that does not share it.").arg(port)
                            : tr("Port %1 is taken by another program. Use a multicast "
                                 "address such as 224.0.0.1:%1, here and as WSJT-X's "
                                 "UDP Server.")
                                  .arg(port);
        } else {
            m_problem = tr("Cannot listen on %1: %2").arg(m_server, socket->errorString());
        }
        delete socket;
        return;
    }
    if (multicast) {
        // WSJT-X sends to the group on the interfaces its settings name, the
        // loopback one among them: join on every one that can take it.
        int joined = 0;
        for (const QNetworkInterface& nic : QNetworkInterface::allInterfaces()) {
            const auto flags = nic.flags();
            if ((flags & QNetworkInterface::IsUp) != 0 &&
                (flags & (QNetworkInterface::CanMulticast | QNetworkInterface::IsLoopBack)) != 0 &&
                socket->joinMulticastGroup(address, nic)) {
                ++joined;
            }
        }
        if (joined == 0) {
            m_problem = tr("Cannot join %1 on any network interface: %2")
                            .arg(address.toString(), socket->errorString());
            delete socket;
            return;
        }
    }
    m_socket = socket;
    connect(m_socket, &QUdpSocket::readyRead, this, &LocatorUdp::readDatagrams);
    m_forget->start();
}

void LocatorUdp::setOwnLocator(const std::string& locator) {
    const auto sent = m_clients.setOwnLocator(locator);
    if (m_socket != nullptr && !sent.empty()) {
        send(sent);
        showStatus();
    }
}

void LocatorUdp::readDatagrams() {
    while (m_socket != nullptr && m_socket->hasPendingDatagrams()) {
        const QNetworkDatagram datagram = m_socket->receiveDatagram();
        const QByteArray& bytes = datagram.data();
        QHostAddress sender = datagram.senderAddress();
        // An IPv4 peer on a dual-stack socket: its IPv4 form, which QHostAddress parses back.
        bool isIpv4 = false;
        const quint32 ipv4 = sender.toIPv4Address(&isIpv4);
        if (isIpv4) {
            sender = QHostAddress(ipv4);
        }
        send(m_clients.received(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                static_cast<std::size_t>(bytes.size()),
                                sender.toString().toStdString(),
                                static_cast<std::uint16_t>(datagram.senderPort()), seconds()));
    }
    showStatus();
}

void LocatorUdp::send(const std::vector<tessaro::LocatorDatagram>& datagrams) {
    for (const tessaro::LocatorDatagram& d : datagrams) {
        m_socket->writeDatagram(QByteArray(d.bytes.data(), static_cast<qsizetype>(d.bytes.size())),
                                QHostAddress(QString::fromStdString(d.address)), d.port);
    }
}

void LocatorUdp::showStatus() {
    QString text;
    if (!m_problem.isEmpty()) {
        text = m_problem;
    } else if (m_socket != nullptr && m_clients.clients().empty()) {
        text = tr("Listening on %1: no WSJT-X or JTDX heard yet").arg(m_server);
    } else if (m_socket != nullptr) {
        QStringList each;
        for (const tessaro::LocatorClient& c : m_clients.clients()) {
            const QString id = QString::fromStdString(c.id);
            const QString sent = QString::fromStdString(c.sent);
            const QString grid = QString::fromStdString(c.grid);
            if (sent.isEmpty()) {
                each << tr("%1: waiting for a GPS fix").arg(id);
            } else if (!c.statusSinceSent) {
                each << tr("%1: %2 sent").arg(id, sent);
            } else if (grid.compare(sent, Qt::CaseInsensitive) == 0) {
                each << QStringLiteral("%1: %2").arg(id, grid);
            } else {
                each << tr("%1 keeps %2, not %3: turn on Accept UDP requests and AutoGrid there")
                            .arg(id, grid, sent);
            }
        }
        text = each.join(QStringLiteral("; "));
    }
    if (text != m_status) {
        m_status = text;
        emit statusChanged(m_status);
    }
}
