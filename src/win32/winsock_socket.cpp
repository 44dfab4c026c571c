#include "winsock_socket.hpp"

#include <array>
#include <cstring>
#include <memory>
#include <system_error>
#include <thread>

namespace corvalis::win32 {
namespace {

constexpr UINT kSocketMessage = WM_APP + 1;
constexpr UINT kResolvedMessage = WM_APP + 2;
constexpr long kEvents = FD_CONNECT | FD_READ | FD_CLOSE;
constexpr std::size_t kReceiveChunk = 4096;

std::vector<ResolvedAddress> resolve(const std::string& host, std::uint16_t port) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    addrinfo* found = nullptr;
    const std::string service = std::to_string(port);
    std::vector<ResolvedAddress> addresses;
    if (getaddrinfo(host.c_str(), service.c_str(), &hints, &found) != 0) {
        return addresses;
    }
    for (const addrinfo* entry = found; entry != nullptr; entry = entry->ai_next) {
        ResolvedAddress resolved{};
        std::memcpy(&resolved.address, entry->ai_addr, entry->ai_addrlen);
        resolved.length = static_cast<int>(entry->ai_addrlen);
        resolved.family = entry->ai_family;
        addresses.push_back(resolved);
    }
    freeaddrinfo(found);
    return addresses;
}

}  // namespace

WinsockSocket::WinsockSocket()
    : messages_([this](UINT message, WPARAM wParam, LPARAM lParam) {
          if (message == kResolvedMessage) {
              onResolved(wParam, lParam);
          } else if (message == kSocketMessage && onSocketEvent(wParam, lParam)) {
              dataArrival_();
          }
      }) {}

WinsockSocket::~WinsockSocket() {
    close();
}

void WinsockSocket::close() {
    ++attempt_;  // a resolution still under way belongs to the closed attempt
    addresses_.clear();
    dropSocket();
}

bool WinsockSocket::connect() {
    close();
    const WPARAM attempt = attempt_;
    try {
        std::thread resolver([window = messages_.window(), attempt, host = host_, port = port_] {
            auto addresses = std::make_unique<std::vector<ResolvedAddress>>(resolve(host, port));
            if (PostMessageW(window, kResolvedMessage, attempt,
                             reinterpret_cast<LPARAM>(addresses.get()))) {
                addresses.release();  // the message owns them now
            }
        });
        resolver.detach();
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

void WinsockSocket::onResolved(WPARAM attempt, LPARAM addresses) {
    const std::unique_ptr<std::vector<ResolvedAddress>> resolved(
        reinterpret_cast<std::vector<ResolvedAddress>*>(addresses));
    if (attempt != attempt_) {
        return;
    }
    addresses_ = std::move(*resolved);
    nextAddress_ = 0;
    connectNextAddress();
}

// An address that cannot be reached gives way to the next; when none is left the attempt just
// stays unanswered and the time-out reports it.
void WinsockSocket::connectNextAddress() {
    while (nextAddress_ < addresses_.size()) {
        const ResolvedAddress& target = addresses_[nextAddress_++];
        UniqueSocket candidate(::socket(target.family, SOCK_STREAM, IPPROTO_TCP));
        if (!candidate || WSAAsyncSelect(candidate.get(), messages_.window(), kSocketMessage,
                                         kEvents) == SOCKET_ERROR) {
            continue;
        }
        const auto* address = reinterpret_cast<const sockaddr*>(&target.address);
        if (::connect(candidate.get(), address, target.length) == 0 ||
            WSAGetLastError() == WSAEWOULDBLOCK) {
            socket_ = std::move(candidate);
            return;
        }
    }
}

void WinsockSocket::dropSocket() {
    connected_ = false;
    if (!socket_) {
        return;
    }
    WSAAsyncSelect(socket_.get(), messages_.window(), 0, 0);
    socket_.reset();
    // Events of the closed socket already queued must not reach the logic.
    MSG queued;
    while (PeekMessageW(&queued, messages_.window(), kSocketMessage, kSocketMessage, PM_REMOVE)) {
    }
}

bool WinsockSocket::onSocketEvent(WPARAM socket, LPARAM event) {
    if (!socket_ || static_cast<SOCKET>(socket) != socket_.get()) {
        return false;
    }
    const int error = WSAGETSELECTERROR(event);
    switch (WSAGETSELECTEVENT(event)) {
        case FD_CONNECT:
            if (error == 0) {
                connected_ = true;
            } else {
                dropSocket();
                connectNextAddress();
            }
            return false;
        case FD_READ: {
            // Winsock may announce data that an earlier read already took.
            u_long waiting = 0;
            return error == 0 && ioctlsocket(socket_.get(), FIONREAD, &waiting) == 0 && waiting > 0;
        }
        case FD_CLOSE:
            connected_ = false;
            return false;
        default:
            return false;
    }
}

std::string WinsockSocket::getData() {
    std::string data;
    if (!socket_) {
        return data;
    }
    std::array<char, kReceiveChunk> chunk;
    for (;;) {
        const int received = recv(socket_.get(), chunk.data(), static_cast<int>(chunk.size()), 0);
        if (received <= 0) {
            break;
        }
        data.append(chunk.data(), static_cast<std::size_t>(received));
    }
    return data;
}

void WinsockSocket::sendData(std::string_view bytes) {
    while (socket_ && !bytes.empty()) {
        const int sent = send(socket_.get(), bytes.data(), static_cast<int>(bytes.size()), 0);
        if (sent <= 0) {
            return;
        }
        bytes.remove_prefix(static_cast<std::size_t>(sent));
    }
}

}  // namespace corvalis::win32
