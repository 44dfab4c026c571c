#pragma once

#include <string>
#include <string_view>

namespace corvalis::win32 {

// The core speaks UTF-8; Windows speaks UTF-16.
[[nodiscard]] std::wstring toWide(std::string_view utf8);
[[nodiscard]] std::string toUtf8(std::wstring_view wide);

}  // namespace corvalis::win32
