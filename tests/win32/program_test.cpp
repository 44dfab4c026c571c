// Corvalis.exe itself, copied with the recording mstsc.exe into a folder whose path has blanks and
// non-ASCII letters, pointed at the loopback control server and driven from outside its process.
#include <gtest/gtest.h>

#include "support.hpp"

namespace corvalis::win32::testing {
namespace {

using app::ControlId;

constexpr wchar_t kWindowClass[] = L"CorvalisFrmCv";
constexpr DWORD kMessageTimeoutMs = 2000;

HWND findProgramWindow(DWORD processId) {
    struct Search {
        DWORD processId;
        HWND found;
    } search{processId, nullptr};
    EnumWindows(
        [](HWND window, LPARAM state) {
            auto* wanted = reinterpret_cast<Search*>(state);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            wchar_t name[64] = {};
            GetClassNameW(window, name, 64);
            if (owner == wanted->processId && std::wstring_view(name) == kWindowClass &&
                IsWindowVisible(window)) {
                wanted->found = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

int controlId(ControlId id) {
    for (std::size_t index = 0; index < app::kControls.size(); ++index) {
        if (app::kControls[index].id == id) {
            return kFirstControlId + static_cast<int>(index);
        }
    }
    return 0;
}

// WM_GETTEXT itself: GetWindowTextW does not ask an edit box of another process.
std::wstring remoteText(HWND window, ControlId id) {
    wchar_t text[512] = {};
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(GetDlgItem(window, controlId(id)), WM_GETTEXT, 512,
                        reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, kMessageTimeoutMs,
                        &ignored);
    return text;
}

void remoteClick(HWND window, ControlId id) {
    const HWND button = GetDlgItem(window, controlId(id));
    PostMessageW(window, WM_COMMAND, MAKEWPARAM(controlId(id), BN_CLICKED),
                 reinterpret_cast<LPARAM>(button));
}

bool waitFor(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

TEST(Program, RunsFromAnAccentedFolderConnectsStartsMstscBesideItAndEnds) {
    TestFolder folder;
    const std::filesystem::path installed = folder.path() / L"Corvalis.exe";
    std::filesystem::copy_file(programFolder() / L"Corvalis.exe", installed);
    std::filesystem::copy_file(programFolder() / L"mstsc.exe", folder.path() / L"mstsc.exe");
    writeBytes(folder.identificationFile(), "acme\r\n");
    const std::filesystem::path record = folder.path().parent_path() / L"mstsc gravado.bin";

    LoopbackControlServer server({true, std::string(kAccessRecord)});
    SetEnvironmentVariableW(L"CORVALIS_CONTROL_SERVER",
                            (L"127.0.0.1:" + std::to_wstring(server.port())).c_str());
    SetEnvironmentVariableW(kRecordVariable.data(), record.c_str());

    std::wstring commandLine = L"\"" + installed.wstring() + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    // Started from elsewhere, so that only its own folder can supply mstsc.exe.
    ASSERT_TRUE(CreateProcessW(installed.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                               nullptr, programFolder().root_path().c_str(), &startup, &process));
    const UniqueKernelHandle processHandle(process.hProcess);
    const UniqueKernelHandle threadHandle(process.hThread);
    SetEnvironmentVariableW(L"CORVALIS_CONTROL_SERVER", nullptr);
    SetEnvironmentVariableW(kRecordVariable.data(), nullptr);

    HWND window = nullptr;
    ASSERT_TRUE(waitFor([&] { return (window = findProgramWindow(process.dwProcessId)); }));
    EXPECT_EQ(windowText(window), L"Corvalis 01.07");
    EXPECT_EQ(remoteText(window, ControlId::IdentInst), L"acme");

    {
        const MessageBoxWatcher boxes(process.dwThreadId);
        remoteClick(window, ControlId::Sistema);
        ASSERT_TRUE(waitFor([&] { return !boxes.seen().empty(); }));
        const SeenMessageBox box = boxes.seen().front();
        EXPECT_EQ(box.title, L"Pelmark");
        EXPECT_EQ(box.text,
                  L"É necessário conectar para atualizar os dados antes de acessar os servidores.");
        EXPECT_EQ(box.buttons, std::vector<std::wstring>{L"OK"});
        EXPECT_FALSE(box.hasIcon);
    }

    remoteClick(window, ControlId::Conectar);
    ASSERT_TRUE(
        waitFor([&] { return remoteText(window, ControlId::Aviso) == L"Conexão Ativada."; }));
    EXPECT_EQ(server.requests(), std::vector<std::string>{"PEL_acme"});

    remoteClick(window, ControlId::Sistema);
    ASSERT_TRUE(waitFor([&] { return std::filesystem::exists(record); }));
    const Recorded started = readRecord(record);
    EXPECT_EQ(started.commandLine,
              L"mstsc.exe \"" + folder.path().wstring() + L"\\Tol-Cloud.rdp\" /V:10.0.0.7:3390");
    EXPECT_EQ(started.showCommand, std::to_wstring(SW_SHOWNORMAL));

    remoteClick(window, ControlId::cbutton3);
    ASSERT_EQ(WaitForSingleObject(process.hProcess, 10'000), WAIT_OBJECT_0);
    DWORD exitCode = 1;
    GetExitCodeProcess(process.hProcess, &exitCode);
    EXPECT_EQ(exitCode, 0u);
    EXPECT_EQ(readBytes(folder.identificationFile()), "acme\r\n");
}

std::string resourceText(HMODULE module, LPCWSTR type, int id) {
    const HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), type);
    if (found == nullptr) {
        return {};
    }
    const auto* bytes = static_cast<const char*>(LockResource(LoadResource(module, found)));
    return std::string(bytes, SizeofResource(module, found));
}

TEST(Program, CarriesVersionIconAndAManifestForCommonControlsAndPerMonitorDpi) {
    const std::filesystem::path exe = programFolder() / L"Corvalis.exe";
    DWORD ignored = 0;
    std::vector<char> version(GetFileVersionInfoSizeW(exe.c_str(), &ignored));
    ASSERT_FALSE(version.empty());
    ASSERT_TRUE(
        GetFileVersionInfoW(exe.c_str(), 0, static_cast<DWORD>(version.size()), version.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(version.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(HIWORD(fixed->dwFileVersionMS), 1);
    EXPECT_EQ(LOWORD(fixed->dwFileVersionMS), 0);
    EXPECT_EQ(HIWORD(fixed->dwFileVersionLS), 0);
    EXPECT_EQ(LOWORD(fixed->dwFileVersionLS), 70);

    const HMODULE module = LoadLibraryExW(
        exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(module, nullptr);
    const std::string manifest = resourceText(module, RT_MANIFEST, 1);
    EXPECT_NE(manifest.find("Microsoft.Windows.Common-Controls"), std::string::npos);
    EXPECT_NE(manifest.find("version=\"6.0.0.0\""), std::string::npos);
    EXPECT_NE(manifest.find("PerMonitorV2"), std::string::npos);
    EXPECT_FALSE(resourceText(module, RT_GROUP_ICON, 1).empty());
    FreeLibrary(module);
}

}  // namespace
}  // namespace corvalis::win32::testing
