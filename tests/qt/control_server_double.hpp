#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QTcpServer>
#include <QTcpSocket>

#include "link/control_server.hpp"

namespace corvalis::qt::testing {

// "Conexão_OK" in Windows-1252.
inline const QByteArray kGreeting = QByteArrayLiteral("Conex\xE3o_OK");
// The refusal ending, 45 Windows-1252 characters.
inline const QByteArray kRefusalEnding =
    QByteArrayLiteral("N\xE3o foi localizado um registro n\xE3o cancelado.");

// A control server on 127.0.0.1 that speaks the protocol byte for byte: it greets each connection,
// keeps every byte it receives, and answers the first bytes of a connection with the reply set.
class ControlServerDouble final : public QObject {
public:
    enum class OnConnect { Greet, StaySilent, CloseAtOnce };

    ControlServerDouble();

    [[nodiscard]] link::Endpoint endpoint() const;
    void setOnConnect(OnConnect behaviour) { onConnect_ = behaviour; }
    void setGreeting(const QByteArray& bytes) { greeting_ = bytes; }
    void setReply(const QByteArray& bytes) { reply_ = bytes; }
    // Later connections to the port are refused.
    void stopListening() { server_.close(); }
    // Greets a connection that was left waiting.
    void greet(int connection);

    [[nodiscard]] int connectionCount() const { return static_cast<int>(connections_.size()); }
    [[nodiscard]] QByteArray received(int connection) const;
    [[nodiscard]] bool isOpen(int connection) const;

private:
    struct Connection {
        QTcpSocket* socket;
        QByteArray received;
        bool replied = false;
        bool open = true;
    };

    void accept();
    void receive(int connection);

    QTcpServer server_;
    quint16 port_ = 0;
    OnConnect onConnect_ = OnConnect::Greet;
    QByteArray greeting_ = kGreeting;
    QByteArray reply_;
    QList<Connection> connections_;
};

}  // namespace corvalis::qt::testing
