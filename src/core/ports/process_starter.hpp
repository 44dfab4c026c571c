#pragma once

#include <string>
#include <vector>

namespace corvalis::ports {

// Both ways to start the remote-desktop client; each platform uses the one that fits it.
struct RemoteDesktopCommand {
    // Windows: mstsc.exe "<folder>\Tol-Cloud.rdp" /V:<servidor>:<portaRdp>
    std::string commandLine;
    // FreeRDP: the connection file, then /v:<servidor>:<portaRdp>, one argument each.
    std::vector<std::string> freeRdpArguments;
};

enum class StartResult {
    Started,
    Cancelled,   // the user declined to give the credentials it asked for
    NotStarted,  // no remote-desktop client could be started
};

// Where the front end learns how a client it started ended, it reports it by calling
// FrmCv::remoteDesktopEnded().
class ProcessStarter {
public:
    virtual ~ProcessStarter() = default;
    // Starts the remote-desktop client with a normal, focused window, without waiting for it.
    [[nodiscard]] virtual StartResult startRemoteDesktop(const RemoteDesktopCommand& command) = 0;
};

}  // namespace corvalis::ports
