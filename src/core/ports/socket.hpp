#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>

namespace corvalis::ports {

// The TCP client socket the controller drives. Data arrival is the only event it reports: it runs
// the callback its owner set, on the user-interface thread, each time data are waiting to be read.
class Socket {
public:
    virtual ~Socket() = default;

    void setCallback(std::function<void()> callback) { dataArrival_ = std::move(callback); }

    // Closes the connection or the attempt; harmless when closed; no event follows it.
    virtual void close() = 0;
    virtual void setRemoteHost(std::string_view host) = 0;
    virtual void setRemotePort(std::uint16_t port) = 0;
    // Starts the asynchronous connect and returns at once; false only when it cannot even start.
    [[nodiscard]] virtual bool connect() = 0;
    [[nodiscard]] virtual bool isConnected() const = 0;
    // Everything received so far, as raw bytes.
    [[nodiscard]] virtual std::string getData() = 0;
    // Sends the bytes as they are, nothing appended.
    virtual void sendData(std::string_view bytes) = 0;

protected:
    std::function<void()> dataArrival_ = [] {};
};

}  // namespace corvalis::ports
