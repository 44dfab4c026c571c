#pragma once

#include <asio.hpp>
#include <chrono>
#include <cstddef>
#include <filesystem>
#include <memory>
#include <string>
#include <unordered_set>

#include "access_table.hpp"

namespace corvalis::control_server {

struct ServerSettings {
    asio::ip::tcp::endpoint listen_endpoint;
    std::filesystem::path table_file;
    // A connection must deliver its whole request within this time; it also bounds how long a
    // connection lingers after the reply waiting for the client to close.
    std::chrono::milliseconds idle_timeout{};
    // The client sends "PEL_" + identification with nothing after it, so the end of a request
    // that might still grow is only known by this much quiet.
    std::chrono::milliseconds request_pause{};
    std::size_t max_connections = 0;
};

class Connection;

// "127.0.0.1:20404", "[::1]:20404".
std::string endpoint_text(const asio::ip::tcp::endpoint& endpoint);

// Loads the table and logs every skipped line.
TableLoad load_table_reporting_problems(const std::filesystem::path& file);

class ControlServer {
public:
    ControlServer(asio::io_context& io, ServerSettings settings,
                  std::shared_ptr<const AccessTable> table);
    ControlServer(const ControlServer&) = delete;
    ControlServer& operator=(const ControlServer&) = delete;

    asio::ip::tcp::endpoint local_endpoint() const { return acceptor_.local_endpoint(); }

    // Starts accepting and handling SIGHUP (reload), SIGINT and SIGTERM (stop).
    void start();
    void reload_table();
    // Closes the listener and every open connection; run() then returns.
    void stop();

private:
    friend class Connection;

    void accept_next();
    void wait_for_signal();

    asio::io_context& io_;
    ServerSettings settings_;
    std::shared_ptr<const AccessTable> table_;
    asio::ip::tcp::acceptor acceptor_;
    asio::ip::tcp::endpoint accepted_peer_;
    asio::steady_timer accept_retry_timer_;
    asio::signal_set signals_;
    std::unordered_set<Connection*> open_connections_;
    bool stopping_ = false;
};

}  // namespace corvalis::control_server
