#pragma once

#include "launch/launchers.hpp"

namespace corvalis::qt {

// Starts the platform's remote-desktop client detached: FreeRDP on Linux, mstsc.exe on Windows.
class RemoteDesktopStarter final : public ports::ProcessStarter {
public:
    [[nodiscard]] bool startRemoteDesktop(const ports::RemoteDesktopCommand& command) override;
};

}  // namespace corvalis::qt
