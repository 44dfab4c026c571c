// GET /metrics in Prometheus' text format, on a listener of its own, served by the same thread as
// the control port: every step is asynchronous and bounded, so a client that sends nothing or reads
// nothing holds up nothing but itself.
#include <algorithm>
#include <array>
#include <chrono>
#include <memory>
#include <string_view>
#include <utility>

#include "exchange_log.hpp"
#include "server.hpp"

namespace corvalis::control_server {
namespace {

// A scraper needs one or two; more at once are closed unanswered.
constexpr std::size_t kMaxMetricsConnections = 8;
constexpr std::size_t kMaxRequestHeadBytes = 1024;
// A failed accept (out of descriptors) would fail again at once: spinning would take the thread.
constexpr std::chrono::milliseconds kAcceptRetryDelay{100};

// Every outcome a connection is logged with: first how exchanges ended, then the limits that
// closed connections, named in kLimits.
constexpr std::array<std::string_view, 11> kOutcomes{
    "record", "cancelled",        "unknown",    "not-a-request",      "oversize", "closed",
    "error",  "bad-proxy-header", "over-limit", "over-address-limit", "idle"};
constexpr std::size_t kFirstLimit = 8;
constexpr std::array<std::string_view, 3> kLimits{"max-connections", "max-per-address",
                                                  "idle-timeout"};

}  // namespace

// Reads the request head (up to 1 KiB, within the idle time-out), answers, shuts its sending side
// and waits for the client to close, so that closing never resets the answer in flight.
class MetricsConnection : public std::enable_shared_from_this<MetricsConnection> {
public:
    MetricsConnection(ControlServer& server, asio::ip::tcp::socket socket)
        : server_(server), socket_(std::move(socket)), deadline_(server.io_) {
        server_.metricsConnections_.insert(this);
    }
    ~MetricsConnection() { server_.metricsConnections_.erase(this); }
    MetricsConnection(const MetricsConnection&) = delete;
    MetricsConnection& operator=(const MetricsConnection&) = delete;

    void start() {
        deadline_.expires_after(server_.settings_.idleTimeout);
        deadline_.async_wait([self = shared_from_this()](std::error_code error) {
            if (!error) {
                self->close();
            }
        });
        read();
    }

    void close() {
        std::error_code ignored;
        socket_.close(ignored);
        deadline_.cancel();
    }

private:
    void read() {
        socket_.async_read_some(
            asio::buffer(head_.data() + size_, head_.size() - size_),
            [self = shared_from_this()](std::error_code error, std::size_t count) {
                if (error) {
                    return self->close();
                }
                self->size_ = self->answered_ ? 0 : self->size_ + count;
                const std::string_view head(self->head_.data(), self->size_);
                if (!self->answered_ && (head.find("\r\n\r\n") != std::string_view::npos ||
                                         self->size_ == kMaxRequestHeadBytes)) {
                    self->answer(head.starts_with("GET /metrics "));
                }
                self->read();
            });
    }

    void answer(bool found) {
        answered_ = true;
        const std::string body = found ? server_.metricsText() : "not found\n";
        response_ = std::string(found ? "HTTP/1.1 200 OK\r\n" : "HTTP/1.1 404 Not Found\r\n") +
                    "Content-Type: text/plain; version=0.0.4; charset=utf-8\r\nContent-Length: " +
                    std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
        asio::async_write(socket_, asio::buffer(response_),
                          [self = shared_from_this()](std::error_code error, std::size_t) {
                              std::error_code ignored;
                              if (!error) {
                                  self->socket_.shutdown(asio::ip::tcp::socket::shutdown_send,
                                                         ignored);
                              }
                          });
    }

    ControlServer& server_;
    asio::ip::tcp::socket socket_;
    asio::steady_timer deadline_;
    std::array<char, kMaxRequestHeadBytes> head_{};
    std::size_t size_ = 0;
    bool answered_ = false;
    std::string response_;
};

void ControlServer::acceptMetricsClient() {
    metricsAcceptor_->async_accept([this](std::error_code error, asio::ip::tcp::socket socket) {
        if (stopping_) {
            return;
        }
        if (error) {
            const auto pause = std::make_shared<asio::steady_timer>(io_, kAcceptRetryDelay);
            return pause->async_wait([this, pause](std::error_code) {
                if (!stopping_) {
                    acceptMetricsClient();
                }
            });
        }
        if (metricsConnections_.size() < kMaxMetricsConnections) {
            std::make_shared<MetricsConnection>(*this, std::move(socket))->start();
        }
        acceptMetricsClient();
    });
}

void ControlServer::closeMetrics() {
    if (metricsAcceptor_) {
        std::error_code ignored;
        metricsAcceptor_->close(ignored);
    }
    for (auto* client : metricsConnections_) {
        client->close();  // its handlers, and so its release, come later
    }
}

void ControlServer::countOutcome(std::string_view outcome) {
    static_assert(kOutcomes.size() == std::tuple_size_v<decltype(outcomeCounts_)> &&
                  kFirstLimit + kLimits.size() == kOutcomes.size());
    const auto named =
        std::find(kOutcomes.begin(), kOutcomes.end(), outcome.substr(0, outcome.find(' ')));
    if (named != kOutcomes.end()) {
        ++outcomeCounts_[static_cast<std::size_t>(named - kOutcomes.begin())];
    }
}

std::string ControlServer::metricsText() const {
    std::string text;
    for (std::size_t index = 0; index < kOutcomes.size(); ++index) {
        if (index == 0) {
            text +=
                "# HELP corvalis_exchanges_total Connections served, by how they ended.\n"
                "# TYPE corvalis_exchanges_total counter\n";
        } else if (index == kFirstLimit) {
            text +=
                "# HELP corvalis_connections_closed_total Connections a limit closed.\n"
                "# TYPE corvalis_connections_closed_total counter\n";
        }
        text += index < kFirstLimit
                    ? "corvalis_exchanges_total{outcome=\"" + std::string(kOutcomes[index])
                    : "corvalis_connections_closed_total{limit=\"" +
                          std::string(kLimits[index - kFirstLimit]);
        text += "\"} " + std::to_string(outcomeCounts_[index]) + "\n";
    }
    const std::chrono::duration<double> lastGoodLoad = lastGoodLoad_.time_since_epoch();
    return text +
           "# HELP corvalis_reloads_total Table reloads, by result.\n"
           "# TYPE corvalis_reloads_total counter\n"
           "corvalis_reloads_total{result=\"succeeded\"} " +
           std::to_string(reloadsSucceeded_) + "\ncorvalis_reloads_total{result=\"failed\"} " +
           std::to_string(reloadsFailed_) +
           "\n# HELP corvalis_last_good_reload_timestamp_seconds When the table in use was "
           "loaded.\n"
           "# TYPE corvalis_last_good_reload_timestamp_seconds gauge\n"
           "corvalis_last_good_reload_timestamp_seconds " +
           std::to_string(lastGoodLoad.count()) +
           "\n# HELP corvalis_companies Companies in the table in use.\n"
           "# TYPE corvalis_companies gauge\n"
           "corvalis_companies " +
           std::to_string(table_->size()) +
           "\n# HELP corvalis_open_connections Control connections open now.\n"
           "# TYPE corvalis_open_connections gauge\n"
           "corvalis_open_connections " +
           std::to_string(openConnections_.size()) + "\n";
}

}  // namespace corvalis::control_server
