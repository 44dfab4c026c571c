#include "exchange_log.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

namespace corvalis::control_server {
namespace {

// Longer identifications are cut short in the log; a request may hold up to 1 KiB.
constexpr std::size_t kLoggedIdentificationLimit = 128;

// systemd names the journal stream it gives a service as "DEVICE:INODE"; a child whose standard
// error goes elsewhere inherits the variable, so the stream itself must match.
bool standardErrorIsJournal() {
    const char* stream = std::getenv("JOURNAL_STREAM");
    struct stat status {};
    return stream != nullptr && fstat(STDERR_FILENO, &status) == 0 &&
           std::to_string(status.st_dev) + ":" + std::to_string(status.st_ino) == stream;
}

}  // namespace

std::string sanitiseForLog(std::string_view untrusted) {
    constexpr std::string_view kHexDigits = "0123456789abcdef";
    std::string safe;
    safe.reserve(untrusted.size() + 2);
    const auto shown = untrusted.substr(0, kLoggedIdentificationLimit);
    for (const char byte : shown) {
        const auto value = static_cast<unsigned char>(byte);
        if (value >= 0x20 && value < 0x7F && byte != '\\' && byte != '"') {
            safe += byte;
        } else {
            safe += "\\x";
            safe += kHexDigits[value >> 4];
            safe += kHexDigits[value & 0x0F];
        }
    }
    if (shown.size() < untrusted.size()) {
        safe += "...";
    }
    return safe;
}

void logLine(std::string_view text, LogPriority priority) {
    static const bool toJournal = standardErrorIsJournal();
    const auto now = std::chrono::system_clock::now();
    const auto sinceEpoch = now.time_since_epoch();
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(sinceEpoch);
    const auto milliseconds =
        std::chrono::duration_cast<std::chrono::milliseconds>(sinceEpoch - seconds);
    const std::time_t wholeSeconds = seconds.count();
    // Fails only for a clock beyond any year a tm holds; the stamp then reads as all zeros.
    std::tm utc{};
    static_cast<void>(gmtime_r(&wholeSeconds, &utc));
    char stamp[32];
    const int stampLength =
        std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ ",
                      utc.tm_year + 1900, utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min,
                      utc.tm_sec, static_cast<int>(milliseconds.count()));

    std::string line;
    line.reserve(static_cast<std::size_t>(stampLength) + text.size() + 4);
    if (toJournal) {
        line += {'<', static_cast<char>('0' + static_cast<int>(priority)), '>'};  // one digit
    }
    line.append(stamp, static_cast<std::size_t>(stampLength));
    line.append(text);
    line += '\n';
    std::string_view pending = line;
    while (!pending.empty()) {
        const auto written = ::write(STDERR_FILENO, pending.data(), pending.size());
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return;  // nowhere left to report a failing log
        }
        pending.remove_prefix(static_cast<std::size_t>(written));
    }
}

}  // namespace corvalis::control_server
