// Sair ends Corvalis.exe at once, watched from outside its process: with no connection, and with
// one that the server has taken into its backlog but not greeted.
#include <gtest/gtest.h>

#include "support.hpp"

namespace corvalis::win32::testing {
namespace {

using app::ControlId;

// Generous beside the few hundredths of a second that ending takes.
constexpr std::chrono::milliseconds kExitBound{300};

HWND windowOf(DWORD processId) {
    HWND window = nullptr;
    while ((window = FindWindowExW(nullptr, window, L"CorvalisFrmCv", nullptr)) != nullptr) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner == processId) {
            return window;
        }
    }
    return nullptr;
}

void click(HWND window, ControlId id) {
    const int control = kFirstControlId + static_cast<int>(app::controlIndex(id));
    PostMessageW(window, WM_COMMAND, MAKEWPARAM(control, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(window, control)));
}

TEST(Program, SairEndsTheProcessAtOnceIdleOrWhileConnecting) {
    const UniqueSocket silentServer(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof(address);
    ASSERT_EQ(bind(silentServer.get(), reinterpret_cast<sockaddr*>(&address), length), 0);
    ASSERT_EQ(listen(silentServer.get(), 1), 0);
    getsockname(silentServer.get(), reinterpret_cast<sockaddr*>(&address), &length);

    for (const bool connecting : {false, true}) {
        SCOPED_TRACE(connecting ? "while connecting" : "idle");
        TestFolder folder;
        const std::filesystem::path installed = folder.path() / L"Corvalis.exe";
        std::filesystem::copy_file(programFolder() / L"Corvalis.exe", installed);
        writeBytes(folder.identificationFile(), "acme\r\n");
        SetEnvironmentVariableW(L"CORVALIS_CONTROL_SERVER",
                                (L"127.0.0.1:" + std::to_wstring(ntohs(address.sin_port))).c_str());
        std::wstring commandLine = L"\"" + installed.wstring() + L"\"";
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION process{};
        ASSERT_TRUE(CreateProcessW(installed.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                                   0, nullptr, nullptr, &startup, &process));
        SetEnvironmentVariableW(L"CORVALIS_CONTROL_SERVER", nullptr);
        const UniqueKernelHandle processHandle(process.hProcess);
        const UniqueKernelHandle threadHandle(process.hThread);
        constexpr DWORD kPatienceMs = std::chrono::milliseconds(kPatience).count();
        ASSERT_EQ(WaitForInputIdle(process.hProcess, kPatienceMs), 0u);
        const HWND window = windowOf(process.dwProcessId);
        ASSERT_NE(window, nullptr);

        if (connecting) {
            click(window, ControlId::Conectar);
            fd_set waiting;
            FD_ZERO(&waiting);
            FD_SET(silentServer.get(), &waiting);
            timeval patience{static_cast<long>(kPatience.count()), 0};
            ASSERT_EQ(select(0, &waiting, nullptr, nullptr, &patience), 1);
        }
        const auto clicked = std::chrono::steady_clock::now();
        click(window, ControlId::cbutton3);
        ASSERT_EQ(WaitForSingleObject(process.hProcess, kPatienceMs), WAIT_OBJECT_0);
        EXPECT_LT(std::chrono::steady_clock::now() - clicked, kExitBound);
        DWORD exitCode = 1;
        GetExitCodeProcess(process.hProcess, &exitCode);
        EXPECT_EQ(exitCode, 0u);
    }
}

}  // namespace
}  // namespace corvalis::win32::testing
