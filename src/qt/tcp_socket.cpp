#include "tcp_socket.hpp"

namespace corvalis::qt {
namespace {

// Refused, unreachable or unknown hosts end in the time-out; only a socket that cannot exist at all
// means the connect could not even start.
bool cannotStart(QAbstractSocket::SocketError error) {
    return error == QAbstractSocket::SocketResourceError ||
           error == QAbstractSocket::UnsupportedSocketOperationError;
}

}  // namespace

TcpSocket::TcpSocket() {
    QObject::connect(&socket_, &QTcpSocket::readyRead, &socket_, [this] { dataArrival_(); });
}

void TcpSocket::close() {
    // abort() drops the connection without any later signal reaching the logic.
    socket_.abort();
}

bool TcpSocket::connect() {
    socket_.abort();
    socket_.connectToHost(remoteHost_, remotePort_);
    return !(socket_.state() == QAbstractSocket::UnconnectedState && cannotStart(socket_.error()));
}

bool TcpSocket::isConnected() const {
    return socket_.state() == QAbstractSocket::ConnectedState;
}

std::string TcpSocket::getData() {
    return socket_.readAll().toStdString();
}

void TcpSocket::sendData(std::string_view bytes) {
    socket_.write(bytes.data(), static_cast<qint64>(bytes.size()));
}

}  // namespace corvalis::qt
