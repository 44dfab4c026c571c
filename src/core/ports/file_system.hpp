#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace corvalis::ports {

// The file operations the identification store needs; paths are UTF-8 text. Failures are
// results, never exceptions.
class FileSystem {
public:
    virtual ~FileSystem() = default;

    // The file's first bytes, at most maxBytes of them; a missing file is created empty first.
    // Empty optional when the file can neither be read nor created.
    [[nodiscard]] virtual std::optional<std::string> readOrCreate(const std::string& path,
                                                                  std::size_t maxBytes) = 0;

    // Gives the file exactly these bytes without ever leaving it half written: the bytes go to a
    // temporary file in the same folder that is then renamed over the old one. Where the folder
    // refuses new files but the file itself is writable, it is rewritten in place. A file its user
    // may not write is refused, left with its bytes and mode; a link is written through.
    [[nodiscard]] virtual bool replace(const std::string& path, std::string_view bytes) = 0;
};

}  // namespace corvalis::ports
