#pragma once

#include <functional>
#include <optional>
#include <string>
#include <utility>
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

// Where the platform tells how a client it started ended, the starter runs the callback its owner
// set with the exit status, empty when a signal ended it.
class ProcessStarter {
public:
    using EndedCallback = std::function<void(std::optional<int> exitStatus)>;
    virtual ~ProcessStarter() = default;

    void setCallback(EndedCallback callback) { ended_ = std::move(callback); }
    // Starts the remote-desktop client with a normal, focused window, without waiting for it.
    [[nodiscard]] virtual StartResult startRemoteDesktop(const RemoteDesktopCommand& command) = 0;

protected:
    EndedCallback ended_ = [](std::optional<int>) {};
};

}  // namespace corvalis::ports
