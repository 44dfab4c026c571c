#include "server.hpp"

#include <array>
#include <csignal>
#include <string>
#include <string_view>
#include <utility>

#include "exchange_log.hpp"
#include "protocol.hpp"

namespace corvalis::control_server {
namespace {

// When the process runs out of descriptors, accepting again at once would spin.
constexpr std::chrono::milliseconds accept_retry_delay{100};

bool is_descriptor_shortage(const std::error_code& error) {
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
          peer_(peer),
          deadline_(server.io_),
          request_pause_timer_(server.io_) {
        server_.open_connections_.insert(this);
    }
    ~Connection() { server_.open_connections_.erase(this); }

    void start() {
        arm_deadline();
        asio::async_write(socket_, asio::buffer(greeting),
                          [self = shared_from_this()](std::error_code error, std::size_t) {
                              if (self->closed_) return;
                              if (error) return self->finish_with_error(error);
                              self->read_request();
                          });
    }

    void close() {
        if (closed_) return;
        closed_ = true;
        deadline_.cancel();
        request_pause_timer_.cancel();
        std::error_code ignored;
        socket_.close(ignored);
    }

private:
    std::string_view received() const { return {request_.data(), received_size_}; }

    std::string_view identification() const {
        return received().substr(std::min(received_size_, request_prefix.size()));
    }

    void arm_deadline() {
        deadline_.expires_after(server_.settings_.idle_timeout);
        deadline_.async_wait([self = shared_from_this()](std::error_code error) {
            if (error || self->closed_) return;
            if (!self->answered_) self->log_outcome("idle");
            self->close();
        });
    }

    void read_request() {
        read_in_flight_ = true;
        // One byte more than allowed, so an oversized request shows itself.
        socket_.async_read_some(
            asio::buffer(request_.data() + received_size_, request_.size() - received_size_),
            [self = shared_from_this()](std::error_code error, std::size_t count) {
                self->read_in_flight_ = false;
                self->on_request_data(error, count);
            });
    }

    void on_request_data(std::error_code error, std::size_t count) {
        if (closed_) return;
        if (answered_) return on_data_after_reply(error);
        received_size_ += count;
        if (error == asio::error::eof) {
            // A client that half-closes after its request still gets its answer.
            if (received_size_ == 0) {
                log_outcome("closed");
                return close();
            }
            peer_closed_ = true;
            return answer_request();
        }
        if (error) return finish_with_error(error);

        if (received_size_ > max_request_bytes) return answer_refusal("oversize");
        const auto compared = std::min(received_size_, request_prefix.size());
        if (received().substr(0, compared) != request_prefix.substr(0, compared))
            return answer_refusal("not-a-request");
        if (received_size_ >= request_prefix.size()) {
            const auto lookup = server_.table_->find(identification());
            if (lookup.outcome != LookupOutcome::unknown &&
                !lookup.extended_by_longer_identification)
                return answer(lookup);
        }
        wait_for_request_pause();
        read_request();
    }

    void wait_for_request_pause() {
        request_pause_timer_.expires_after(server_.settings_.request_pause);
        request_pause_timer_.async_wait([self = shared_from_this()](std::error_code error) {
            if (error || self->closed_ || self->answered_) return;
            // The read stays pending and now collects whatever the client still sends.
            self->answer_request();
        });
    }

    void answer_request() {
        if (received_size_ < request_prefix.size()) return answer_refusal("not-a-request");
        answer(server_.table_->find(identification()));
    }

    void answer(const Lookup& lookup) {
        switch (lookup.outcome) {
            case LookupOutcome::record:
                table_in_use_ = server_.table_;  // keeps the record alive across a reload
                return send_reply(lookup.record, "record");
            case LookupOutcome::cancelled:
                return answer_refusal("cancelled");
            case LookupOutcome::unknown:
                return answer_refusal("unknown");
        }
    }

    void answer_refusal(std::string_view outcome) { send_reply(refusal, outcome); }

    void send_reply(std::string_view reply, std::string_view outcome) {
        request_pause_timer_.cancel();
        answered_ = true;
        log_outcome(outcome);
        arm_deadline();
        asio::async_write(socket_, asio::buffer(reply.data(), reply.size()),
                          [self = shared_from_this()](std::error_code error, std::size_t) {
                              if (self->closed_) return;
                              if (error) return self->close();
                              // The reply is all there is: tell the client, then wait for it to
                              // close, so that closing never resets a reply still in flight.
                              std::error_code ignored;
                              self->socket_.shutdown(asio::ip::tcp::socket::shutdown_send, ignored);
                              self->reply_sent_ = true;
                              if (self->peer_closed_) self->close();
                          });
        if (!read_in_flight_ && !peer_closed_) read_request_discarding();
    }

    void read_request_discarding() {
        received_size_ = 0;
        read_request();
    }

    void on_data_after_reply(std::error_code error) {
        if (error) {
            peer_closed_ = true;
            if (reply_sent_ || error != asio::error::eof) close();
            return;
        }
        read_request_discarding();
    }

    void finish_with_error(std::error_code error) {
        log_outcome("error (" + error.message() + ")");
        close();
    }

    void log_outcome(std::string_view outcome) {
        std::string text = endpoint_text(peer_);
        if (received_size_ >= request_prefix.size() && received().starts_with(request_prefix)) {
            text += " \"";
            text += sanitise_for_log(identification());
            text += "\" ";
        } else {
            text += " - ";
        }
        text += outcome;
        log_line(text);
    }

    ControlServer& server_;
    asio::ip::tcp::socket socket_;
    asio::ip::tcp::endpoint peer_;
    asio::steady_timer deadline_;
    asio::steady_timer request_pause_timer_;
    std::shared_ptr<const AccessTable> table_in_use_;
    std::array<char, max_request_bytes + 1> request_{};
    std::size_t received_size_ = 0;
    bool read_in_flight_ = false;
    bool answered_ = false;
    bool reply_sent_ = false;
    bool peer_closed_ = false;
    bool closed_ = false;
};

std::string endpoint_text(const asio::ip::tcp::endpoint& endpoint) {
    const auto address = endpoint.address();
    const auto port = std::to_string(endpoint.port());
    if (address.is_v6()) return "[" + address.to_string() + "]:" + port;
    return address.to_string() + ":" + port;
}

TableLoad load_table_reporting_problems(const std::filesystem::path& file) {
    auto load = load_access_table(file);
    for (const auto& problem : load.problems)
        log_line("table " + file.string() + " line " + std::to_string(problem.line_number) + ": " +
                 problem.reason + "; line skipped");
    return load;
}

ControlServer::ControlServer(asio::io_context& io, ServerSettings settings,
                             std::shared_ptr<const AccessTable> table)
    : io_(io),
      settings_(std::move(settings)),
      table_(std::move(table)),
      acceptor_(io, settings_.listen_endpoint),
      accept_retry_timer_(io),
      signals_(io, SIGHUP, SIGINT, SIGTERM) {}

void ControlServer::start() {
    accept_next();
    wait_for_signal();
}

void ControlServer::accept_next() {
    // The accept call itself fills in the peer's address, sparing a lookup per connection.
    acceptor_.async_accept(
        accepted_peer_, [this](std::error_code error, asio::ip::tcp::socket socket) {
            if (stopping_) return;
            if (error) {
                if (is_descriptor_shortage(error)) {
                    log_line("accept failed (" + error.message() + "); retrying shortly");
                    accept_retry_timer_.expires_after(accept_retry_delay);
                    accept_retry_timer_.async_wait([this](std::error_code timer_error) {
                        if (!timer_error && !stopping_) accept_next();
                    });
                    return;
                }
                accept_next();
                return;
            }
            if (open_connections_.size() >= settings_.max_connections) {
                log_line(endpoint_text(accepted_peer_) + " - over-limit");
                std::error_code ignored;
                socket.close(ignored);
            } else {
                std::make_shared<Connection>(*this, std::move(socket), accepted_peer_)->start();
            }
            accept_next();
        });
}

void ControlServer::wait_for_signal() {
    signals_.async_wait([this](std::error_code error, int signal_number) {
        if (error) return;
        if (signal_number == SIGHUP) {
            reload_table();
            wait_for_signal();
            return;
        }
        log_line("stopping");
        stop();
    });
}

void ControlServer::reload_table() {
    const auto path = settings_.table_file.string();
    auto load = load_table_reporting_problems(settings_.table_file);
    if (!load.table) {
        log_line("table " + path + " not reloaded (" + load.failure + "); keeping the " +
                 std::to_string(table_->size()) + " records already loaded");
        return;
    }
    table_ = std::move(load.table);
    log_line("table " + path + " reloaded: " + std::to_string(table_->size()) + " records, " +
             std::to_string(table_->cancelled_count()) + " cancelled");
}

void ControlServer::stop() {
    stopping_ = true;
    std::error_code ignored;
    acceptor_.close(ignored);
    accept_retry_timer_.cancel();
    signals_.cancel();
    // Closing may release a connection, which removes itself from the set.
    std::vector<std::shared_ptr<Connection>> open;
    open.reserve(open_connections_.size());
    for (auto* connection : open_connections_) open.push_back(connection->shared_from_this());
    for (auto& connection : open) connection->close();
}

}  // namespace corvalis::control_server
