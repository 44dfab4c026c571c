#pragma once

#include <cstdint>
#include <string_view>

// What crosses the wire between the client and the control server, in Windows-1252 bytes (0xE3 is
// "ã"), each byte one character, with no line end.
namespace corvalis::link {

inline constexpr std::string_view kGreeting = "Conex\xE3o_OK";
inline constexpr std::string_view kRequestPrefix = "PEL_";
// The refusal as servers send it. A reply whose last 45 characters are this text, in any case,
// is a refusal.
inline constexpr std::string_view kRefusal = "N\xE3o foi localizado um registro n\xE3o cancelado.";
inline constexpr std::uint16_t kControlServerPort = 20404;

}  // namespace corvalis::link
