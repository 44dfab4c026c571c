#pragma once

#include <array>
#include <asio.hpp>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "access_table.hpp"
#include "exchange_log.hpp"
#include "proxy_header.hpp"

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
    // Balancers whose connections start with a header naming the client, which then counts.
    std::vector<AddressRange> trustedProxies;
    // Where GET /metrics is answered, if anywhere.
    std::optional<asio::ip::tcp::endpoint> metricsEndpoint;
};

class Connection;
class MetricsConnection;

// "127.0.0.1:20404", "[::1]:20404".
std::string endpointText(const asio::ip::tcp::endpoint& endpoint);

// "companies: 1000", for the service manager's status line.
std::string tableStatus(const AccessTable& table);

// Tells systemd, when it started the server as a Type=notify service ("READY=1"); else nothing.
void tellServiceManager(const std::string& state);

// Loads the table and logs every skipped line.
TableLoad loadTableReportingProblems(const std::filesystem::path& file);

class ControlServer {
public:
    ControlServer(asio::io_context& io, ServerSettings settings,
                  std::shared_ptr<const AccessTable> table);
    ControlServer(const ControlServer&) = delete;
    ControlServer& operator=(const ControlServer&) = delete;
    ~ControlServer();

    asio::ip::tcp::endpoint localEndpoint() const { return acceptor_.local_endpoint(); }
    const std::shared_ptr<const AccessTable>& table() const { return table_; }

    // Starts accepting and handling SIGHUP (reload), SIGINT and SIGTERM (stop).
    void start();
    // Reads the table again beside the serving thread, which takes it in once it is checked.
    void reloadTable();
    // Closes the listener and every open connection; run() then returns.
    void stop();

private:
    friend class Connection;
    friend class MetricsConnection;

    void acceptNext();
    void acceptMetricsClient();
    void closeMetrics();
    // Counts the outcome of a connection, its first word as logged ("error", not its reason).
    void countOutcome(std::string_view outcome);
    std::string metricsText() const;
    bool atAddressLimit(const asio::ip::address& address) const;
    void waitForSignal();
    void startReloader(std::shared_ptr<const AccessTable> retired, bool load);
    void finishReload(TableLoad load, std::size_t cancelled);

    asio::io_context& io_;
    ServingLog log_;
    ServerSettings settings_;
    std::shared_ptr<const AccessTable> table_;
    asio::ip::tcp::acceptor acceptor_;
    asio::ip::tcp::endpoint acceptedPeer_;
    asio::steady_timer acceptRetryTimer_;
    asio::signal_set signals_;
    std::unordered_set<Connection*> openConnections_;
    std::unordered_map<asio::ip::address, std::size_t> connectionsPerAddress_;  // none left at 0
    bool stopping_ = false;
    // Reads a new table, or frees the one it replaced, so the serving thread does neither.
    std::thread reloader_;
    bool reloading_ = false;
    bool reloadAgain_ = false;  // asked for while reloading
    std::optional<asio::ip::tcp::acceptor> metricsAcceptor_;
    std::unordered_set<MetricsConnection*> metricsConnections_;
    // Connections by how they ended, in the order metrics.cpp names the outcomes.
    std::array<std::uint64_t, 11> outcomeCounts_{};
    std::uint64_t reloadsSucceeded_ = 0;
    std::uint64_t reloadsFailed_ = 0;
    std::chrono::system_clock::time_point lastGoodLoad_ = std::chrono::system_clock::now();
};

}  // namespace corvalis::control_server
