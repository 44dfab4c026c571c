#pragma once

#include <string>
#include <string_view>

namespace corvalis::text {

// "/" or "\\", from the platform's own source file.
extern const char kPathSeparator;

// A file in a folder, both UTF-8, joined with the platform's own separator.
[[nodiscard]] std::string joinPath(std::string_view folder, std::string_view name);

}  // namespace corvalis::text
