#pragma once

#include <string>
#include <string_view>

namespace corvalis::control_server {

// The identification comes from the network: anything but plain printable ASCII is escaped
// as \xHH, so a client cannot break or forge log lines.
std::string sanitiseForLog(std::string_view untrusted);

// Writes "<UTC time> <text>" and a line end to standard error in one write.
void logLine(std::string_view text);

}  // namespace corvalis::control_server
