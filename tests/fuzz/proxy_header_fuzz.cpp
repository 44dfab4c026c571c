// The control server's PROXY header parser on arbitrary bytes, fed as they might arrive: a verdict
// given before the last byte stands once all have come, and a complete header lies within them.
#include <cstdlib>

#include "proxy_header.hpp"

using namespace corvalis::control_server;

// NOLINTNEXTLINE(readability-identifier-naming): the name libFuzzer calls
extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const auto whole = parseProxyHeader(bytes);
    for (std::size_t length = 0; length <= bytes.size(); ++length) {
        const auto early = parseProxyHeader(bytes.substr(0, length));
        if (early.state != ProxyHeaderState::incomplete &&
            (early.state != whole.state || early.size != whole.size ||
             early.client != whole.client || early.size > length ||
             early.size > kMaxProxyHeaderBytes)) {
            std::abort();
        }
    }
    return 0;
}
