#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace corvalis::link {

struct Endpoint {
    std::string host;
    std::uint16_t port;
    friend bool operator==(const Endpoint&, const Endpoint&) = default;
};

inline constexpr std::string_view kControlServerVariable = "CORVALIS_CONTROL_SERVER";

// "host", "host:port", "[v6]" or "[v6]:port"; a bare IPv6 address without brackets is a host.
// Empty optional when the text is not one of these or the port is not 1-65535.
[[nodiscard]] std::optional<Endpoint> parseEndpoint(std::string_view text,
                                                    std::uint16_t defaultPort);

// The built-in control server, unless CORVALIS_CONTROL_SERVER names a valid one.
[[nodiscard]] Endpoint controlServer(const char* overrideValue);
[[nodiscard]] Endpoint controlServerFromEnvironment();

}  // namespace corvalis::link
