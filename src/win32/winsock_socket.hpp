#pragma once

#include <windows.h>
#include <winsock2.h>
#include <ws2tcpip.h>

#include <cstdint>
#include <string>
#include <vector>

#include "handles.hpp"
#include "message_window.hpp"
#include "ports/socket.hpp"

namespace corvalis::win32 {

struct ResolvedAddress {
    sockaddr_storage address;
    int length;
    int family;
};

// Winsock1: a non-blocking TCP client whose events come through WSAAsyncSelect to a message-only
// window of its own. The host name is resolved on a short-lived thread that posts the addresses
// back there, so neither the resolution nor the connect ever blocks the window.
class WinsockSocket final : public ports::Socket {
public:
    WinsockSocket();
    ~WinsockSocket() override;

    void close() override;
    void setRemoteHost(std::string_view host) override { host_ = host; }
    void setRemotePort(std::uint16_t port) override { port_ = port; }
    [[nodiscard]] bool connect() override;
    [[nodiscard]] bool isConnected() const override { return connected_; }
    [[nodiscard]] std::string getData() override;
    void sendData(std::string_view bytes) override;

private:
    // True when data are waiting for the logic.
    [[nodiscard]] bool onSocketEvent(WPARAM socket, LPARAM event);
    // Stale resolutions are dropped.
    void onResolved(WPARAM attempt, LPARAM addresses);
    void connectNextAddress();
    void dropSocket();

    std::string host_;
    std::uint16_t port_ = 0;
    UniqueSocket socket_;
    bool connected_ = false;
    WPARAM attempt_ = 0;
    std::vector<ResolvedAddress> addresses_;
    std::size_t nextAddress_ = 0;
    MessageWindow messages_;  // last, so it goes first, with the socket still whole
};

}  // namespace corvalis::win32
