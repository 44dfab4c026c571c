#include "launch/launchers.hpp"

#include <algorithm>
#include <utility>

#include "text/path.hpp"

namespace corvalis::launch {
namespace {

constexpr std::string_view kZeroPort = "0";

bool isSafeCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
           c == '-' || c == '_' || c == ':' || c == '[' || c == ']';
}

std::string target(const link::DadosAcesso& dados) {
    return dados.servidor + ":" + dados.portaRdp;
}

// The two guards both buttons share: connected in this run, and the service allowed.
bool passesGuards(ports::View& view, bool conectado, std::string_view port) {
    if (!conectado) {
        view.showMessage(kNotConnectedMessage);
        return false;
    }
    if (port == kZeroPort) {
        view.showMessage(kNotAllowedMessage);
        return false;
    }
    return true;
}

bool isSafeAccess(ports::View& view, std::string_view servidor, std::string_view port) {
    if (isSafeAccessValue(servidor) && isSafeAccessValue(port)) {
        return true;
    }
    view.showMessage(kInvalidAccessDataMessage);
    return false;
}

}  // namespace

bool isSafeAccessValue(std::string_view value) {
    return std::all_of(value.begin(), value.end(), isSafeCharacter);
}

ports::RemoteDesktopCommand remoteDesktopCommand(std::string_view applicationFolder,
                                                 const link::DadosAcesso& dados) {
    ports::RemoteDesktopCommand command;
    // mstsc.exe takes its connection file quoted, so a folder with blanks stays one argument.
    command.commandLine = "mstsc.exe \"" + std::string(applicationFolder) + "\\" +
                          std::string(kConnectionFileName) + "\" /V:" + target(dados);
    command.freeRdpArguments = {text::joinPath(applicationFolder, kConnectionFileName),
                                "/v:" + target(dados)};
    return command;
}

std::string webUrl(const link::DadosAcesso& dados) {
    return "http://" + dados.servidor + ":" + dados.portaWeb + "/lumo";
}

RemoteDesktopLauncher::RemoteDesktopLauncher(ports::View& view, ports::ProcessStarter& starter,
                                             std::string applicationFolder)
    : view_(view), starter_(starter), applicationFolder_(std::move(applicationFolder)) {}

void RemoteDesktopLauncher::sistemaClick(bool conectado, const link::DadosAcesso& dados) {
    if (!passesGuards(view_, conectado, dados.portaRdp) ||
        !isSafeAccess(view_, dados.servidor, dados.portaRdp)) {
        return;
    }
    if (!starter_.startRemoteDesktop(remoteDesktopCommand(applicationFolder_, dados))) {
        view_.showMessage(kRemoteDesktopFailedMessage);
    }
}

WebLauncher::WebLauncher(ports::View& view, ports::Browser& browser)
    : view_(view), browser_(browser) {}

void WebLauncher::lumoClick(bool conectado, const link::DadosAcesso& dados) {
    if (!passesGuards(view_, conectado, dados.portaWeb) ||
        !isSafeAccess(view_, dados.servidor, dados.portaWeb)) {
        return;
    }
    browser_.open(webUrl(dados));
}

}  // namespace corvalis::launch
