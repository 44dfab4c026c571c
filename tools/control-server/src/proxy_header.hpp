#pragma once

#include <asio/ip/address.hpp>
#include <asio/ip/tcp.hpp>
#include <cstddef>
#include <optional>
#include <string_view>

namespace corvalis::control_server {

// A balancer that shows every client with its own address names the real one in a header that
// HAProxy made the convention (PROXY protocol, version 1 in text, version 2 in binary). Longer
// headers are refused: they would only carry extensions this server does not read.
inline constexpr std::size_t kMaxProxyHeaderBytes = 1024;

enum class ProxyHeaderState { incomplete, complete, malformed };

struct ProxyHeader {
    ProxyHeaderState state = ProxyHeaderState::incomplete;
    std::size_t size = 0;  // bytes the header takes, when complete
    // Empty when the balancer speaks for itself (a health check): the connection's own address
    // then counts.
    std::optional<asio::ip::tcp::endpoint> client;
};

// Judges the first bytes of a connection; more bytes never turn a verdict other than incomplete.
ProxyHeader parseProxyHeader(std::string_view received);

// An address with the number of leading bits that must match ("10.0.0.0/8"); IPv4 addresses
// match as their IPv4-mapped IPv6 form, so a dual-stack listener sees the same ranges.
struct AddressRange {
    asio::ip::address_v6 network;
    unsigned prefixBits = 0;  // of the IPv6 form
    bool contains(const asio::ip::address& address) const;
};

// "ADDR" or "ADDR/PREFIX"; empty when the text is neither.
std::optional<AddressRange> parseAddressRange(std::string_view text);

}  // namespace corvalis::control_server
