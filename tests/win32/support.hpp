#pragma once

#include <windows.h>
#include <winsock2.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "main_window.hpp"

namespace corvalis::win32::testing {

using namespace std::chrono_literals;

inline constexpr auto kPatience = 10s;  // how long a test waits for something that should happen
inline constexpr auto kQuietPeriod = 300ms;  // how long it watches for something that must not

// The greeting and the tail of a refusal, as the control server sends them (Windows-1252).
inline constexpr std::string_view kGreetingBytes = "Conex\xE3o_OK";
inline constexpr std::string_view kRefusalBytes =
    "Erro: N\xE3o foi localizado um registro n\xE3o cancelado.";
inline constexpr std::string_view kAccessRecord = "10.0.0.7|a|b|3390|8080|c|d|e|f";

// A folder under the temporary folder whose name has blanks and non-ASCII letters; removed after.
class TestFolder {
public:
    TestFolder();
    TestFolder(const TestFolder&) = delete;
    TestFolder& operator=(const TestFolder&) = delete;
    ~TestFolder();

    [[nodiscard]] const std::filesystem::path& path() const { return path_; }
    [[nodiscard]] std::filesystem::path identificationFile() const;

private:
    std::filesystem::path path_;
};

[[nodiscard]] std::string readBytes(const std::filesystem::path& file);
[[nodiscard]] std::string utf8(const std::filesystem::path& path);  // as the client takes paths
[[nodiscard]] std::filesystem::path programFolder();  // where this test program and mstsc.exe are

// What the recording mstsc.exe wrote: its command line and the show command it was given.
inline constexpr std::wstring_view kRecordVariable = L"CORVALIS_RECORD_COMMAND_LINE";
struct Recorded {
    std::wstring commandLine;
    std::wstring showCommand;
};
[[nodiscard]] Recorded readRecord(const std::filesystem::path& file);
void writeBytes(const std::filesystem::path& file, std::string_view bytes);

// A control server on 127.0.0.1 run by a thread of the test: it greets (or stays silent), takes
// the request, answers with the scripted reply, and counts what the client does.
struct ServerScript {
    bool greet = true;
    std::string reply;  // empty: no reply at all
};

class LoopbackControlServer {
public:
    explicit LoopbackControlServer(ServerScript script);
    LoopbackControlServer(const LoopbackControlServer&) = delete;
    LoopbackControlServer& operator=(const LoopbackControlServer&) = delete;
    ~LoopbackControlServer();

    [[nodiscard]] link::Endpoint endpoint() const { return {"127.0.0.1", port_}; }
    [[nodiscard]] std::uint16_t port() const { return port_; }
    [[nodiscard]] int connections() const;
    [[nodiscard]] int closedByClient() const;
    [[nodiscard]] std::vector<std::string> requests() const;

private:
    void serve();
    void converse(SOCKET client);

    ServerScript script_;
    UniqueSocket listener_;
    std::uint16_t port_ = 0;
    std::atomic<bool> stopping_{false};
    mutable std::mutex mutex_;
    int connections_ = 0;
    int closedByClient_ = 0;
    std::vector<std::string> requests_;
    std::thread thread_;
};

// Every message box the window's thread shows: read as the user sees it, then closed with OK.
struct SeenMessageBox {
    std::wstring title;
    std::wstring text;
    std::vector<std::wstring> buttons;
    bool hasIcon = false;
    bool ownerVisible = false;
};

class MessageBoxWatcher {
public:
    MessageBoxWatcher();  // this thread's boxes
    explicit MessageBoxWatcher(DWORD windowThread);
    MessageBoxWatcher(const MessageBoxWatcher&) = delete;
    MessageBoxWatcher& operator=(const MessageBoxWatcher&) = delete;
    ~MessageBoxWatcher();

    [[nodiscard]] std::vector<SeenMessageBox> seen() const;

private:
    void watch();

    DWORD windowThread_;
    std::atomic<bool> stopping_{false};
    mutable std::mutex mutex_;
    std::vector<SeenMessageBox> seen_;
    std::thread thread_;
};

// The real frmCV in this process, driven by window messages.
class WindowHarness {
public:
    explicit WindowHarness(MainWindowOptions options);
    WindowHarness(const WindowHarness&) = delete;
    WindowHarness& operator=(const WindowHarness&) = delete;
    ~WindowHarness();

    [[nodiscard]] bool open();
    [[nodiscard]] HWND window() const { return frmCv_->window(); }
    [[nodiscard]] HWND control(app::ControlId id) const { return frmCv_->control(id); }
    [[nodiscard]] std::wstring text(app::ControlId id) const;
    [[nodiscard]] std::wstring caption() const;
    [[nodiscard]] RECT bounds(app::ControlId id) const;  // in client pixels
    [[nodiscard]] bool isShown(app::ControlId id) const;
    [[nodiscard]] int dpi() const { return frmCv_->dpi(); }

    void click(app::ControlId id);
    void type(app::ControlId id, std::wstring_view text);  // as WM_CHAR, one character at a time

    // Dispatches messages (through IsDialogMessageW, like the program's loop) until done() holds.
    bool pumpUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = kPatience);
    void pumpFor(std::chrono::milliseconds period);
    [[nodiscard]] bool quitPosted() const { return quitPosted_; }

private:
    std::unique_ptr<MainWindow> frmCv_;
    bool quitPosted_ = false;
};

[[nodiscard]] std::wstring windowText(HWND window);

[[nodiscard]] inline bool sameRect(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

}  // namespace corvalis::win32::testing
