#pragma once

#include <string>
#include <string_view>

#include "link/wire.hpp"

// The client's side of the conversation with the control server. Everything here works on the raw
// Windows-1252 bytes of the wire; each byte is one character.
namespace corvalis::link {

enum class MessageKind { Greeting, Refusal, AccessRecord };

// The greeting counts only while the socket reports connected; anything else is a reply, a refusal
// when its last 45 characters upper-cased are the refusal text, an access record otherwise.
[[nodiscard]] MessageKind classify(std::string_view message, bool socketConnected);

// "PEL_" + the identification in Windows-1252, nothing appended.
[[nodiscard]] std::string request(std::string_view identificationUtf8);

// What the client keeps of an accepted reply; UTF-8 text, the ports stay text.
struct DadosAcesso {
    std::string servidor;
    std::string portaRdp;
    std::string portaWeb;
    friend bool operator==(const DadosAcesso&, const DadosAcesso&) = default;
};

// Splits the reply at every "|"; an empty item stands for "0"; items 0, 3 and 4 overwrite servidor,
// portaRdp and portaWeb, and an item the reply does not carry leaves its value as it was.
void tratarRegistro(std::string_view message, DadosAcesso& dados);

}  // namespace corvalis::link
