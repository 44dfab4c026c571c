#pragma once

#include <windows.h>
#include <winsock2.h>
#include <ws2tcpip.h>

#include <cstdint>
#include <string>
#include <vector>

#include "handles.hpp"
#include "ports/socket.hpp"

namespace corvalis::win32 {

struct ResolvedAddress {
    sockaddr_storage address;
    int length;
    int family;
};

// Winsock1: a non-blocking TCP client whose events come to the window through WSAAsyncSelect.
// The host name is resolved on a short-lived thread that posts the addresses back, so neither the
// resolution nor the connect ever blocks the window.
class WinsockSocket final : public ports::Socket {
public:
    WinsockSocket(HWND window, UINT socketMessage, UINT resolvedMessage);
    WinsockSocket(const WinsockSocket&) = delete;
    WinsockSocket& operator=(const WinsockSocket&) = delete;
    ~WinsockSocket() override;

    void close() override;
    void setRemoteHost(std::string_view host) override { host_ = host; }
    void setRemotePort(std::uint16_t port) override { port_ = port; }
    [[nodiscard]] bool connect() override;
    [[nodiscard]] bool isConnected() const override { return connected_; }
    [[nodiscard]] std::string getData() override;
    void sendData(std::string_view bytes) override;

    // The window hands over its socket message; true when data are waiting for the logic.
    [[nodiscard]] bool onSocketMessage(WPARAM socket, LPARAM event);
    // The window hands over the resolver's message; stale resolutions are dropped.
    void onResolvedMessage(WPARAM attempt, LPARAM addresses);

private:
    void connectNextAddress();
    void dropSocket();

    HWND window_;
    UINT socketMessage_;
    UINT resolvedMessage_;
    std::string host_;
    std::uint16_t port_ = 0;
    UniqueSocket socket_;
    bool connected_ = false;
    WPARAM attempt_ = 0;
    std::vector<ResolvedAddress> addresses_;
    std::size_t nextAddress_ = 0;
};

}  // namespace corvalis::win32
