#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "server.hpp"

namespace corvalis::control_server {

inline constexpr std::uint16_t default_port = 20404;
inline constexpr std::chrono::milliseconds default_idle_timeout{10000};
inline constexpr std::chrono::milliseconds default_request_pause{50};
inline constexpr std::size_t default_max_connections = 1024;

struct ParsedOptions {
    std::optional<ServerSettings> settings;  // empty when the program should not serve
    bool help_requested = false;
    bool version_requested = false;
    std::string error;  // set when the command line is wrong
};

ParsedOptions parse_options(const std::vector<std::string>& arguments);

std::string usage_text(const std::string& program_name);

}  // namespace corvalis::control_server
