#include <fstream>
#include <system_error>

#include "store/file_system.hpp"

namespace corvalis::store {
namespace {

namespace fs = std::filesystem;

bool writeWhole(const fs::path& path, std::string_view bytes, std::ios::openmode extra) {
    std::ofstream out(path, std::ios::binary | std::ios::out | extra);
    if (!out) {
        return false;
    }
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.flush();
    return static_cast<bool>(out);
}

fs::path temporaryPath(const fs::path& path) {
    fs::path temporary = path;
    temporary += ".tmp";
    return temporary;
}

}  // namespace

std::optional<std::string> StdFileSystem::readOrCreate(const fs::path& path, std::size_t maxBytes) {
    std::error_code error;
    if (!fs::exists(path, error)) {
        if (error) {
            return std::nullopt;
        }
        std::ofstream created(path, std::ios::binary | std::ios::out);
        if (!created) {
            return std::nullopt;
        }
        return std::string{};
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    std::string content(maxBytes, '\0');
    in.read(content.data(), static_cast<std::streamsize>(maxBytes));
    if (in.bad()) {
        return std::nullopt;
    }
    content.resize(static_cast<std::size_t>(in.gcount()));
    return content;
}

bool StdFileSystem::replace(const fs::path& path, std::string_view bytes) {
    const fs::path temporary = temporaryPath(path);
    {
        std::ofstream probe(temporary, std::ios::binary | std::ios::out | std::ios::trunc);
        if (!probe) {
            // The folder takes no new files: the file itself may still be writable.
            std::error_code error;
            if (!fs::is_regular_file(path, error)) {
                return false;
            }
            return writeWhole(path, bytes, std::ios::trunc);
        }
    }
    std::error_code error;
    if (!writeWhole(temporary, bytes, std::ios::trunc)) {
        fs::remove(temporary, error);
        return false;
    }
    fs::rename(temporary, path, error);
    if (error) {
        fs::remove(temporary, error);
        return false;
    }
    return true;
}

}  // namespace corvalis::store
