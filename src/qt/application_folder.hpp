#pragma once

#include <string>

namespace corvalis::qt {

// The folder that holds the program, UTF-8 with native separators: pelmark.ini and
// Tol-Cloud.rdp live there.
[[nodiscard]] std::string applicationFolder();

}  // namespace corvalis::qt
