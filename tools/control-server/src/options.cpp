#include "options.hpp"

#include <charconv>
#include <limits>
#include <string_view>

namespace corvalis::control_server {
namespace {

template <typename Number>
std::optional<Number> parseNumber(std::string_view text, Number lowest, Number highest) {
    Number value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size() || value < lowest ||
        value > highest) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

ParsedOptions parseOptions(const std::vector<std::string>& arguments) {
    ParsedOptions parsed;
    std::string listenAddress = "127.0.0.1";
    std::uint16_t port = kDefaultPort;
    bool allowRemote = false;
    ServerSettings settings;
    settings.idleTimeout = kDefaultIdleTimeout;
    settings.requestPause = kDefaultRequestPause;
    settings.maxConnections = kDefaultMaxConnections;
    settings.maxConnectionsPerAddress = kDefaultMaxConnectionsPerAddress;

    const auto fail = [&](std::string message) {
        parsed.error = std::move(message);
        return parsed;
    };
    constexpr std::chrono::milliseconds kLongestWait = std::chrono::hours{24};

    for (std::size_t index = 0; index < arguments.size(); ++index) {
        const std::string& option = arguments[index];
        if (option == "--help" || option == "-h") {
            parsed.helpRequested = true;
            return parsed;
        }
        if (option == "--version") {
            parsed.versionRequested = true;
            return parsed;
        }
        if (option == "--allow-remote") {
            allowRemote = true;
            continue;
        }
        if (index + 1 >= arguments.size()) {
            return fail("missing value after " + option);
        }
        const std::string& value = arguments[++index];
        if (option == "--listen") {
            listenAddress = value;
        } else if (option == "--port") {
            const auto number = parseNumber<std::uint16_t>(value, 0, 65535);
            if (!number) {
                return fail("--port needs a number from 0 to 65535");
            }
            port = *number;
        } else if (option == "--metrics") {
            // "127.0.0.1:9100" or "[::1]:9100"
            const auto colon = value.rfind(':');
            auto host = value.substr(0, colon);
            if (host.size() > 1 && host.front() == '[' && host.back() == ']') {
                host = host.substr(1, host.size() - 2);
            }
            std::error_code error;
            const auto address = asio::ip::make_address(host, error);
            const auto number = colon == std::string::npos
                                    ? std::nullopt
                                    : parseNumber<std::uint16_t>(value.substr(colon + 1), 0, 65535);
            if (error || !number) {
                return fail("--metrics needs ADDR:PORT, not '" + value + "'");
            }
            settings.metricsEndpoint.emplace(address, *number);
        } else if (option == "--trusted-proxy") {
            const auto range = parseAddressRange(value);
            if (!range) {
                return fail("--trusted-proxy needs ADDR or ADDR/PREFIX, not '" + value + "'");
            }
            settings.trustedProxies.push_back(*range);
        } else if (option == "--table") {
            settings.tableFile = value;
        } else if (option == "--idle-timeout" || option == "--request-pause") {
            const auto milliseconds =
                parseNumber<std::chrono::milliseconds::rep>(value, 1, kLongestWait.count());
            if (!milliseconds) {
                return fail(option + " needs a number of milliseconds from 1 to " +
                            std::to_string(kLongestWait.count()));
            }
            (option == "--idle-timeout" ? settings.idleTimeout : settings.requestPause) =
                std::chrono::milliseconds{*milliseconds};
        } else if (option == "--max-connections" || option == "--max-per-address") {
            const auto number = parseNumber<std::size_t>(value, 1, std::numeric_limits<int>::max());
            if (!number) {
                return fail(option + " needs a positive number");
            }
            (option == "--max-connections" ? settings.maxConnections
                                           : settings.maxConnectionsPerAddress) = *number;
        } else {
            return fail("unknown option " + option);
        }
    }

    if (settings.tableFile.empty()) {
        return fail("--table FILE is required");
    }
    std::error_code addressError;
    const auto address = asio::ip::make_address(listenAddress, addressError);
    if (addressError) {
        return fail("--listen needs an IP address, not '" + listenAddress + "'");
    }
    if (!address.is_loopback() && !allowRemote) {
        return fail("refusing to listen on " + listenAddress +
                    ", which is not a loopback address; add --allow-remote to mean it");
    }
    if (settings.metricsEndpoint && !settings.metricsEndpoint->address().is_loopback() &&
        !allowRemote) {
        return fail("refusing to serve metrics on " +
                    settings.metricsEndpoint->address().to_string() +
                    ", which is not a loopback address; add --allow-remote to mean it");
    }
    settings.listenEndpoint = asio::ip::tcp::endpoint(address, port);
    parsed.settings = std::move(settings);
    return parsed;
}

std::string usageText(const std::string& programName) {
    return "Usage: " + programName +
           " --table FILE [options]\n"
           "Answers Corvalis clients with the access record of their company.\n"
           "\n"
           "  --table FILE          companies and their access records (required)\n"
           "  --listen ADDR         address to listen on (default 127.0.0.1)\n"
           "  --allow-remote        allow an --listen address other than loopback\n"
           "  --port N              port (default 20404; 0 picks a free one)\n"
           "  --idle-timeout MS     close a connection whose request has not arrived\n"
           "                        within MS milliseconds (default 10000)\n"
           "  --request-pause MS    quiet time that ends a request which might still\n"
           "                        grow (default 50)\n"
           "  --max-connections N   connections open at once; more are closed at\n"
           "                        once (default 1024)\n"
           "  --max-per-address N   connections open at once from one client address;\n"
           "                        more are closed at once (default 32)\n"
           "  --metrics ADDR:PORT   answer GET /metrics (Prometheus) there; loopback\n"
           "                        only unless --allow-remote\n"
           "  --trusted-proxy ADDR[/PREFIX]  a balancer whose connections start with a\n"
           "                        PROXY header (v1 or v2) naming the client; repeatable\n"
           "  --help                show this text\n"
           "  --version             show the version\n"
           "\n"
           "SIGHUP reloads the table; SIGINT or SIGTERM stops the server.\n";
}

}  // namespace corvalis::control_server
