#include "options.hpp"

#include <charconv>
#include <limits>
#include <string_view>

namespace corvalis::control_server {
namespace {

template <typename Number>
std::optional<Number> parse_number(std::string_view text, Number lowest, Number highest) {
    Number value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size() || value < lowest ||
        value > highest)
        return std::nullopt;
    return value;
}

}  // namespace

ParsedOptions parse_options(const std::vector<std::string>& arguments) {
    ParsedOptions parsed;
    std::string listen_address = "127.0.0.1";
    std::uint16_t port = default_port;
    bool allow_remote = false;
    ServerSettings settings;
    settings.idle_timeout = default_idle_timeout;
    settings.request_pause = default_request_pause;
    settings.max_connections = default_max_connections;

    const auto fail = [&](std::string message) {
        parsed.error = std::move(message);
        return parsed;
    };
    constexpr std::chrono::milliseconds longest_wait = std::chrono::hours{24};

    for (std::size_t index = 0; index < arguments.size(); ++index) {
        const std::string& option = arguments[index];
        if (option == "--help" || option == "-h") {
            parsed.help_requested = true;
            return parsed;
        }
        if (option == "--version") {
            parsed.version_requested = true;
            return parsed;
        }
        if (option == "--allow-remote") {
            allow_remote = true;
            continue;
        }
        if (index + 1 >= arguments.size()) return fail("missing value after " + option);
        const std::string& value = arguments[++index];
        if (option == "--listen") {
            listen_address = value;
        } else if (option == "--port") {
            const auto number = parse_number<std::uint16_t>(value, 0, 65535);
            if (!number) return fail("--port needs a number from 0 to 65535");
            port = *number;
        } else if (option == "--table") {
            settings.table_file = value;
        } else if (option == "--idle-timeout" || option == "--request-pause") {
            const auto milliseconds =
                parse_number<std::chrono::milliseconds::rep>(value, 1, longest_wait.count());
            if (!milliseconds)
                return fail(option + " needs a number of milliseconds from 1 to " +
                            std::to_string(longest_wait.count()));
            (option == "--idle-timeout" ? settings.idle_timeout : settings.request_pause) =
                std::chrono::milliseconds{*milliseconds};
        } else if (option == "--max-connections") {
            const auto number =
                parse_number<std::size_t>(value, 1, std::numeric_limits<int>::max());
            if (!number) return fail("--max-connections needs a positive number");
            settings.max_connections = *number;
        } else {
            return fail("unknown option " + option);
        }
    }

    if (settings.table_file.empty()) return fail("--table FILE is required");
    std::error_code address_error;
    const auto address = asio::ip::make_address(listen_address, address_error);
    if (address_error) return fail("--listen needs an IP address, not '" + listen_address + "'");
    if (!address.is_loopback() && !allow_remote)
        return fail("refusing to listen on " + listen_address +
                    ", which is not a loopback address; add --allow-remote to mean it");
    settings.listen_endpoint = asio::ip::tcp::endpoint(address, port);
    parsed.settings = std::move(settings);
    return parsed;
}

std::string usage_text(const std::string& program_name) {
    return "Usage: " + program_name +
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
           "  --help                show this text\n"
           "  --version             show the version\n"
           "\n"
           "SIGHUP reloads the table; SIGINT or SIGTERM stops the server.\n";
}

}  // namespace corvalis::control_server
