#pragma once

#include <QObject>
#include <QString>
#include <QTcpSocket>

#include "ports/socket.hpp"

namespace corvalis::qt {

// Winsock1 over QTcpSocket. Data arrival is the only event it passes on.
class TcpSocket final : public QObject, public ports::Socket {
    Q_OBJECT

public:
    explicit TcpSocket(QObject* parent = nullptr);

    void close() override;
    void setRemoteHost(std::string_view host) override;
    void setRemotePort(std::uint16_t port) override;
    [[nodiscard]] bool connect() override;
    [[nodiscard]] bool isConnected() const override;
    [[nodiscard]] std::string getData() override;
    void sendData(std::string_view bytes) override;

signals:
    void dataArrival();

private:
    QTcpSocket socket_;
    QString remoteHost_;
    quint16 remotePort_ = 0;
};

}  // namespace corvalis::qt
