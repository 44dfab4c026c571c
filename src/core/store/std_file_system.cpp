#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "store/std_file_system.hpp"

namespace corvalis::store {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t kReadPiece = 4096;

fs::path toPath(const std::string& utf8) {
    return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

bool writeWhole(const fs::path& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::out | std::ios::trunc);
    if (!out) {
        return false;
    }
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.flush();
    return static_cast<bool>(out);
}

}  // namespace

std::optional<std::string> StdFileSystem::readOrCreate(const std::string& pathUtf8,
                                                       std::size_t maxBytes) {
    const fs::path path = toPath(pathUtf8);
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
    // In pieces: a buffer of maxBytes would be zeroed whole, a megabyte of page faults before the
    // first paint for a file of one line.
    std::string content;
    std::array<char, kReadPiece> piece{};
    while (content.size() < maxBytes && in) {
        in.read(piece.data(),
                static_cast<std::streamsize>(std::min(piece.size(), maxBytes - content.size())));
        content.append(piece.data(), static_cast<std::size_t>(in.gcount()));
    }
    if (in.bad()) {
        return std::nullopt;
    }
    return content;
}

bool StdFileSystem::replace(const std::string& pathUtf8, std::string_view bytes) {
    fs::path path = toPath(pathUtf8);
    std::error_code error;
    // A link is written through to the file it names, as opening it for writing would be.
    if (fs::is_symlink(path, error)) {
        path = fs::weakly_canonical(path, error);
        if (error) {
            return false;
        }
    }
    // A file its user may not write stays as it is, bytes and mode: the rename below would
    // otherwise replace it all the same.
    const fs::file_status old = fs::status(path, error);
    const bool existed = fs::exists(old);
    if (existed && !std::fstream(path, std::ios::binary | std::ios::in | std::ios::out)) {
        return false;
    }
    const fs::path temporary = fs::path(path).concat(".tmp");
    {
        std::ofstream probe(temporary, std::ios::binary | std::ios::out | std::ios::trunc);
        if (!probe) {
            // The folder takes no new files: the file itself may still be writable.
            return fs::is_regular_file(path, error) && writeWhole(path, bytes);
        }
    }
    if (!writeWhole(temporary, bytes)) {
        fs::remove(temporary, error);
        return false;
    }
    if (existed) {
        fs::permissions(temporary, old.permissions(), error);
    }
    fs::rename(temporary, path, error);
    if (error) {
        fs::remove(temporary, error);
        return false;
    }
    return true;
}

}  // namespace corvalis::store
