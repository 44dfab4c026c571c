#include "text/path.hpp"

namespace corvalis::text {

std::string joinPath(std::string_view folder, std::string_view name) {
    std::string path(folder);
    if (!path.empty() && path.back() != kPathSeparator) {
        path.push_back(kPathSeparator);
    }
    path += name;
    return path;
}

}  // namespace corvalis::text
