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

class ProcessStarter {
public:
    virtual ~ProcessStarter() = default;
    // Starts the remote-desktop client with a normal, focused window, without waiting for it.
    // False when no remote-desktop client could be started.
    [[nodiscard]] virtual bool startRemoteDesktop(const RemoteDesktopCommand& command) = 0;
};

}  // namespace corvalis::ports
