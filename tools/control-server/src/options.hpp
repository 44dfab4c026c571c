#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "link/wire.hpp"
#include "server.hpp"

namespace corvalis::control_server {

inline constexpr std::uint16_t kDefaultPort = link::kControlServerPort;
inline constexpr std::chrono::milliseconds kDefaultIdleTimeout{10000};
inline constexpr std::chrono::milliseconds kDefaultRequestPause{50};
inline constexpr std::size_t kDefaultMaxConnections = 1024;
inline constexpr std::size_t kDefaultMaxConnectionsPerAddress = 32;

struct ParsedOptions {
    std::optional<ServerSettings> settings;  // empty when the program should not serve
    bool helpRequested = false;
    bool versionRequested = false;
    std::string error;  // set when the command line is wrong
};

ParsedOptions parseOptions(const std::vector<std::string>& arguments);

std::string usageText(const std::string& programName);

}  // namespace corvalis::control_server
