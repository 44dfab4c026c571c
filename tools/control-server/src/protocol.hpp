#pragma once

#include <cstddef>
#include <string_view>

#include "link/wire.hpp"

namespace corvalis::control_server {

// Wire texts, in Windows-1252 (0xE3 is "ã"), with no line end: the client's own.
inline constexpr std::string_view kGreeting = link::kGreeting;
inline constexpr std::string_view kRequestPrefix = link::kRequestPrefix;
inline constexpr std::string_view kRefusal = link::kRefusal;

// Longer requests are refused; the client's identifications are a few dozen bytes.
inline constexpr std::size_t kMaxRequestBytes = 1024;

}  // namespace corvalis::control_server
