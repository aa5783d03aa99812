// The UDP server that WSJT-X and JTDX report to: it learns each program's
// address from its datagrams and hands it the station's locator (the
// protocol and the table of programs are plain C++ in net/).
#pragma once

#include "LocatorClients.h"
#include "LocatorService.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QObject>
#include <QString>
#include <optional>
#include <string>
#include <utility>

class QTimer;
class QUdpSocket;

class LocatorUdp : public QObject, public LocatorService {
    Q_OBJECT
public:
    explicit LocatorUdp(QObject* parent = nullptr);
    ~LocatorUdp() override;

    // Listens on `server` ("HOST:PORT"; a multicast HOST joins that group)
    // while `on`; otherwise listens on nothing. What came of it is in statusText().
    void configure(bool on, const QString& server) override;
    // The locator of the start point's current fix (6 or 8 characters).
    void setOwnLocator(const std::string& locator) override;
    void onStatusChanged(std::function<void(const QString&)> report) override;

    // What the user reads: which program took which locator, or why none did.
    QString statusText() const { return m_status; }
    bool listening() const;

    // "224.0.0.1:2237", "[::1]:2237": the address and port, or nothing.
    static std::optional<std::pair<QHostAddress, quint16>> parseServer(const QString& text);

signals:
    void statusChanged(const QString& text);

private:
    void readDatagrams();
    void send(const std::vector<tessaro::LocatorDatagram>& datagrams);
    void listen(const QHostAddress& address, quint16 port);
    void showStatus();
    double seconds() const;

    QUdpSocket* m_socket = nullptr;
    QTimer* m_forget = nullptr;
    QElapsedTimer m_clock;
    tessaro::LocatorClients m_clients;
    QString m_server;  // as the user wrote it
    QString m_problem; // why nothing is listened on, or empty
    QString m_status;
};
