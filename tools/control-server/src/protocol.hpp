#pragma once

#include <cstddef>
#include <string_view>

#include "link/protocol.hpp"

namespace corvalis::control_server {

// Wire texts, in Windows-1252 (0xE3 is "ã"), with no line end: the client's own.
inline constexpr std::string_view greeting = link::kGreeting;
inline constexpr std::string_view request_prefix = link::kRequestPrefix;
// The client treats any reply whose last 45 characters are this text (in any case) as a refusal.
inline constexpr std::string_view refusal = "N\xE3o foi localizado um registro n\xE3o cancelado.";

// Longer requests are refused; the client's identifications are a few dozen bytes.
inline constexpr std::size_t max_request_bytes = 1024;

}  // namespace corvalis::control_server
