#pragma once

#include <windows.h>

#include "launch/launchers.hpp"

namespace corvalis::win32 {

// mstsc.exe through CreateProcessW on the exact command line; the process is not waited for:
// mstsc asks for certificates and credentials itself and reports its own failures.
class Win32ProcessStarter final : public ports::ProcessStarter {
public:
    [[nodiscard]] ports::StartResult startRemoteDesktop(
        const ports::RemoteDesktopCommand& command) override;
};

// The shell's "open" on the URL, owned by the main window.
class ShellBrowser final : public ports::Browser {
public:
    explicit ShellBrowser(HWND owner) : owner_(owner) {}
    void open(std::string_view url) override;

private:
    HWND owner_;
};

}  // namespace corvalis::win32
