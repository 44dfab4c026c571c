#include "text/path.hpp"

namespace corvalis::text {

std::string joinPath(std::string_view folder, std::string_view name) {
    constexpr char kSeparator = '\\';
    std::string path(folder);
    if (!path.empty() && path.back() != kSeparator) {
        path.push_back(kSeparator);
    }
    path += name;
    return path;
}

}  // namespace corvalis::text
