#include "win32_launchers.hpp"

#include <shellapi.h>

#include "handles.hpp"
#include "wide_text.hpp"

namespace corvalis::win32 {

ports::StartResult Win32ProcessStarter::startRemoteDesktop(
    const ports::RemoteDesktopCommand& command) {
    // CreateProcessW may write into the command line, so it gets a copy of its own.
    std::wstring commandLine = toWide(command.commandLine);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        return ports::StartResult::NotStarted;
    }
    const UniqueKernelHandle processHandle(process.hProcess);
    const UniqueKernelHandle threadHandle(process.hThread);
    return ports::StartResult::Started;
}

void ShellBrowser::open(std::string_view url) {
    ShellExecuteW(owner_, L"open", toWide(url).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

}  // namespace corvalis::win32
