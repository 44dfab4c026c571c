#include "tcp_socket.hpp"

#include <netdb.h>
#include <netinet/in.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

namespace corvalis::qt {
namespace {

constexpr std::size_t kReceivePiece = 4096;

std::vector<ResolvedAddress> resolve(const std::string& host, std::uint16_t port) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    addrinfo* found = nullptr;
    std::vector<ResolvedAddress> addresses;
    if (getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0) {
        return addresses;
    }
    for (const addrinfo* entry = found; entry != nullptr; entry = entry->ai_next) {
        ResolvedAddress resolved{};
        std::memcpy(&resolved.address, entry->ai_addr, entry->ai_addrlen);
        resolved.length = entry->ai_addrlen;
        resolved.family = entry->ai_family;
        addresses.push_back(resolved);
    }
    freeaddrinfo(found);
    return addresses;
}

}  // namespace

struct TcpSocket::Mailbox {
    std::mutex mutex;
    TcpSocket* socket = nullptr;
};

TcpSocket::TcpSocket(QObject* parent) : QObject(parent), mailbox_(std::make_shared<Mailbox>()) {
    mailbox_->socket = this;
    QObject::connect(&writable_, &QSocketNotifier::activated, this, &TcpSocket::onConnectEnded);
    QObject::connect(&readable_, &QSocketNotifier::activated, this, &TcpSocket::onReadable);
}

TcpSocket::~TcpSocket() {
    {
        const std::lock_guard lock(mailbox_->mutex);
        mailbox_->socket = nullptr;
    }
    dropSocket();
}

void TcpSocket::close() {
    ++attempt_;  // a resolution still under way belongs to the closed attempt
    addresses_.clear();
    received_.clear();
    dropSocket();
}

bool TcpSocket::connect() {
    close();
    try {
        std::thread([mailbox = mailbox_, attempt = attempt_, host = host_, port = port_] {
            auto addresses = resolve(host, port);
            const std::lock_guard lock(mailbox->mutex);
            if (mailbox->socket != nullptr) {
                QMetaObject::invokeMethod(
                    mailbox->socket,
                    [socket = mailbox->socket, attempt,
                     addresses = std::move(addresses)]() mutable {
                        socket->onResolved(attempt, std::move(addresses));
                    },
                    Qt::QueuedConnection);
            }
        }).detach();
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

void TcpSocket::onResolved(std::uint64_t attempt, std::vector<ResolvedAddress> addresses) {
    if (attempt != attempt_) {
        return;
    }
    addresses_ = std::move(addresses);
    nextAddress_ = 0;
    connectNextAddress();
}

// An address that cannot be reached gives way to the next; when none is left the attempt just
// stays unanswered and the time-out reports it.
void TcpSocket::connectNextAddress() {
    while (nextAddress_ < addresses_.size()) {
        const ResolvedAddress& target = addresses_[nextAddress_++];
        const int candidate =
            ::socket(target.family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_TCP);
        if (candidate < 0) {
            continue;
        }
        const auto* address = reinterpret_cast<const sockaddr*>(&target.address);
        if (::connect(candidate, address, target.length) == 0 || errno == EINPROGRESS) {
            descriptor_ = candidate;
            writable_.setSocket(descriptor_);
            writable_.setEnabled(true);
            return;
        }
        ::close(candidate);
    }
}

void TcpSocket::onConnectEnded() {
    writable_.setEnabled(false);
    int error = 0;
    socklen_t length = sizeof error;
    if (getsockopt(descriptor_, SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0) {
        dropSocket();
        connectNextAddress();
        return;
    }
    connected_ = true;
    readable_.setSocket(descriptor_);
    readable_.setEnabled(true);
}

void TcpSocket::onReadable() {
    std::array<char, kReceivePiece> piece{};
    bool arrived = false;
    for (;;) {
        const ssize_t got = ::recv(descriptor_, piece.data(), piece.size(), 0);
        if (got > 0) {
            received_.append(piece.data(), static_cast<std::size_t>(got));
            arrived = true;
        } else if (got < 0 && errno == EINTR) {
            continue;
        } else {
            if (got == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) {
                // Closed by the server, or failed: nothing more will come.
                readable_.setEnabled(false);
                connected_ = false;
            }
            break;
        }
    }
    // Last: the logic may close this socket from its handler.
    if (arrived) {
        dataArrival_();
    }
}

void TcpSocket::dropSocket() {
    connected_ = false;
    readable_.setEnabled(false);
    writable_.setEnabled(false);
    if (descriptor_ >= 0) {
        ::close(descriptor_);
        descriptor_ = -1;
    }
}

std::string TcpSocket::getData() {
    return std::exchange(received_, {});
}

void TcpSocket::sendData(std::string_view bytes) {
    while (descriptor_ >= 0 && !bytes.empty()) {
        const ssize_t sent = ::send(descriptor_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (sent <= 0) {
            return;
        }
        bytes.remove_prefix(static_cast<std::size_t>(sent));
    }
}

}  // namespace corvalis::qt
