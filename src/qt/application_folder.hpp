#pragma once

#include <filesystem>

namespace corvalis::qt {

// The folder that holds the program: pelmark.ini and Tol-Cloud.rdp live there.
[[nodiscard]] std::filesystem::path applicationFolder();

}  // namespace corvalis::qt
