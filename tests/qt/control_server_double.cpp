#include "control_server_double.hpp"

#include <QHostAddress>

namespace corvalis::qt::testing {

ControlServerDouble::ControlServerDouble() {
    server_.listen(QHostAddress::LocalHost, 0);
    port_ = server_.serverPort();
    connect(&server_, &QTcpServer::newConnection, this, &ControlServerDouble::accept);
}

link::Endpoint ControlServerDouble::endpoint() const {
    return {"127.0.0.1", port_};
}

void ControlServerDouble::accept() {
    while (QTcpSocket* socket = server_.nextPendingConnection()) {
        socket->setParent(this);
        const int index = static_cast<int>(connections_.size());
        connections_.append(Connection{socket, {}});
        connect(socket, &QTcpSocket::readyRead, this, [this, index] { receive(index); });
        connect(socket, &QTcpSocket::disconnected, this,
                [this, index] { connections_[index].open = false; });
        switch (onConnect_) {
            case OnConnect::Greet:
                greet(index);
                break;
            case OnConnect::CloseAtOnce:
                socket->close();
                break;
            case OnConnect::StaySilent:
                break;
        }
    }
}

void ControlServerDouble::greet(int connection) {
    connections_[connection].socket->write(greeting_);
}

void ControlServerDouble::receive(int connection) {
    Connection& peer = connections_[connection];
    peer.received += peer.socket->readAll();
    if (!peer.replied && !reply_.isNull()) {
        peer.replied = true;
        peer.socket->write(reply_);
    }
}

QByteArray ControlServerDouble::received(int connection) const {
    return connection < connections_.size() ? connections_[connection].received : QByteArray();
}

bool ControlServerDouble::isOpen(int connection) const {
    return connection < connections_.size() && connections_[connection].open;
}

}  // namespace corvalis::qt::testing
