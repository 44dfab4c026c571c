#pragma once

#include <sys/socket.h>

#include <QObject>
#include <QSocketNotifier>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ports/socket.hpp"

namespace corvalis::qt {

struct ResolvedAddress {
    sockaddr_storage address;
    socklen_t length;
    int family;
};

// Winsock1: a non-blocking TCP client whose events come through Qt's event loop. The host name is
// resolved on a short-lived thread that hands the addresses back, so neither the resolution nor
// the connect blocks the window. QTcpSocket does the same, but it would load Qt Network and the
// libraries behind it at every start, long before anyone presses Conectar.
class TcpSocket final : public QObject, public ports::Socket {
    Q_OBJECT

public:
    explicit TcpSocket(QObject* parent = nullptr);
    TcpSocket(const TcpSocket&) = delete;
    TcpSocket& operator=(const TcpSocket&) = delete;
    ~TcpSocket() override;

    void close() override;
    void setRemoteHost(std::string_view host) override { host_ = host; }
    void setRemotePort(std::uint16_t port) override { port_ = port; }
    [[nodiscard]] bool connect() override;
    [[nodiscard]] bool isConnected() const override { return connected_; }
    [[nodiscard]] std::string getData() override;
    void sendData(std::string_view bytes) override;

private:
    // Where a resolver thread finds this socket, for as long as it exists.
    struct Mailbox;

    void onResolved(std::uint64_t attempt, std::vector<ResolvedAddress> addresses);
    void connectNextAddress();
    void onConnectEnded();
    void onReadable();
    void dropSocket();

    std::string host_;
    std::uint16_t port_ = 0;
    int descriptor_ = -1;
    bool connected_ = false;
    std::uint64_t attempt_ = 0;
    std::vector<ResolvedAddress> addresses_;
    std::size_t nextAddress_ = 0;
    std::string received_;
    QSocketNotifier readable_{QSocketNotifier::Read};
    QSocketNotifier writable_{QSocketNotifier::Write};
    std::shared_ptr<Mailbox> mailbox_;
};

}  // namespace corvalis::qt
