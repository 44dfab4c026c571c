#pragma once

#include "ports/file_system.hpp"

namespace corvalis::win32 {

// The identification file through the wide file APIs, so any folder name works.
class Win32FileSystem final : public ports::FileSystem {
public:
    [[nodiscard]] std::optional<std::string> readOrCreate(const std::string& path,
                                                          std::size_t maxBytes) override;
    [[nodiscard]] bool replace(const std::string& path, std::string_view bytes) override;
};

}  // namespace corvalis::win32
