// What only the Windows front end can get wrong: the adapters through which the core reaches
// Winsock, the window timer, the file system and the shell, each against the real thing; frmCV
// drawn from the core's control table; and Corvalis.exe itself against the reference control
// server, with a recording mstsc.exe. The ReferenceServer tests find the server's port beside this
// program, where the test fixture writes it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>

#include "handles.hpp"
#include "launch/launchers.hpp"
#include "main_window.hpp"
#include "runtime.hpp"
#include "wide_text.hpp"

namespace corvalis::win32 {
namespace {

using app::ControlId;
using app::ControlKind;
constexpr std::chrono::milliseconds kPatience{10'000};  // how long to wait for what should happen
constexpr std::chrono::milliseconds kPoll{10};
constexpr std::chrono::milliseconds kExitBound{300};  // ending takes a few hundredths of a second
constexpr std::chrono::milliseconds kTick{20};
constexpr UINT kSocketMessage = WM_APP + 1;
constexpr UINT kResolvedMessage = WM_APP + 2;

const Runtime runtime;  // Winsock, COM and the common controls, as Corvalis.exe has them
const HWND messages =
    CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);

// An empty folder under the temporary folder whose path has blanks and non-ASCII letters.
std::filesystem::path freshFolder(const std::wstring& name) {
    const auto folder = std::filesystem::temp_directory_path() / name / L"Área de Trabalho Ñandú";
    std::filesystem::remove_all(folder.parent_path());  // what an earlier run left
    std::filesystem::create_directories(folder);
    return folder;
}

std::string readBytes(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// This test program's folder, with mstsc.exe, Corvalis.exe and the control server's port.
std::filesystem::path programFolder() {
    std::wstring path(MAX_PATH * 4, L'\0');
    path.resize(GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
    return std::filesystem::path(path).parent_path();
}

int controlServerPort() {
    return std::stoi(readBytes(programFolder() / "control-server.port"));
}

std::wstring windowText(HWND window) {
    std::wstring text(512, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(window, text.data(), 512)));
    return text;
}

// Dispatches this thread's messages, through IsDialogMessageW as the program's loop does, each one
// shown to observe first, until done() holds or the limit passes.
bool pumpUntil(
    const std::function<bool()>& done, std::chrono::milliseconds limit = kPatience,
    const std::function<void(const MSG&)>& observe = [](const MSG&) {}) {
    for (const auto deadline = std::chrono::steady_clock::now() + limit; !done();
         Sleep(static_cast<DWORD>(kPoll.count()))) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            observe(message);
            const HWND root = GetAncestor(message.hwnd, GA_ROOT);
            if (!root || !IsDialogMessageW(root, &message)) {
                DispatchMessageW(&message);
            }
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
    }
    return true;
}

// The command line, a newline and the show command that the recording mstsc.exe wrote to the file
// that CORVALIS_RECORD_COMMAND_LINE names, once it is there.
std::wstring waitForRecord(const std::filesystem::path& file) {
    pumpUntil([&] { return std::filesystem::exists(file); });
    const std::string bytes = readBytes(file);
    return {reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / sizeof(wchar_t)};
}

TEST(ReferenceServer, WinsockSocketCarriesTheConversationByteForByte) {
    WinsockSocket socket(messages, kSocketMessage, kResolvedMessage);
    std::string received;
    int emptyArrivals = 0;
    const auto observe = [&](const MSG& message) {
        if (message.message == kResolvedMessage) {
            socket.onResolvedMessage(message.wParam, message.lParam);
        } else if (message.message == kSocketMessage &&
                   socket.onSocketMessage(message.wParam, message.lParam)) {
            const std::string data = socket.getData();
            emptyArrivals += data.empty();
            received += data;
        }
    };
    // By name, resolved off this thread; an address with no listener (::1) gives way to the next.
    socket.setRemoteHost("localhost");
    socket.setRemotePort(controlServerPort());
    ASSERT_TRUE(socket.connect());
    ASSERT_TRUE(pumpUntil([&] { return !received.empty(); }, kPatience, observe));
    EXPECT_TRUE(socket.isConnected());
    EXPECT_EQ(received, link::kGreeting);

    received.clear();
    socket.sendData("PEL_acme");  // a byte more or less and the server refuses
    // The server closes after its reply, which is long enough to take more than one read.
    EXPECT_TRUE(pumpUntil([&] { return !socket.isConnected(); }, kPatience, observe));
    EXPECT_EQ("acme=" + received + "\n", readBytes(programFolder() / "control-server.table"));
    EXPECT_EQ(emptyArrivals, 0);
}

TEST(Adapters, WindowTimerRepeatsUntilStopped) {
    WindowTimer timer(messages, 7);
    int expiries = 0;
    int ticks = 0;
    const auto observe = [&](const MSG& message) {
        ticks += message.message == WM_TIMER;
        expiries += message.message == WM_TIMER && timer.isExpiry(message.wParam);
    };
    timer.start(kTick);
    EXPECT_TRUE(pumpUntil([&] { return expiries == 2; }, kPatience, observe));
    timer.stop();
    ticks = 0;
    pumpUntil([] { return false; }, kTick * 10, observe);
    EXPECT_EQ(ticks, 0);
}

TEST(Adapters, FileSystemKeepsTheExactBytesInAnAccentedFolder) {
    const std::filesystem::path folder = freshFolder(L"file system");
    const std::string file = toUtf8((folder / L"pelmark.ini").wstring());
    const std::string taken = file + ".tmp";
    const auto entries = [&] {
        return std::distance(std::filesystem::directory_iterator(folder), {});
    };
    Win32FileSystem files;
    EXPECT_EQ(files.readOrCreate(file, 64), std::optional<std::string>(""));
    EXPECT_EQ(entries(), 1);  // created
    ASSERT_TRUE(files.replace(file, "a\xE7\xE3o\r\nmais\r\n"));
    EXPECT_EQ(files.readOrCreate(file, 64), std::optional<std::string>("a\xE7\xE3o\r\nmais\r\n"));
    EXPECT_EQ(files.readOrCreate(file, 4), std::optional<std::string>("a\xE7\xE3o"));
    EXPECT_EQ(entries(), 1);  // no temporary file left
    // A folder where the temporary file would go: the file is rewritten in place; the folder
    // itself can be neither read nor replaced.
    std::filesystem::create_directory(folder / L"pelmark.ini.tmp");
    EXPECT_TRUE(files.replace(file, "nova\r\n"));
    EXPECT_EQ(files.readOrCreate(file, 64), std::optional<std::string>("nova\r\n"));
    EXPECT_EQ(files.readOrCreate(taken, 64), std::nullopt);
    EXPECT_FALSE(files.replace(taken, "x"));
}

TEST(Adapters, ShellBrowserOpensTheUrlWithTheHttpHandler) {
    // Wine's shell takes the handler from the machine's classes: in this build's own Wine prefix,
    // the recorder from now on.
    const std::wstring handler = L"\"" + (programFolder() / L"mstsc.exe").wstring() + L"\" \"%1\"";
    ASSERT_EQ(RegSetKeyValueW(HKEY_LOCAL_MACHINE, L"Software\\Classes\\http\\shell\\open\\command",
                              nullptr, REG_SZ, handler.c_str(),
                              static_cast<DWORD>((handler.size() + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);
    const std::filesystem::path record = freshFolder(L"browser") / L"navegador.bin";
    SetEnvironmentVariableW(L"CORVALIS_RECORD_COMMAND_LINE", record.c_str());
    ShellBrowser(nullptr).open("http://127.0.0.1:8080/lumo");
    const std::wstring started = waitForRecord(record);
    EXPECT_NE(started.find(L" \"http://127.0.0.1:8080/lumo\"\n"), std::wstring::npos) << started;
}

std::vector<std::multiset<std::wstring>> boxes;  // the title and the visible texts of each box

// Reads each message box of this thread as the user sees it, then closes it with OK.
LRESULT CALLBACK readAndCloseBox(int code, WPARAM wParam, LPARAM lParam) {
    const auto dialog = reinterpret_cast<HWND>(wParam);
    wchar_t kind[8] = {};
    if (code == HCBT_ACTIVATE && GetClassNameW(dialog, kind, 8) &&
        kind == std::wstring(L"#32770")) {
        boxes.push_back({windowText(dialog)});
        for (HWND part = GetWindow(dialog, GW_CHILD); part; part = GetWindow(part, GW_HWNDNEXT)) {
            const bool icon = SendMessageW(part, STM_GETICON, 0, 0) != 0;
            if ((GetWindowLongPtrW(part, GWL_STYLE) & WS_VISIBLE) &&
                (icon || windowText(part) != L"")) {
                boxes.back().insert(icon ? L"(icon)" : windowText(part));
            }
        }
        PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}
const HHOOK boxReader = SetWindowsHookExW(WH_CBT, readAndCloseBox, nullptr, GetCurrentThreadId());

std::unique_ptr<MainWindow> openWindow(const wchar_t* name) {
    auto frm = std::make_unique<MainWindow>(MainWindowOptions{
        toUtf8(freshFolder(name).wstring()), {"127.0.0.1", 9}, link::kDefaultTimeout});
    EXPECT_TRUE(frm->create(SW_SHOWNORMAL));
    return frm;
}

// Every control where the table puts it at this DPI, with its text, font and visibility.
void expectTable(const MainWindow& frm, int dpi) {
    const auto pixels = [dpi](int twips) { return app::twipsToPixels(twips, dpi); };
    RECT rect{};
    GetClientRect(frm.window(), &rect);
    EXPECT_EQ(rect.right, pixels(app::kClientWidth));
    EXPECT_EQ(rect.bottom, pixels(app::kClientHeight));
    for (const app::ControlDefinition& definition : app::kControls) {
        SCOPED_TRACE(std::string(definition.name));
        const HWND control = frm.control(definition.id);
        GetWindowRect(control, &rect);
        MapWindowPoints(HWND_DESKTOP, frm.window(), reinterpret_cast<POINT*>(&rect), 2);
        EXPECT_EQ((std::vector<LONG>{rect.left, rect.top, rect.right - rect.left,
                                     rect.bottom - rect.top}),
                  (std::vector<LONG>{pixels(definition.left), pixels(definition.top),
                                     pixels(definition.width), pixels(definition.height)}));
        EXPECT_EQ(IsWindowVisible(control) != FALSE, definition.visible);
        const bool picture = definition.kind == ControlKind::Picture;
        EXPECT_EQ(windowText(control),
                  toWide(picture ? definition.accessibleName : definition.text));
        if (picture) {
            continue;  // drawn, not written
        }
        LOGFONTW font{};
        GetObjectW(reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)), sizeof(font),
                   &font);
        EXPECT_EQ(font.lfFaceName, toWide(app::kFont.family));
        EXPECT_EQ(font.lfHeight, static_cast<LONG>(-app::kFont.pointSize * dpi / 72 - 0.5));
        EXPECT_EQ(font.lfWeight, app::kFont.bold ? FW_BOLD : FW_NORMAL);
    }
}

TEST(Window, DrawsTheControlTableTabsInItsFocusOrderAndRedrawsItAtANewDpi) {
    const auto frm = openWindow(L"table");
    expectTable(*frm, frm->dpi());
    const LONG_PTR style = GetWindowLongPtrW(frm->window(), GWL_STYLE);
    EXPECT_EQ(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME), 0);
    const std::vector<ControlId> order = app::focusOrder();
    for (std::size_t step = 0; step <= order.size(); ++step) {
        const HWND next = frm->control(order[step % order.size()]);
        EXPECT_TRUE(pumpUntil([&] { return GetFocus() == next; })) << step;
        PostMessageW(next, WM_KEYDOWN, VK_TAB, 0);
    }

    constexpr int kDpi = 144;  // a monitor at 150 %
    RECT suggested{};
    GetWindowRect(frm->window(), &suggested);
    SendMessageW(frm->window(), WM_DPICHANGED, MAKEWPARAM(kDpi, kDpi),
                 reinterpret_cast<LPARAM>(&suggested));
    expectTable(*frm, kDpi);
    EXPECT_TRUE(boxes.empty());
}

TEST(Window, EnterMovesOnFromTheBoxClicksAFocusedButtonAndBoxesAreTheApplications) {
    const auto frm = openWindow(L"enter");
    // A key press for the box, which the core answers by moving on to Conectar.
    SetFocus(frm->control(ControlId::IdentInst));
    PostMessageW(GetFocus(), WM_KEYDOWN, VK_RETURN, 0x001C0001);
    EXPECT_TRUE(pumpUntil([&] { return GetFocus() == frm->control(ControlId::Conectar); }));
    // Not connected: Lumo says so in a message box.
    SetFocus(frm->control(ControlId::Lumo));
    PostMessageW(GetFocus(), WM_KEYDOWN, VK_RETURN, 0x001C0001);
    EXPECT_TRUE(pumpUntil([&] { return !boxes.empty(); }));
    EXPECT_EQ(boxes,
              (std::vector<std::multiset<std::wstring>>{
                  {toWide(app::kApplicationTitle), toWide(launch::kNotConnectedMessage), L"OK"}}));
}

// Corvalis.exe in a folder of its own, started from elsewhere so that only its folder can supply
// pelmark.ini and mstsc.exe, driven from outside its process.
TEST(ReferenceServer, CorvalisExeConnectsAndStartsMstscBesideIt) {
    const std::filesystem::path folder = freshFolder(L"program");
    const std::filesystem::path record = folder.parent_path() / L"mstsc gravado.bin";
    for (const wchar_t* name : {L"Corvalis.exe", L"mstsc.exe"}) {
        std::filesystem::copy_file(programFolder() / name, folder / name);
    }
    std::ofstream(folder / L"pelmark.ini", std::ios::binary) << "acme\r\n";
    SetEnvironmentVariableW(L"CORVALIS_CONTROL_SERVER",
                            (L"127.0.0.1:" + std::to_wstring(controlServerPort())).c_str());
    SetEnvironmentVariableW(L"CORVALIS_RECORD_COMMAND_LINE", record.c_str());
    SetCurrentDirectoryW(programFolder().root_path().c_str());
    const intptr_t started =
        _wspawnl(_P_NOWAIT, (folder / L"Corvalis.exe").c_str(), L"Corvalis.exe", nullptr);
    ASSERT_NE(started, -1);
    const UniqueKernelHandle process(reinterpret_cast<HANDLE>(started));
    HWND window = nullptr;
    const auto control = [&](ControlId id) {
        return GetDlgItem(window, kFirstControlId + static_cast<int>(app::controlIndex(id)));
    };
    const auto click = [&](ControlId id) { PostMessageW(control(id), BM_CLICK, 0, 0); };
    EXPECT_TRUE(pumpUntil([&] {
        DWORD owner = 0;
        GetWindowThreadProcessId(window = FindWindowW(L"CorvalisFrmCv", nullptr), &owner);
        return owner == GetProcessId(process.get()) && IsWindowVisible(window);
    }));

    click(ControlId::Conectar);
    EXPECT_TRUE(pumpUntil([&] { return IsWindowVisible(control(ControlId::sinalVerde)); }));
    EXPECT_FALSE(IsWindowVisible(control(ControlId::sinalVermelho)));
    EXPECT_EQ(windowText(control(ControlId::Aviso)), L"Conexão Ativada.");
    click(ControlId::Sistema);
    EXPECT_EQ(waitForRecord(record), L"mstsc.exe \"" + folder.wstring() +
                                         L"\\Tol-Cloud.rdp\" /V:127.0.0.1:3390\n" +
                                         std::to_wstring(SW_SHOWNORMAL));

    // Sair ends the process at once: a window left waiting to be withdrawn kept it for seconds.
    const auto clicked = std::chrono::steady_clock::now();
    click(ControlId::cbutton3);
    EXPECT_EQ(WaitForSingleObject(process.get(), static_cast<DWORD>(kPatience.count())),
              WAIT_OBJECT_0);
    EXPECT_LT(std::chrono::steady_clock::now() - clicked, kExitBound);
    TerminateProcess(process.get(), 1);  // only when a step above failed
}

}  // namespace
}  // namespace corvalis::win32
