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
// How a remote-desktop client that failed to connect ended, as the user is told.
inline constexpr std::string_view kServerUnreachableMessage =
    "Não foi possível conectar ao servidor de área de trabalho remota. Verifique a rede e tente "
    "novamente.";
inline constexpr std::string_view kConnectionLostMessage =
    "A conexão com o servidor de área de trabalho remota foi interrompida.";
inline constexpr std::string_view kCertificateChangedMessage =
    "O certificado do servidor de área de trabalho remota mudou desde a última conexão. Por "
    "segurança, a conexão foi recusada: avise o suporte.";
inline constexpr std::string_view kWrongCredentialsMessage =
    "Usuário, senha ou domínio incorretos.";
inline constexpr std::string_view kAccountRefusedMessage =
    "O servidor de área de trabalho remota recusou o acesso deste usuário.";
// Followed by " (código <status>)." when the client gave an exit status, by "." when a signal
// ended it.
inline constexpr std::string_view kRemoteDesktopErrorText =
    "O cliente de área de trabalho remota terminou com erro";

// servidor and the ports come from the network and end up in a command line or a URL: only host
// and port characters may pass (ASCII letters, digits, . - _ : [ ]). Empty text is allowed.
[[nodiscard]] bool isSafeAccessValue(std::string_view value);

[[nodiscard]] ports::RemoteDesktopCommand remoteDesktopCommand(std::string_view applicationFolder,
                                                               const link::DadosAcesso& dados);
[[nodiscard]] std::string webUrl(const link::DadosAcesso& dados);

// What to tell the user when the remote-desktop client ended with this exit status (empty when a
// signal ended it): nothing when a session ran and ended.
[[nodiscard]] std::optional<std::string> remoteDesktopExitMessage(std::optional<int> exitStatus);

// Sistema: the remote-desktop button.
class RemoteDesktopLauncher {
public:
    RemoteDesktopLauncher(ports::View& view, ports::ProcessStarter& starter,
                          std::string applicationFolder);
    void sistemaClick(bool conectado, const link::DadosAcesso& dados);
    // A remote-desktop client that sistemaClick started has ended; see remoteDesktopExitMessage.
    void remoteDesktopEnded(std::optional<int> exitStatus);

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
