#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "link/protocol.hpp"
#include "ports/browser.hpp"
#include "ports/process_starter.hpp"
#include "ports/view.hpp"

namespace corvalis::launch {

inline constexpr std::string_view kConnectionFileName = "Tol-Cloud.rdp";
inline constexpr std::string_view kNotConnectedMessage =
    "É necessário conectar para atualizar os dados antes de acessar os servidores.";
inline constexpr std::string_view kNotAllowedMessage =
    "Solicite ao Dpto. Comercial a liberação deste acesso.";
inline constexpr std::string_view kInvalidAccessDataMessage =
    "Os dados de acesso recebidos do servidor de controle são inválidos.";
inline constexpr std::string_view kRemoteDesktopFailedMessage =
    "Não foi possível iniciar o cliente de área de trabalho remota.";

// servidor and the ports come from the network and end up in a command line or a URL: only host
// and port characters may pass (ASCII letters, digits, . - _ : [ ]). Empty text is allowed.
[[nodiscard]] bool isSafeAccessValue(std::string_view value);

[[nodiscard]] ports::RemoteDesktopCommand remoteDesktopCommand(std::string_view applicationFolder,
                                                               const link::DadosAcesso& dados);
[[nodiscard]] std::string webUrl(const link::DadosAcesso& dados);

// Sistema: the remote-desktop button.
class RemoteDesktopLauncher {
public:
    RemoteDesktopLauncher(ports::View& view, ports::ProcessStarter& starter,
                          std::string applicationFolder);
    void sistemaClick(bool conectado, const link::DadosAcesso& dados);

private:
    ports::View& view_;
    ports::ProcessStarter& starter_;
    std::string applicationFolder_;  // UTF-8
};

// Lumo: the web-access button.
class WebLauncher {
public:
    WebLauncher(ports::View& view, ports::Browser& browser);
    void lumoClick(bool conectado, const link::DadosAcesso& dados);

private:
    ports::View& view_;
    ports::Browser& browser_;
};

}  // namespace corvalis::launch
