#pragma once

#include <QString>
#include <string_view>

namespace corvalis::qt {

// The core's texts are UTF-8.
[[nodiscard]] inline QString toQString(std::string_view utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

}  // namespace corvalis::qt
