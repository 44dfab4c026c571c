// Load generator for the control server and, as a yardstick, a web server on loopback.
//
//   corvalis-load-generator exchanges --port P --protocol corvalis|http [--clients N]
//                                     [--duration-ms MS] [--request TEXT] [--expect TEXT]
//                                     [--path /PAGE] [--source-addresses A]
//   corvalis-load-generator idle --port P --server-pid PID [--connections N]
//                                [--source-addresses A]
//   corvalis-load-generator free-port
//
// --source-addresses A spreads the connections evenly over the loopback addresses 127.0.0.1 and
// the A - 1 after it, so that a server's limit of connections per client address holds.
#include <sys/resource.h>

#include <algorithm>
#include <array>
#include <asio.hpp>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr std::string_view greeting = "Conex\xE3o_OK";
constexpr std::string_view http_success = "HTTP/1.1 200 ";
constexpr std::chrono::milliseconds default_duration{5000};
constexpr std::chrono::milliseconds idle_greeting_wait{30000};
constexpr std::size_t default_clients = 64;
constexpr std::size_t default_idle_connections = 10000;
// Connections opened at once while building up the idle set; more would overflow the backlog.
constexpr std::size_t idle_connects_in_flight = 256;

using Options = std::map<std::string, std::string, std::less<>>;

std::size_t number_option(const Options& options, std::string_view name, std::size_t fallback) {
    const auto found = options.find(name);
    if (found == options.end()) return fallback;
    std::size_t value = 0;
    std::from_chars(found->second.data(), found->second.data() + found->second.size(), value);
    return value;
}

// The loopback address a connection numbered `index` comes from.
asio::ip::tcp::endpoint source_endpoint(const Options& options, std::size_t index) {
    const auto addresses =
        std::max<std::size_t>(1, number_option(options, "--source-addresses", 1));
    const auto first = asio::ip::address_v4::loopback().to_uint();
    return {asio::ip::address_v4(static_cast<std::uint32_t>(first + index % addresses)), 0};
}

// Opens the socket on its source address; the port is picked at connect time, so that the few
// addresses' ports are not spent on binding alone.
bool open_from(asio::ip::tcp::socket& socket, const asio::ip::tcp::endpoint& source) {
    std::error_code error;
    socket.open(asio::ip::tcp::v4(), error);
    if (!error)
        socket.set_option(
            asio::detail::socket_option::boolean<IPPROTO_IP, IP_BIND_ADDRESS_NO_PORT>(true), error);
    if (!error) socket.bind(source, error);
    return !error;
}

std::string text_option(const Options& options, std::string_view name, std::string fallback) {
    const auto found = options.find(name);
    return found == options.end() ? fallback : found->second;
}

void raise_descriptor_limit() {
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0) return;
    limit.rlim_cur = limit.rlim_max;
    setrlimit(RLIMIT_NOFILE, &limit);
}

// Kibibytes of resident memory of a process, from /proc/PID/status.
std::optional<long> resident_kib(const std::string& pid) {
    std::ifstream status("/proc/" + pid + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.starts_with("VmRSS:")) return std::stol(line.substr(6));
    }
    return std::nullopt;
}

// One client repeating connect, exchange, close until the run ends.
class ExchangeLoop : public std::enable_shared_from_this<ExchangeLoop> {
public:
    struct Shared {
        asio::ip::tcp::endpoint server;
        bool http = false;
        std::string request;
        std::string expected_reply;
        std::chrono::steady_clock::time_point end;
        std::size_t completed = 0;
        std::size_t failed = 0;
    };

    ExchangeLoop(asio::io_context& io, Shared& shared, asio::ip::tcp::endpoint source)
        : socket_(io), shared_(shared), source_(std::move(source)) {}

    void start() {
        if (std::chrono::steady_clock::now() >= shared_.end) return;
        reply_.clear();
        if (!open_from(socket_, source_)) {
            ++shared_.failed;  // and this client stops: it could only fail again
            return;
        }
        socket_.async_connect(shared_.server, [self = shared_from_this()](std::error_code error) {
            if (error) return self->fail();
            if (self->shared_.http) return self->send_request();
            asio::async_read(self->socket_, asio::buffer(self->greeting_),
                             [self](std::error_code read_error, std::size_t) {
                                 const std::string_view received(self->greeting_.data(),
                                                                 self->greeting_.size());
                                 if (read_error || received != greeting) return self->fail();
                                 self->send_request();
                             });
        });
    }

private:
    void send_request() {
        asio::async_write(socket_, asio::buffer(shared_.request),
                          [self = shared_from_this()](std::error_code error, std::size_t) {
                              if (error) return self->fail();
                              self->read_reply();
                          });
    }

    void read_reply() {
        asio::async_read(socket_, asio::dynamic_buffer(reply_),
                         [self = shared_from_this()](std::error_code error, std::size_t) {
                             if (error != asio::error::eof) return self->fail();
                             const bool right = self->shared_.http
                                                    ? self->reply_.starts_with(http_success)
                                                    : self->reply_ == self->shared_.expected_reply;
                             if (!right) return self->fail();
                             self->finish(true);
                         });
    }

    void fail() { finish(false); }

    void finish(bool succeeded) {
        if (std::chrono::steady_clock::now() < shared_.end)
            ++(succeeded ? shared_.completed : shared_.failed);
        std::error_code ignored;
        socket_.close(ignored);
        start();
    }

    asio::ip::tcp::socket socket_;
    Shared& shared_;
    asio::ip::tcp::endpoint source_;
    std::array<char, greeting.size()> greeting_{};
    std::string reply_;
};

int run_exchanges(const Options& options) {
    asio::io_context io(1);
    ExchangeLoop::Shared shared;
    shared.server = {asio::ip::address_v4::loopback(),
                     static_cast<std::uint16_t>(number_option(options, "--port", 0))};
    shared.http = text_option(options, "--protocol", "corvalis") == "http";
    shared.request = shared.http ? "GET " + text_option(options, "--path", "/") +
                                       " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n"
                                 : text_option(options, "--request", "PEL_acme");
    shared.expected_reply = text_option(options, "--expect", "");
    const auto clients = number_option(options, "--clients", default_clients);
    const std::chrono::milliseconds duration{
        number_option(options, "--duration-ms", default_duration.count())};

    const auto begin = std::chrono::steady_clock::now();
    shared.end = begin + duration;
    for (std::size_t index = 0; index < clients; ++index)
        std::make_shared<ExchangeLoop>(io, shared, source_endpoint(options, index))->start();
    io.run();
    const double seconds = std::chrono::duration<double>(duration).count();
    std::printf("exchanges_per_second=%.0f completed=%zu failed=%zu clients=%zu seconds=%.1f\n",
                static_cast<double>(shared.completed) / seconds, shared.completed, shared.failed,
                clients, seconds);
    return shared.failed == 0 && shared.completed > 0 ? 0 : 1;
}

// Opens connections and keeps them idle once greeted, then reports the server's memory.
int run_idle(const Options& options) {
    raise_descriptor_limit();
    const auto pid = text_option(options, "--server-pid", "");
    const auto wanted = number_option(options, "--connections", default_idle_connections);
    const asio::ip::tcp::endpoint server{
        asio::ip::address_v4::loopback(),
        static_cast<std::uint16_t>(number_option(options, "--port", 0))};

    const auto before = resident_kib(pid);
    if (!before) {
        std::fprintf(stderr, "cannot read the memory of process %s\n", pid.c_str());
        return 1;
    }

    asio::io_context io(1);
    struct Held {
        explicit Held(asio::io_context& context) : socket(context) {}
        asio::ip::tcp::socket socket;
        std::array<char, greeting.size()> received_greeting{};
    };
    std::vector<std::unique_ptr<Held>> held;
    held.reserve(wanted);
    std::size_t started = 0;
    std::size_t greeted = 0;
    std::size_t failed = 0;
    std::function<void()> open_next = [&] {
        if (started >= wanted) return;
        ++started;
        held.push_back(std::make_unique<Held>(io));
        Held& connection = *held.back();
        if (!open_from(connection.socket, source_endpoint(options, started))) {
            ++failed;
            return open_next();
        }
        connection.socket.async_connect(server, [&](std::error_code error) {
            if (error) {
                ++failed;
                return open_next();
            }
            asio::async_read(connection.socket, asio::buffer(connection.received_greeting),
                             [&](std::error_code read_error, std::size_t) {
                                 const std::string_view received(
                                     connection.received_greeting.data(),
                                     connection.received_greeting.size());
                                 ++(read_error || received != greeting ? failed : greeted);
                                 open_next();
                             });
        });
    };
    for (std::size_t index = 0; index < idle_connects_in_flight; ++index) open_next();
    io.run_for(idle_greeting_wait);

    const auto after = resident_kib(pid);
    if (!after) {
        std::fprintf(stderr, "the server process %s went away\n", pid.c_str());
        return 1;
    }
    const double growth_kib = static_cast<double>(*after - *before);
    const double per_connection_bytes =
        greeted == 0 ? 0.0 : growth_kib * 1024.0 / static_cast<double>(greeted);
    std::printf(
        "idle_connections_held=%zu failed=%zu server_rss_before_kib=%ld server_rss_after_kib=%ld "
        "bytes_per_connection=%.0f\n",
        greeted, failed, *before, *after, per_connection_bytes);
    return greeted == wanted ? 0 : 1;
}

int print_free_port() {
    asio::io_context io;
    asio::ip::tcp::acceptor acceptor(io, {asio::ip::address_v4::loopback(), 0});
    std::printf("%u\n", static_cast<unsigned>(acceptor.local_endpoint().port()));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fputs("usage: corvalis-load-generator exchanges|idle|free-port [--option value]...\n",
                   stderr);
        return 2;
    }
    const std::string_view mode = argv[1];
    Options options;
    for (int index = 2; index + 1 < argc; index += 2) options[argv[index]] = argv[index + 1];
    if (mode == "exchanges") return run_exchanges(options);
    if (mode == "idle") return run_idle(options);
    if (mode == "free-port") return print_free_port();
    std::fprintf(stderr, "unknown mode %s\n", argv[1]);
    return 2;
}
