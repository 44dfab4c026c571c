#pragma once

#include "ports/file_system.hpp"

namespace corvalis::store {

// The file system through std::filesystem and fstream; what the Linux build uses.
class StdFileSystem final : public ports::FileSystem {
public:
    [[nodiscard]] std::optional<std::string> readOrCreate(const std::string& path,
                                                          std::size_t maxBytes) override;
    [[nodiscard]] bool replace(const std::string& path, std::string_view bytes) override;
};

}  // namespace corvalis::store
