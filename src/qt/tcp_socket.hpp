#pragma once

#include <QString>
#include <QTcpSocket>

#include "ports/socket.hpp"
#include "qt_text.hpp"

namespace corvalis::qt {

// Winsock1 over QTcpSocket. Data arrival is the only event it reports.
class TcpSocket final : public ports::Socket {
public:
    TcpSocket();

    void close() override;
    void setRemoteHost(std::string_view host) override { remoteHost_ = toQString(host); }
    void setRemotePort(std::uint16_t port) override { remotePort_ = port; }
    [[nodiscard]] bool connect() override;
    [[nodiscard]] bool isConnected() const override;
    [[nodiscard]] std::string getData() override;
    void sendData(std::string_view bytes) override;

private:
    QTcpSocket socket_;
    QString remoteHost_;
    quint16 remotePort_ = 0;
};

}  // namespace corvalis::qt
