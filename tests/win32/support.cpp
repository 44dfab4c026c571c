#include "support.hpp"

#include <ws2tcpip.h>

#include <fstream>
#include <iterator>

#include "wide_text.hpp"

namespace corvalis::win32::testing {
namespace {

constexpr auto kPollInterval = 10ms;
constexpr timeval kServerPoll{0, 50'000};

bool readable(SOCKET socket) {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(socket, &set);
    timeval wait = kServerPoll;
    return select(0, &set, nullptr, nullptr, &wait) > 0;
}

std::wstring className(HWND window) {
    std::wstring name(256, L'\0');
    name.resize(static_cast<std::size_t>(
        GetClassNameW(window, name.data(), static_cast<int>(name.size()))));
    return name;
}

std::atomic<int> folderSerial{0};

}  // namespace

std::wstring windowText(HWND window) {
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

TestFolder::TestFolder() {
    std::wstring temporary(MAX_PATH + 1, L'\0');
    temporary.resize(GetTempPathW(static_cast<DWORD>(temporary.size()), temporary.data()));
    path_ = std::filesystem::path(temporary) /
            (L"Área de Trabalho " + std::to_wstring(GetCurrentProcessId()) + L"-" +
             std::to_wstring(++folderSerial)) /
            L"Cliente Ação Ñandú";
    std::filesystem::create_directories(path_);
}

TestFolder::~TestFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_.parent_path(), ignored);
}

std::string utf8(const std::filesystem::path& path) {
    return toUtf8(path.wstring());
}

std::filesystem::path TestFolder::identificationFile() const {
    return path_ / L"pelmark.ini";
}

std::string readBytes(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeBytes(const std::filesystem::path& file, std::string_view bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::filesystem::path programFolder() {
    std::wstring path(32768, L'\0');
    path.resize(GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
    return std::filesystem::path(path).parent_path();
}

Recorded readRecord(const std::filesystem::path& file) {
    const std::string bytes = readBytes(file);
    const std::wstring record(reinterpret_cast<const wchar_t*>(bytes.data()),
                              bytes.size() / sizeof(wchar_t));
    const std::size_t end = record.find(L'\0');
    return {record.substr(0, end), end == std::wstring::npos ? L"" : record.substr(end + 1)};
}

LoopbackControlServer::LoopbackControlServer(ServerScript script)
    : script_(std::move(script)), listener_(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP)) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof(address);
    if (bind(listener_.get(), reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        listen(listener_.get(), SOMAXCONN) != 0 ||
        getsockname(listener_.get(), reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        return;
    }
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { serve(); });
}

LoopbackControlServer::~LoopbackControlServer() {
    stopping_ = true;
    if (thread_.joinable()) {
        thread_.join();
    }
}

int LoopbackControlServer::connections() const {
    const std::lock_guard lock(mutex_);
    return connections_;
}

int LoopbackControlServer::closedByClient() const {
    const std::lock_guard lock(mutex_);
    return closedByClient_;
}

std::vector<std::string> LoopbackControlServer::requests() const {
    const std::lock_guard lock(mutex_);
    return requests_;
}

void LoopbackControlServer::serve() {
    while (!stopping_) {
        if (!readable(listener_.get())) {
            continue;
        }
        const UniqueSocket client(accept(listener_.get(), nullptr, nullptr));
        if (client) {
            converse(client.get());
        }
    }
}

// The request is whatever arrived once the client has gone quiet: the protocol has no framing.
void LoopbackControlServer::converse(SOCKET client) {
    {
        const std::lock_guard lock(mutex_);
        ++connections_;
    }
    if (script_.greet) {
        send(client, kGreetingBytes.data(), static_cast<int>(kGreetingBytes.size()), 0);
    }
    std::string received;
    bool answered = false;
    while (!stopping_) {
        if (!readable(client)) {
            if (!received.empty() && !answered) {
                answered = true;
                {
                    const std::lock_guard lock(mutex_);
                    requests_.push_back(received);
                }
                if (!script_.reply.empty()) {
                    send(client, script_.reply.data(), static_cast<int>(script_.reply.size()), 0);
                }
            }
            continue;
        }
        char chunk[512];
        const int count = recv(client, chunk, sizeof(chunk), 0);
        if (count > 0) {
            received.append(chunk, static_cast<std::size_t>(count));
            continue;
        }
        if (count == 0) {
            const std::lock_guard lock(mutex_);
            ++closedByClient_;
        }
        return;
    }
}

MessageBoxWatcher::MessageBoxWatcher() : MessageBoxWatcher(GetCurrentThreadId()) {}

MessageBoxWatcher::MessageBoxWatcher(DWORD windowThread)
    : windowThread_(windowThread), thread_([this] { watch(); }) {}

MessageBoxWatcher::~MessageBoxWatcher() {
    stopping_ = true;
    thread_.join();
}

std::vector<SeenMessageBox> MessageBoxWatcher::seen() const {
    const std::lock_guard lock(mutex_);
    return seen_;
}

void MessageBoxWatcher::watch() {
    while (!stopping_) {
        std::vector<HWND> dialogs;
        EnumThreadWindows(
            windowThread_,
            [](HWND window, LPARAM found) {
                if (className(window) == L"#32770" && IsWindowVisible(window)) {
                    reinterpret_cast<std::vector<HWND>*>(found)->push_back(window);
                }
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&dialogs));
        for (const HWND dialog : dialogs) {
            SeenMessageBox box;
            box.title = windowText(dialog);
            const HWND owner = GetWindow(dialog, GW_OWNER);
            box.ownerVisible = owner != nullptr && IsWindowVisible(owner);
            HWND okButton = nullptr;
            for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr;
                 child = GetWindow(child, GW_HWNDNEXT)) {
                if (!IsWindowVisible(child)) {
                    continue;
                }
                const std::wstring kind = className(child);
                const LONG_PTR style = GetWindowLongPtrW(child, GWL_STYLE);
                if (kind == L"Static" && (style & SS_TYPEMASK) == SS_ICON) {
                    box.hasIcon = box.hasIcon || SendMessageW(child, STM_GETICON, 0, 0) != 0;
                } else if (kind == L"Static") {
                    box.text += windowText(child);
                } else if (kind == L"Button") {
                    box.buttons.push_back(windowText(child));
                    okButton = GetDlgCtrlID(child) == IDOK ? child : okButton;
                }
            }
            {
                const std::lock_guard lock(mutex_);
                seen_.push_back(box);
            }
            if (okButton != nullptr) {
                PostMessageW(okButton, BM_CLICK, 0, 0);
            } else {
                PostMessageW(dialog, WM_CLOSE, 0, 0);
            }
            const auto deadline = std::chrono::steady_clock::now() + kPatience;
            while (IsWindow(dialog) && IsWindowVisible(dialog) &&
                   std::chrono::steady_clock::now() < deadline) {
                std::this_thread::sleep_for(kPollInterval);
            }
        }
        std::this_thread::sleep_for(kPollInterval);
    }
}

WindowHarness::WindowHarness(MainWindowOptions options)
    : frmCv_(std::make_unique<MainWindow>(std::move(options))) {}

WindowHarness::~WindowHarness() {
    frmCv_.reset();
    // The window's end posts WM_QUIT; it must not end the next test's message boxes.
    MSG quit;
    while (PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
}

bool WindowHarness::open() {
    return frmCv_->create(SW_SHOWNORMAL);
}

std::wstring WindowHarness::text(app::ControlId id) const {
    return windowText(control(id));
}

std::wstring WindowHarness::caption() const {
    return windowText(window());
}

RECT WindowHarness::bounds(app::ControlId id) const {
    RECT rect{};
    GetWindowRect(control(id), &rect);
    MapWindowPoints(HWND_DESKTOP, window(), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

bool WindowHarness::isShown(app::ControlId id) const {
    return (GetWindowLongPtrW(control(id), GWL_STYLE) & WS_VISIBLE) != 0;
}

void WindowHarness::click(app::ControlId id) {
    const HWND button = control(id);
    SendMessageW(window(), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED),
                 reinterpret_cast<LPARAM>(button));
}

void WindowHarness::type(app::ControlId id, std::wstring_view text) {
    for (const wchar_t character : text) {
        SendMessageW(control(id), WM_CHAR, character, 1);
    }
}

bool WindowHarness::pumpUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                quitPosted_ = true;
                continue;
            }
            if (window() == nullptr || !IsDialogMessageW(window(), &message)) {
                TranslateMessage(&message);
                DispatchMessageW(&message);
            }
        }
        if (done()) {
            return true;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(kPollInterval.count()),
                                    QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    }
}

void WindowHarness::pumpFor(std::chrono::milliseconds period) {
    pumpUntil([] { return false; }, period);
}

}  // namespace corvalis::win32::testing
