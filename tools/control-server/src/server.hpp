#pragma once

#include <asio.hpp>
#include <chrono>
#include <cstddef>
#include <filesystem>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "access_table.hpp"

namespace corvalis::control_server {

struct ServerSettings {
    asio::ip::tcp::endpoint listenEndpoint;
    std::filesystem::path tableFile;
    // A connection must deliver its whole request within this time; it also bounds how long a
    // connection lingers after the reply waiting for the client to close.
    std::chrono::milliseconds idleTimeout{};
    // The client sends "PEL_" + identification with nothing after it, so the end of a request
    // that might still grow is only known by this much quiet.
    std::chrono::milliseconds requestPause{};
    std::size_t maxConnections = 0;
    // So that clients from one address, however many, cannot take every connection.
    std::size_t maxConnectionsPerAddress = 0;
};

class Connection;

// "127.0.0.1:20404", "[::1]:20404".
std::string endpointText(const asio::ip::tcp::endpoint& endpoint);

// Loads the table and logs every skipped line.
TableLoad loadTableReportingProblems(const std::filesystem::path& file);

class ControlServer {
public:
    ControlServer(asio::io_context& io, ServerSettings settings,
                  std::shared_ptr<const AccessTable> table);
    ControlServer(const ControlServer&) = delete;
    ControlServer& operator=(const ControlServer&) = delete;

    asio::ip::tcp::endpoint localEndpoint() const { return acceptor_.local_endpoint(); }

    // Starts accepting and handling SIGHUP (reload), SIGINT and SIGTERM (stop).
    void start();
    void reloadTable();
    // Closes the listener and every open connection; run() then returns.
    void stop();

private:
    friend class Connection;

    void acceptNext();
    void waitForSignal();

    asio::io_context& io_;
    ServerSettings settings_;
    std::shared_ptr<const AccessTable> table_;
    asio::ip::tcp::acceptor acceptor_;
    asio::ip::tcp::endpoint acceptedPeer_;
    asio::steady_timer acceptRetryTimer_;
    asio::signal_set signals_;
    std::unordered_set<Connection*> openConnections_;
    std::unordered_map<asio::ip::address, std::size_t> connectionsPerAddress_;  // none left at 0
    bool stopping_ = false;
};

}  // namespace corvalis::control_server
