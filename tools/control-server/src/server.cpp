#include "server.hpp"

#include <systemd/sd-daemon.h>

#include <algorithm>
#include <array>
#include <csignal>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>

#include "exchange_log.hpp"
#include "protocol.hpp"
#include "proxy_header.hpp"
#include "request_gathering.hpp"

namespace corvalis::control_server {
namespace {

// When the process runs out of descriptors, accepting again at once would spin.
constexpr std::chrono::milliseconds kAcceptRetryDelay{100};

bool isDescriptorShortage(const std::error_code& error) {
    return error == asio::error::no_descriptors || error == asio::error::no_buffer_space ||
           error == asio::error::no_memory || error == std::errc::too_many_files_open_in_system;
}

}  // namespace

// One client, from the greeting to the close. Lives as long as an asynchronous operation
// holds it; closing the socket and cancelling the timers lets it go.
class Connection : public std::enable_shared_from_this<Connection> {
public:
    Connection(ControlServer& server, asio::ip::tcp::socket socket, asio::ip::tcp::endpoint peer)
        : server_(server),
          socket_(std::move(socket)),
          peer_(std::move(peer)),
          deadline_(server.io_),
          requestPauseTimer_(server.io_) {
        server_.openConnections_.insert(this);
    }
    ~Connection() {
        server_.openConnections_.erase(this);
        const auto fromAddress = server_.connectionsPerAddress_.find(peer_.address());
        if (counted_ && --fromAddress->second == 0) {
            server_.connectionsPerAddress_.erase(fromAddress);
        }
    }

    // A trusted balancer's connection is admitted once its header has named the client.
    void start(bool proxied) {
        armDeadline();
        if (proxied) {
            return readProxyHeader();
        }
        admitAndGreet();
    }

    void close() {
        if (closed_) {
            return;
        }
        closed_ = true;
        deadline_.cancel();
        requestPauseTimer_.cancel();
        std::error_code ignored;
        socket_.close(ignored);
    }

private:
    void readProxyHeader() {
        socket_.async_read_some(
            asio::buffer(request_.data() + receivedSize_, request_.size() - receivedSize_),
            [self = shared_from_this()](std::error_code error, std::size_t count) {
                if (self->closed_) {
                    return;
                }
                if (error) {
                    return self->finishWithError(error);
                }
                self->receivedSize_ += count;
                const auto header = parseProxyHeader(self->received());
                if (header.state == ProxyHeaderState::incomplete &&
                    self->receivedSize_ < kMaxProxyHeaderBytes) {
                    return self->readProxyHeader();
                }
                if (header.state != ProxyHeaderState::complete) {
                    self->logOutcome("bad-proxy-header");
                    return self->close();
                }
                self->peer_ = header.client.value_or(self->peer_);
                // Whatever the client sent after the header is the start of its request.
                self->receivedSize_ -= header.size;
                std::memmove(self->request_.data(), self->request_.data() + header.size,
                             self->receivedSize_);
                self->admitAndGreet();
            });
    }

    void admitAndGreet() {
        if (server_.atAddressLimit(peer_.address())) {
            logOutcome("over-address-limit");
            return close();
        }
        ++server_.connectionsPerAddress_[peer_.address()];
        counted_ = true;
        asio::async_write(socket_, asio::buffer(kGreeting),
                          [self = shared_from_this()](std::error_code error, std::size_t) {
                              if (self->closed_) {
                                  return;
                              }
                              if (error) {
                                  return self->finishWithError(error);
                              }
                              if (self->receivedSize_ > 0) {
                                  return self->onRequestData({}, 0);
                              }
                              self->readRequest();
                          });
    }

    std::string_view received() const { return {request_.data(), receivedSize_}; }

    std::string_view identification() const {
        return received().substr(std::min(receivedSize_, kRequestPrefix.size()));
    }

    void armDeadline() {
        deadline_.expires_after(server_.settings_.idleTimeout);
        deadline_.async_wait([self = shared_from_this()](std::error_code error) {
            // Re-arming cannot withdraw a completion already queued: one from an earlier
            // deadline finds the expiry moved on, and must not close a connection being answered.
            if (error || self->closed_ ||
                self->deadline_.expiry() > std::chrono::steady_clock::now()) {
                return;
            }
            if (!self->answered_) {
                self->logOutcome("idle");
            }
            self->close();
        });
    }

    void readRequest() {
        readInFlight_ = true;
        // One byte more than allowed, so an oversized request shows itself.
        socket_.async_read_some(
            asio::buffer(request_.data() + receivedSize_, request_.size() - receivedSize_),
            [self = shared_from_this()](std::error_code error, std::size_t count) {
                self->readInFlight_ = false;
                self->onRequestData(error, count);
            });
    }

    void onRequestData(std::error_code error, std::size_t count) {
        if (closed_) {
            return;
        }
        if (answered_) {
            return onDataAfterReply(error);
        }
        receivedSize_ += count;
        if (error == asio::error::eof) {
            // A client that half-closes after its request still gets its answer.
            if (receivedSize_ == 0) {
                logOutcome("closed");
                return close();
            }
            peerClosed_ = true;
            return answer(judge(true));
        }
        if (error) {
            return finishWithError(error);
        }
        if (const auto verdict = judge(false); verdict.final) {
            return answer(verdict);
        }
        waitForRequestPause();
        readRequest();
    }

    RequestVerdict judge(bool ended) const {
        return judgeRequest(received(), *server_.table_, ended);
    }

    void waitForRequestPause() {
        requestPauseTimer_.expires_after(server_.settings_.requestPause);
        requestPauseTimer_.async_wait([self = shared_from_this()](std::error_code error) {
            if (error || self->closed_ || self->answered_) {
                return;
            }
            // The read stays pending and now collects whatever the client still sends.
            self->answer(self->judge(true));
        });
    }

    void answer(const RequestVerdict& verdict) {
        tableInUse_ = server_.table_;  // keeps the record alive across a reload
        requestPauseTimer_.cancel();
        answered_ = true;
        logOutcome(verdict.outcome);
        armDeadline();
        asio::async_write(socket_, asio::buffer(verdict.reply.data(), verdict.reply.size()),
                          [self = shared_from_this()](std::error_code error, std::size_t) {
                              if (self->closed_) {
                                  return;
                              }
                              if (error) {
                                  return self->close();
                              }
                              // The reply is all there is: tell the client, then wait for it to
                              // close, so that closing never resets a reply still in flight.
                              std::error_code ignored;
                              self->socket_.shutdown(asio::ip::tcp::socket::shutdown_send, ignored);
                              self->replySent_ = true;
                              if (self->peerClosed_) {
                                  self->close();
                              }
                          });
        if (!readInFlight_ && !peerClosed_) {
            readRequestDiscarding();
        }
    }

    void readRequestDiscarding() {
        receivedSize_ = 0;
        readRequest();
    }

    void onDataAfterReply(std::error_code error) {
        if (error) {
            peerClosed_ = true;
            if (replySent_ || error != asio::error::eof) {
                close();
            }
            return;
        }
        readRequestDiscarding();
    }

    void finishWithError(std::error_code error) {
        logOutcome("error (" + error.message() + ")");
        close();
    }

    void logOutcome(std::string_view outcome) {
        server_.countOutcome(outcome);
        if (received().starts_with(kRequestPrefix)) {
            server_.log_.exchange(endpointText(peer_), " \"", sanitiseForLog(identification()),
                                  "\" ", outcome);
        } else {
            server_.log_.exchange(endpointText(peer_), " - ", outcome);
        }
    }

    ControlServer& server_;
    asio::ip::tcp::socket socket_;
    asio::ip::tcp::endpoint peer_;
    asio::steady_timer deadline_;
    asio::steady_timer requestPauseTimer_;
    std::shared_ptr<const AccessTable> tableInUse_;
    std::array<char, kMaxRequestBytes + 1> request_{};
    std::size_t receivedSize_ = 0;
    bool readInFlight_ = false;
    bool answered_ = false;
    bool replySent_ = false;
    bool peerClosed_ = false;
    bool closed_ = false;
    bool counted_ = false;  // in the connections of its address
};

std::string tableStatus(const AccessTable& table) {
    return "companies: " + std::to_string(table.size());
}

void tellServiceManager(const std::string& state) {
    static_cast<void>(sd_notify(0, state.c_str()));  // nothing to do when there is no manager
}

std::string endpointText(const asio::ip::tcp::endpoint& endpoint) {
    const auto address = endpoint.address();
    const auto port = std::to_string(endpoint.port());
    if (address.is_v6()) {
        return "[" + address.to_string() + "]:" + port;
    }
    return address.to_string() + ":" + port;
}

TableLoad loadTableReportingProblems(const std::filesystem::path& file) {
    auto load = loadAccessTable(file);
    for (const auto& problem : load.problems) {
        logLine("table " + file.string() + " line " + std::to_string(problem.lineNumber) + ": " +
                    problem.reason + "; line skipped",
                LogPriority::warning);
    }
    return load;
}

ControlServer::ControlServer(asio::io_context& io, ServerSettings settings,
                             std::shared_ptr<const AccessTable> table)
    : io_(io),
      log_(io),
      settings_(std::move(settings)),
      table_(std::move(table)),
      acceptor_(io, settings_.listenEndpoint),
      acceptRetryTimer_(io),
      signals_(io, SIGHUP, SIGINT, SIGTERM) {
    if (settings_.metricsEndpoint) {
        metricsAcceptor_.emplace(io, *settings_.metricsEndpoint);
    }
}

void ControlServer::start() {
    if (metricsAcceptor_) {
        log_.event("metrics on " + endpointText(metricsAcceptor_->local_endpoint()),
                   LogPriority::notice);
        acceptMetricsClient();
    }
    acceptNext();
    waitForSignal();
}

void ControlServer::acceptNext() {
    // The accept call itself fills in the peer's address, sparing a lookup per connection.
    acceptor_.async_accept(acceptedPeer_, [this](std::error_code error,
                                                 asio::ip::tcp::socket socket) {
        if (stopping_) {
            return;
        }
        if (error) {
            if (isDescriptorShortage(error)) {
                log_.event("accept failed (" + error.message() + "); retrying shortly",
                           LogPriority::warning);
                acceptRetryTimer_.expires_after(kAcceptRetryDelay);
                acceptRetryTimer_.async_wait([this](std::error_code timerError) {
                    if (!timerError && !stopping_) {
                        acceptNext();
                    }
                });
                return;
            }
            acceptNext();
            return;
        }
        const auto& proxies = settings_.trustedProxies;
        const bool proxied = std::any_of(proxies.begin(), proxies.end(), [this](const auto& range) {
            return range.contains(acceptedPeer_.address());
        });
        std::string_view dropped;  // why the connection is closed unanswered
        if (openConnections_.size() >= settings_.maxConnections) {
            dropped = "over-limit";
        } else if (!proxied && atAddressLimit(acceptedPeer_.address())) {
            dropped = "over-address-limit";  // at once, so a flood costs no more than this
        }
        if (!dropped.empty()) {
            countOutcome(dropped);
            log_.exchange(endpointText(acceptedPeer_), " - ", dropped);
            std::error_code ignored;
            socket.close(ignored);
        } else {
            const auto connection =
                std::make_shared<Connection>(*this, std::move(socket), acceptedPeer_);
            connection->start(proxied);
        }
        acceptNext();
    });
}

bool ControlServer::atAddressLimit(const asio::ip::address& address) const {
    const auto fromAddress = connectionsPerAddress_.find(address);
    return fromAddress != connectionsPerAddress_.end() &&
           fromAddress->second >= settings_.maxConnectionsPerAddress;
}

void ControlServer::waitForSignal() {
    signals_.async_wait([this](std::error_code error, int signalNumber) {
        if (error) {
            return;
        }
        if (signalNumber == SIGHUP) {
            reloadTable();
            waitForSignal();
            return;
        }
        log_.event("stopping", LogPriority::notice);
        stop();
    });
}

void ControlServer::reloadTable() {
    if (std::exchange(reloading_, true)) {
        reloadAgain_ = true;  // after this one, for the file may have changed since it was read
        return;
    }
    startReloader(nullptr, true);
}

// Parsing a million companies takes about a second, and freeing them a good part of one: the
// serving thread would answer no one meanwhile.
void ControlServer::startReloader(std::shared_ptr<const AccessTable> retired, bool load) {
    if (reloader_.joinable()) {
        reloader_.join();  // done, or about to be: it has posted its table, or is freeing one
    }
    if (load) {
        log_.event("table " + settings_.tableFile.string() + " reloading", LogPriority::notice);
        tellServiceManager("RELOADING=1");
    }
    reloader_ = std::thread([this, retired = std::move(retired), load]() mutable {
        retired.reset();
        if (load) {
            auto loaded = loadTableReportingProblems(settings_.tableFile);
            const auto cancelled = loaded.table ? loaded.table->cancelledCount() : 0;
            asio::post(io_, [this, loaded = std::move(loaded), cancelled]() mutable {
                finishReload(std::move(loaded), cancelled);
            });
        }
    });
}

void ControlServer::finishReload(TableLoad load, std::size_t cancelled) {
    const auto path = settings_.tableFile.string();
    std::shared_ptr<const AccessTable> retired;
    std::string failed;
    if (load.table) {
        retired = std::exchange(table_, std::move(load.table));
        ++reloadsSucceeded_;
        lastGoodLoad_ = std::chrono::system_clock::now();
        log_.event("table " + path + " reloaded: " + std::to_string(table_->size()) + " records, " +
                       std::to_string(cancelled) + " cancelled",
                   LogPriority::notice);
    } else {
        failed = "; the last reload failed (" + load.failure + ")";
        ++reloadsFailed_;
        log_.event("table " + path + " not reloaded (" + load.failure + "); keeping the " +
                       std::to_string(table_->size()) + " records already loaded",
                   LogPriority::error);
    }
    reloading_ = std::exchange(reloadAgain_, false);
    if (!reloading_) {
        tellServiceManager("READY=1\nSTATUS=" + tableStatus(*table_) + failed);
    }
    startReloader(std::move(retired), reloading_);
}

ControlServer::~ControlServer() {
    if (reloader_.joinable()) {
        reloader_.join();
    }
}

void ControlServer::stop() {
    stopping_ = true;
    std::error_code ignored;
    acceptor_.close(ignored);
    acceptRetryTimer_.cancel();
    signals_.cancel();
    closeMetrics();
    // Closing may release a connection, which removes itself from the set.
    std::vector<std::shared_ptr<Connection>> open;
    open.reserve(openConnections_.size());
    for (auto* connection : openConnections_) {
        open.push_back(connection->shared_from_this());
    }
    for (auto& connection : open) {
        connection->close();
    }
    log_.flush();
}

}  // namespace corvalis::control_server
