#include "proxy_header.hpp"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <string>
#include <vector>

namespace corvalis::control_server {
namespace {

constexpr std::string_view kTextSignature = "PROXY ";
constexpr std::string_view kBinarySignature{"\r\n\r\n\0\r\nQUIT\n", 12};
constexpr std::size_t kLongestTextHeader = 107;  // CR LF included, as the convention bounds it
constexpr std::size_t kBinaryFixedBytes = 16;    // signature, version and command, family, length
constexpr unsigned kVersion2 = 0x20;
constexpr unsigned kCommandLocal = 0x00;
constexpr unsigned kCommandProxy = 0x01;
constexpr unsigned kTcpOverIpv4 = 0x11;
constexpr unsigned kTcpOverIpv6 = 0x21;
constexpr std::size_t kIpv4AddressesBytes = 12;  // source, destination, their ports
constexpr std::size_t kIpv6AddressesBytes = 36;

bool startsLike(std::string_view received, std::string_view signature) {
    const auto compared = std::min(received.size(), signature.size());
    return received.substr(0, compared) == signature.substr(0, compared);
}

ProxyHeader malformed() {
    return {ProxyHeaderState::malformed, 0, {}};
}

template <typename Number>
std::optional<Number> parseNumber(std::string_view text, Number highest) {
    Number value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size() || value > highest) {
        return std::nullopt;
    }
    return value;
}

asio::ip::address_v6 asV6(const asio::ip::address& address) {
    return address.is_v4() ? asio::ip::make_address_v6(asio::ip::v4_mapped, address.to_v4())
                           : address.to_v6();
}

// "PROXY TCP4 SOURCE DESTINATION SOURCE-PORT DESTINATION-PORT\r\n", or TCP6, or "PROXY UNKNOWN".
ProxyHeader parseText(std::string_view received) {
    const auto end = received.find("\r\n");
    if (end == std::string_view::npos) {
        return received.size() < kLongestTextHeader ? ProxyHeader{} : malformed();
    }
    if (end + 2 > kLongestTextHeader) {
        return malformed();
    }
    std::vector<std::string_view> words;
    for (auto line = received.substr(0, end).substr(kTextSignature.size()); !line.empty();) {
        const auto space = std::min(line.find(' '), line.size());
        words.push_back(line.substr(0, space));
        line = line.substr(std::min(space + 1, line.size()));
    }
    ProxyHeader header{ProxyHeaderState::complete, end + 2, {}};
    if (!words.empty() && words[0] == "UNKNOWN") {
        return header;
    }
    if (words.size() != 5 || (words[0] != "TCP4" && words[0] != "TCP6")) {
        return malformed();
    }
    std::error_code sourceError;
    std::error_code destinationError;
    const auto source = asio::ip::make_address(std::string(words[1]), sourceError);
    const auto destination = asio::ip::make_address(std::string(words[2]), destinationError);
    const auto port = parseNumber<std::uint16_t>(words[3], UINT16_MAX);
    if (sourceError || destinationError || !port ||
        !parseNumber<std::uint16_t>(words[4], UINT16_MAX) ||
        source.is_v4() != (words[0] == "TCP4") || destination.is_v4() != source.is_v4()) {
        return malformed();
    }
    header.client.emplace(source, *port);
    return header;
}

ProxyHeader parseBinary(std::string_view received) {
    if (received.size() < kBinaryFixedBytes) {
        return {};
    }
    const auto byte = [&](std::size_t index) {
        return static_cast<unsigned char>(received[index]);
    };
    const std::size_t size = kBinaryFixedBytes + (byte(14) << 8U | byte(15));
    const unsigned command = byte(12) & 0x0FU;
    if ((byte(12) & 0xF0U) != kVersion2 || command > kCommandProxy || size > kMaxProxyHeaderBytes) {
        return malformed();
    }
    if (received.size() < size) {
        return {};
    }
    ProxyHeader header{ProxyHeaderState::complete, size, {}};
    const auto addresses = received.substr(kBinaryFixedBytes, size - kBinaryFixedBytes);
    const auto portAt = [&](std::size_t index) {
        return static_cast<std::uint16_t>(byte(kBinaryFixedBytes + index) << 8U |
                                          byte(kBinaryFixedBytes + index + 1));
    };
    if (command == kCommandLocal) {
        return header;
    }
    if (byte(13) == kTcpOverIpv4) {
        if (addresses.size() < kIpv4AddressesBytes) {
            return malformed();
        }
        asio::ip::address_v4::bytes_type source{};
        std::memcpy(source.data(), addresses.data(), source.size());
        header.client.emplace(asio::ip::address_v4(source), portAt(8));
    } else if (byte(13) == kTcpOverIpv6) {
        if (addresses.size() < kIpv6AddressesBytes) {
            return malformed();
        }
        asio::ip::address_v6::bytes_type source{};
        std::memcpy(source.data(), addresses.data(), source.size());
        header.client.emplace(asio::ip::address_v6(source), portAt(32));
    }
    // Other families (unspecified, UDP, local sockets) name no TCP client: the balancer's counts.
    return header;
}

}  // namespace

ProxyHeader parseProxyHeader(std::string_view received) {
    if (startsLike(received, kBinarySignature)) {
        return parseBinary(received);
    }
    return startsLike(received, kTextSignature) ? parseText(received) : malformed();
}

bool AddressRange::contains(const asio::ip::address& address) const {
    const auto theirs = asV6(address).to_bytes();
    const auto ours = network.to_bytes();
    for (unsigned bit = 0; bit < prefixBits; ++bit) {
        if (((ours[bit / 8] ^ theirs[bit / 8]) >> (7 - bit % 8)) & 1U) {
            return false;
        }
    }
    return true;
}

std::optional<AddressRange> parseAddressRange(std::string_view text) {
    const auto slash = text.find('/');
    std::error_code error;
    const auto address = asio::ip::make_address(std::string(text.substr(0, slash)), error);
    if (error) {
        return std::nullopt;
    }
    const unsigned ownBits = address.is_v4() ? 32 : 128;
    const auto bits = slash == std::string_view::npos
                          ? std::optional<unsigned>(ownBits)
                          : parseNumber<unsigned>(text.substr(slash + 1), ownBits);
    if (!bits) {
        return std::nullopt;
    }
    return AddressRange{asV6(address), *bits + (128 - ownBits)};
}

}  // namespace corvalis::control_server
