#include "launch/launchers.hpp"

#include <algorithm>
#include <string>
#include <utility>

#include "text/path.hpp"

namespace corvalis::launch {
namespace {

constexpr std::string_view kZeroPort = "0";

// FreeRDP's exit statuses (xfreerdp's XF_EXIT_* codes, the same in FreeRDP 2 and 3). Below 128 a
// session window opened and the session ended, closed by the user or the server: nothing to tell.
// From 128 on the client gave up, before any session window opened or, for CONN_FAILED, also when
// a session lost its connection and could not get it back.
constexpr int kFirstConnectFailure = 128;
constexpr std::pair<int, std::string_view> kConnectFailures[] = {
    {131, kConnectionLostMessage},      // CONN_FAILED
    {133, kServerUnreachableMessage},   // NEGO_FAILURE: nothing answered the negotiation
    {137, kServerUnreachableMessage},   // CONNECT_UNDEFINED
    {139, kServerUnreachableMessage},   // DNS_ERROR
    {140, kServerUnreachableMessage},   // DNS_NAME_NOT_FOUND
    {141, kServerUnreachableMessage},   // CONNECT_FAILED
    {142, kServerUnreachableMessage},   // MCS_CONNECT_INITIAL_ERROR
    {147, kServerUnreachableMessage},   // CONNECT_TRANSPORT_FAILED: refused or reset
    {150, kServerUnreachableMessage},   // CONNECT_KDC_UNREACHABLE
    {143, kCertificateChangedMessage},  // TLS_CONNECT_FAILED: trusted on first use, then refused
    {132, kWrongCredentialsMessage},    // AUTH_FAILURE
    {134, kWrongCredentialsMessage},    // LOGON_FAILURE
    {154, kWrongCredentialsMessage},    // CONNECT_WRONG_PASSWORD
    {159, kWrongCredentialsMessage},    // CONNECT_NO_OR_MISSING_CREDENTIALS
    {135, kAccountRefusedMessage},      // ACCOUNT_LOCKED_OUT
    {144, kAccountRefusedMessage},      // INSUFFICIENT_PRIVILEGES
    {148, kAccountRefusedMessage},      // CONNECT_PASSWORD_EXPIRED
    {149, kAccountRefusedMessage},      // CONNECT_PASSWORD_MUST_CHANGE
    {151, kAccountRefusedMessage},      // CONNECT_ACCOUNT_DISABLED
    {152, kAccountRefusedMessage},      // CONNECT_PASSWORD_CERTAINLY_EXPIRED
    {153, kAccountRefusedMessage},      // CONNECT_CLIENT_REVOKED
    {155, kAccountRefusedMessage},      // CONNECT_ACCESS_DENIED
    {156, kAccountRefusedMessage},      // CONNECT_ACCOUNT_RESTRICTION
    {157, kAccountRefusedMessage},      // CONNECT_ACCOUNT_EXPIRED
    {158, kAccountRefusedMessage},      // CONNECT_LOGON_TYPE_NOT_GRANTED
};

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

std::optional<std::string> remoteDesktopExitMessage(std::optional<int> exitStatus) {
    if (!exitStatus) {
        return std::string(kRemoteDesktopErrorText) + ".";
    }
    if (*exitStatus < kFirstConnectFailure) {
        return std::nullopt;
    }
    for (const auto& [status, message] : kConnectFailures) {
        if (status == *exitStatus) {
            return std::string(message);
        }
    }
    return std::string(kRemoteDesktopErrorText) + " (código " + std::to_string(*exitStatus) + ").";
}

RemoteDesktopLauncher::RemoteDesktopLauncher(ports::View& view, ports::ProcessStarter& starter,
                                             std::string applicationFolder)
    : view_(view), starter_(starter), applicationFolder_(std::move(applicationFolder)) {}

void RemoteDesktopLauncher::sistemaClick(bool conectado, const link::DadosAcesso& dados) {
    if (!passesGuards(view_, conectado, dados.portaRdp) ||
        !isSafeAccess(view_, dados.servidor, dados.portaRdp)) {
        return;
    }
    if (starter_.startRemoteDesktop(remoteDesktopCommand(applicationFolder_, dados)) ==
        ports::StartResult::NotStarted) {
        view_.showMessage(kRemoteDesktopFailedMessage);
    }
}

void RemoteDesktopLauncher::remoteDesktopEnded(std::optional<int> exitStatus) {
    if (const std::optional<std::string> message = remoteDesktopExitMessage(exitStatus)) {
        view_.showMessage(*message);
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
