#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/view.hpp"
#include "link/protocol.hpp"

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

// Both ways to start the remote-desktop client; each platform uses the one that fits it.
struct RemoteDesktopCommand {
    // Windows: mstsc.exe "<folder>\Tol-Cloud.rdp" /V:<servidor>:<portaRdp>
    std::string commandLine;
    // FreeRDP: the connection file, then /v:<servidor>:<portaRdp>, one argument each.
    std::vector<std::string> freeRdpArguments;
};

class ProcessStarter {
public:
    virtual ~ProcessStarter() = default;
    // Starts the remote-desktop client with a normal, focused window, without waiting for it.
    // False when no remote-desktop client could be started.
    [[nodiscard]] virtual bool startRemoteDesktop(const RemoteDesktopCommand& command) = 0;
};

class Browser {
public:
    virtual ~Browser() = default;
    // Opens the URL in the default browser; the outcome is not examined.
    virtual void open(std::string_view url) = 0;
};

// servidor and the ports come from the network and end up in a command line or a URL: only host
// and port characters may pass (ASCII letters, digits, . - _ : [ ]). Empty text is allowed.
[[nodiscard]] bool isSafeAccessValue(std::string_view value);

[[nodiscard]] RemoteDesktopCommand remoteDesktopCommand(std::string_view applicationFolder,
                                                        const link::DadosAcesso& dados);
[[nodiscard]] std::string webUrl(const link::DadosAcesso& dados);

// Sistema: the remote-desktop button.
class RemoteDesktopLauncher {
public:
    RemoteDesktopLauncher(app::View& view, ProcessStarter& starter, std::string applicationFolder);
    void sistemaClick(bool conectado, const link::DadosAcesso& dados);

private:
    app::View& view_;
    ProcessStarter& starter_;
    std::string applicationFolder_;  // UTF-8
};

// Lumo: the web-access button.
class WebLauncher {
public:
    WebLauncher(app::View& view, Browser& browser);
    void lumoClick(bool conectado, const link::DadosAcesso& dados);

private:
    app::View& view_;
    Browser& browser_;
};

}  // namespace corvalis::launch
