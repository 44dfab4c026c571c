#include "exchange_log.hpp"

#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <ctime>

namespace corvalis::control_server {
namespace {

// Longer identifications are cut short in the log; a request may hold up to 1 KiB.
constexpr std::size_t logged_identification_limit = 128;

}  // namespace

std::string sanitise_for_log(std::string_view untrusted) {
    constexpr std::string_view hex_digits = "0123456789abcdef";
    std::string safe;
    safe.reserve(untrusted.size() + 2);
    const auto shown = untrusted.substr(0, logged_identification_limit);
    for (const char byte : shown) {
        const auto value = static_cast<unsigned char>(byte);
        if (value >= 0x20 && value < 0x7F && byte != '\\' && byte != '"') {
            safe += byte;
        } else {
            safe += "\\x";
            safe += hex_digits[value >> 4];
            safe += hex_digits[value & 0x0F];
        }
    }
    if (shown.size() < untrusted.size()) safe += "...";
    return safe;
}

void log_line(std::string_view text) {
    const auto now = std::chrono::system_clock::now();
    const auto since_epoch = now.time_since_epoch();
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(since_epoch);
    const auto milliseconds =
        std::chrono::duration_cast<std::chrono::milliseconds>(since_epoch - seconds);
    const std::time_t whole_seconds = seconds.count();
    std::tm utc{};
    gmtime_r(&whole_seconds, &utc);
    char stamp[32];
    const int stamp_length =
        std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ ",
                      utc.tm_year + 1900, utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min,
                      utc.tm_sec, static_cast<int>(milliseconds.count()));

    std::string line;
    line.reserve(static_cast<std::size_t>(stamp_length) + text.size() + 1);
    line.append(stamp, static_cast<std::size_t>(stamp_length));
    line.append(text);
    line += '\n';
    std::string_view pending = line;
    while (!pending.empty()) {
        const auto written = ::write(STDERR_FILENO, pending.data(), pending.size());
        if (written < 0) {
            if (errno == EINTR) continue;
            return;  // nowhere left to report a failing log
        }
        pending.remove_prefix(static_cast<std::size_t>(written));
    }
}

}  // namespace corvalis::control_server
