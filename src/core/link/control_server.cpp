#include "link/control_server.hpp"

#include <charconv>
#include <cstdlib>

#include "link/built_in_server.hpp"
#include "link/wire.hpp"

namespace corvalis::link {
namespace {

std::optional<std::uint16_t> parsePort(std::string_view text) {
    unsigned value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size() || value == 0 || value > 65535) {
        return std::nullopt;
    }
    return static_cast<std::uint16_t>(value);
}

}  // namespace

std::optional<Endpoint> parseEndpoint(std::string_view text, std::uint16_t defaultPort) {
    std::string_view host = text;
    std::string_view port;
    if (text.starts_with('[')) {
        const auto close = text.find(']');
        if (close == std::string_view::npos) {
            return std::nullopt;
        }
        host = text.substr(1, close - 1);
        const std::string_view rest = text.substr(close + 1);
        if (!rest.empty()) {
            if (!rest.starts_with(':')) {
                return std::nullopt;
            }
            port = rest.substr(1);
            if (port.empty()) {
                return std::nullopt;
            }
        }
    } else if (const auto colon = text.find(':');
               colon != std::string_view::npos &&
               text.find(':', colon + 1) == std::string_view::npos) {
        host = text.substr(0, colon);
        port = text.substr(colon + 1);
        if (port.empty()) {
            return std::nullopt;
        }
    }
    if (host.empty() || host.find_first_of(" \t\r\n") != std::string_view::npos) {
        return std::nullopt;
    }
    Endpoint endpoint{std::string(host), defaultPort};
    if (!port.empty()) {
        const auto parsed = parsePort(port);
        if (!parsed) {
            return std::nullopt;
        }
        endpoint.port = *parsed;
    }
    return endpoint;
}

Endpoint controlServer(const char* overrideValue) {
    if (overrideValue != nullptr) {
        if (auto endpoint = parseEndpoint(overrideValue, kControlServerPort)) {
            return *endpoint;
        }
    }
    return Endpoint{std::string(kBuiltInControlServerHost), kControlServerPort};
}

Endpoint controlServerFromEnvironment() {
    return controlServer(std::getenv(std::string(kControlServerVariable).c_str()));
}

}  // namespace corvalis::link
