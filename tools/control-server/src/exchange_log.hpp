#pragma once

#include <asio.hpp>
#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

namespace corvalis::control_server {

// The identification comes from the network: anything but plain printable ASCII is escaped
// as \xHH, so a client cannot break or forge log lines.
std::string sanitiseForLog(std::string_view untrusted);

// As syslog numbers them: `journalctl -p warning` shows warnings and errors.
enum class LogPriority { error = 3, warning = 4, notice = 5, info = 6 };

// Writes "<UTC time> <text>" and a line end to standard error in one write; when standard error is
// the journal, the line starts with its priority ("<4>"), which the journal takes off and keeps.
void logLine(std::string_view text, LogPriority priority = LogPriority::info);

// The time at the start of a line. Lines come many a second: the date and time are formatted once
// a second, only the milliseconds each time.
class LogStamp {
public:
    void append(std::string& line, std::chrono::system_clock::time_point now);

private:
    std::int64_t second_ = -1;
    std::string secondText_;  // "2024-05-01T10:00:00."
};

// The serving thread's log. A busy server ends many exchanges in one turn of its event loop: their
// lines wait for the end of that turn and go out in one write, not one write each. Any other line
// goes out at once, after those waiting, so the log keeps its order.
class ServingLog {
public:
    explicit ServingLog(asio::io_context& io) : io_(io) {}
    ServingLog(const ServingLog&) = delete;
    ServingLog& operator=(const ServingLog&) = delete;
    ~ServingLog() { flush(); }

    // The line is `parts` one after another.
    template <typename... Parts>
    void exchange(const Parts&... parts) {
        startLine(LogPriority::info);
        (pending_.append(parts), ...);
        finishLine();
    }
    void event(std::string_view text, LogPriority priority);
    void flush();

private:
    void startLine(LogPriority priority);
    void finishLine();

    asio::io_context& io_;
    std::string pending_;
    bool flushPosted_ = false;
    LogStamp stamp_;
};

}  // namespace corvalis::control_server
