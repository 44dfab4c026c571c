// Any bytes from the control server, classified and parsed as an access record.
#include <algorithm>

#include "link/protocol.hpp"

using namespace corvalis::link;

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    const std::string_view message(reinterpret_cast<const char*>(data), size);
    DadosAcesso dados;  // "0" stands for an empty item, so an empty value is one the reply lacks
    tratarRegistro(message, dados);
    const auto items = std::count(message.begin(), message.end(), '|') + (size > 0 ? 1 : 0);
    const bool ok =
        (classify(message, true) == MessageKind::Greeting) == (message == kGreeting) &&
        classify(std::string(message) + std::string(kRefusal), true) == MessageKind::Refusal &&
        dados.servidor.empty() == (items < 1) && dados.portaRdp.empty() == (items < 4) &&
        dados.portaWeb.empty() == (items < 5);
    return ok ? 0 : (__builtin_trap(), 0);
}
