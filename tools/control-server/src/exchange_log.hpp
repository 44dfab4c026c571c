#pragma once

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

}  // namespace corvalis::control_server
