#include "exchange_log.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <utility>

namespace corvalis::control_server {
namespace {

// Longer identifications are cut short in the log; a request may hold up to 1 KiB.
constexpr std::size_t kLoggedIdentificationLimit = 128;
// An exchange's line is under 1 KiB: a batch written from below this stays within the 4 KiB a
// pipe takes whole, so a line written meanwhile by the thread that reloads the table cannot split
// it.
constexpr std::size_t kLogBatchLimit = 3072;

// systemd names the journal stream it gives a service as "DEVICE:INODE"; a child whose standard
// error goes elsewhere inherits the variable, so the stream itself must match.
bool standardErrorIsJournal() {
    const char* stream = std::getenv("JOURNAL_STREAM");
    struct stat status = {};
    return stream != nullptr && fstat(STDERR_FILENO, &status) == 0 &&
           std::to_string(status.st_dev) + ":" + std::to_string(status.st_ino) == stream;
}

void startLogLine(std::string& line, LogPriority priority, LogStamp& stamp) {
    static const bool toJournal = standardErrorIsJournal();
    if (toJournal) {
        line += {'<', static_cast<char>('0' + static_cast<int>(priority)), '>'};  // one digit
    }
    stamp.append(line, std::chrono::system_clock::now());
}

void writeToStandardError(std::string_view pending) {
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

void LogStamp::append(std::string& line, std::chrono::system_clock::time_point now) {
    const auto sinceEpoch = now.time_since_epoch();
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(sinceEpoch);
    if (seconds.count() != second_) {
        second_ = seconds.count();
        const std::time_t wholeSeconds = seconds.count();
        // Fails only for a clock beyond any year a tm holds; the stamp then reads as all zeros.
        std::tm utc{};
        static_cast<void>(gmtime_r(&wholeSeconds, &utc));
        char text[32];
        const int length =
            std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.", utc.tm_year + 1900,
                          utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec);
        secondText_.assign(text, static_cast<std::size_t>(std::max(length, 0)));
    }
    const auto milliseconds =
        std::chrono::duration_cast<std::chrono::milliseconds>(sinceEpoch - seconds).count();
    line += secondText_;
    line += {static_cast<char>('0' + milliseconds / 100),
             static_cast<char>('0' + milliseconds / 10 % 10),
             static_cast<char>('0' + milliseconds % 10), 'Z', ' '};
}

void logLine(std::string_view text, LogPriority priority) {
    std::string line;
    LogStamp stamp;
    startLogLine(line, priority, stamp);
    line.append(text);
    line += '\n';
    writeToStandardError(line);
}

void ServingLog::event(std::string_view text, LogPriority priority) {
    flush();
    logLine(text, priority);
}

void ServingLog::flush() {
    writeToStandardError(pending_);
    pending_.clear();
}

void ServingLog::startLine(LogPriority priority) {
    if (pending_.size() >= kLogBatchLimit) {
        flush();
    }
    startLogLine(pending_, priority, stamp_);
}

void ServingLog::finishLine() {
    pending_ += '\n';
    if (!std::exchange(flushPosted_, true)) {
        // The server owning this log outlives every handler its io_context runs.
        asio::post(io_, [this] {
            flushPosted_ = false;
            flush();
        });
    }
}

}  // namespace corvalis::control_server
