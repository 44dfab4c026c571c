// What only the Windows front end can get wrong: the adapters through which the core reaches
// Winsock, the window timer and the file system, each against the real thing; frmCV drawn from the
// core's control table; and Corvalis.exe itself against the reference control server, with a
// recording mstsc.exe. The ReferenceServer tests find the server's port and table beside this
// program, where the test fixture writes them. Wine runs one test program at a time.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>

#include "dpi.hpp"
#include "main_window.hpp"
#include "runtime.hpp"
#include "wide_text.hpp"

namespace corvalis::win32 {
namespace {

using app::ControlId;
constexpr std::chrono::milliseconds kPatience{10'000};  // how long to wait for what should happen
constexpr std::chrono::milliseconds kTick{20};

const Runtime runtime;  // Winsock, COM and the common controls, as Corvalis.exe has them
const std::filesystem::path here = toWide(applicationFolder());  // with mstsc.exe, Corvalis.exe

std::string readBytes(const std::filesystem::path& file) {
    return {std::istreambuf_iterator<char>(std::ifstream(file, std::ios::binary).rdbuf()), {}};
}

// An empty folder under the temporary folder whose path has blanks and non-ASCII letters.
std::filesystem::path freshFolder(const std::wstring& name) {
    const auto folder = std::filesystem::temp_directory_path() / name / L"Área de Trabalho Ñandú";
    std::filesystem::remove_all(folder.parent_path());  // what an earlier run left
    std::filesystem::create_directories(folder);
    return folder;
}

// Asked of the window itself, which answers for windows of other programs too.
std::wstring windowText(HWND window) {
    wchar_t text[512] = {};
    SendMessageW(window, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text));
    return text;
}

// Dispatches this thread's messages, each one shown to observe first, until done() holds or the
// limit passes.
bool pumpUntil(
    const std::function<bool()>& done,
    const std::function<void(const MSG&)>& observe = [](auto&) {},
    std::chrono::milliseconds limit = kPatience) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (MSG message; !done() && std::chrono::steady_clock::now() < deadline; Sleep(10)) {
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            observe(message);
            DispatchMessageW(&message);
        }
    }
    return done();
}

// The socket and the timer side by side on this thread, as frmCV has them: the timer ticks on
// while the conversation goes on, and not once after it is stopped.
TEST(ReferenceServer, WinsockSocketCarriesTheConversationByteForByteBesideTheWindowTimer) {
    WinsockSocket socket;
    WindowTimer timer;
    std::string received;
    int ticks = 0, expiries = 0;
    socket.setCallback([&] {
        const std::string data = socket.getData();
        received += data.empty() ? "(an arrival with nothing to read)" : data;
    });
    timer.setCallback([&] { ++expiries; });
    const auto observe = [&](const MSG& message) { ticks += message.message == WM_TIMER; };
    timer.start(kTick);
    // By name, resolved off this thread; an address with no listener (::1) gives way to the next.
    socket.setRemoteHost("localhost");
    socket.setRemotePort(std::stoi(readBytes(here / "control-server.port")));
    ASSERT_TRUE(socket.connect());
    ASSERT_TRUE(pumpUntil([&] { return received == link::kGreeting; }, observe)) << received;
    received.clear();
    socket.sendData("PEL_acme");  // a byte more or less and the server refuses
    // The server closes after its reply, which is long enough to take more than one read.
    EXPECT_TRUE(pumpUntil([&] { return !socket.isConnected() && expiries >= 2; }, observe));
    EXPECT_EQ("acme=" + received + "\n", readBytes(here / "control-server.table"));
    timer.stop();
    EXPECT_FALSE(pumpUntil([&] { return ticks > expiries; }, observe, kTick * 10));
}

TEST(Adapters, FileSystemKeepsTheExactBytesInAnAccentedFolder) {
    const std::filesystem::path folder = freshFolder(L"file system");
    const std::string file = toUtf8((folder / L"pelmark.ini").wstring());
    Win32FileSystem files;
    ASSERT_TRUE(files.replace(file, "a\xE7\xE3o\r\nmais\r\n"));
    EXPECT_EQ(files.readOrCreate(file, 64), std::optional<std::string>("a\xE7\xE3o\r\nmais\r\n"));
    EXPECT_EQ(files.readOrCreate(file, 4), std::optional<std::string>("a\xE7\xE3o"));
    // A read-only file keeps its bytes.
    SetFileAttributesW(toWide(file).c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_FALSE(files.replace(file, "x"));
    EXPECT_EQ(files.readOrCreate(file, 4), std::optional<std::string>("a\xE7\xE3o"));
    SetFileAttributesW(toWide(file).c_str(), FILE_ATTRIBUTE_NORMAL);  // for the next run to remove
    // A folder where a file is asked for can be neither read nor replaced.
    EXPECT_EQ(files.readOrCreate(toUtf8(folder.wstring()), 64), std::nullopt);
    EXPECT_FALSE(files.replace(toUtf8(folder.wstring()), "x"));
    // Neither replacement leaves a temporary file behind.
    EXPECT_EQ(std::distance(std::filesystem::recursive_directory_iterator(folder / L".."), {}), 2);
}

// Every control where the table puts it, with its visibility, text and font: at the DPI the window
// opens with, then after a change to a monitor at 150 %.
TEST(Window, DrawsTheControlTableAndRedrawsItAtANewDpi) {
    MainWindow frm({toUtf8(freshFolder(L"window").wstring()), {"127.0.0.1", 9}});
    ASSERT_TRUE(frm.create(SW_SHOWNORMAL));
    for (const int dpi : {windowDpi(frm.window()), 144}) {
        const auto pixels = [dpi](int twips) { return app::twipsToPixels(twips, dpi); };
        RECT rect{};
        GetClientRect(frm.window(), &rect);
        EXPECT_EQ(rect.right, pixels(app::kClientWidth)) << dpi << " dpi";
        EXPECT_EQ(rect.bottom, pixels(app::kClientHeight)) << dpi << " dpi";
        for (const app::ControlDefinition& row : app::kControls) {
            const HWND control = frm.control(row.id);
            GetWindowRect(control, &rect);
            MapWindowPoints(HWND_DESKTOP, frm.window(), reinterpret_cast<POINT*>(&rect), 2);
            LOGFONTW font{};
            GetObjectW(reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)),
                       sizeof(font), &font);
            const bool picture = row.kind == app::ControlKind::Picture;
            EXPECT_EQ(
                std::tuple(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
                           std::wstring(font.lfFaceName), font.lfWeight, font.lfHeight,
                           IsWindowVisible(control) != FALSE, windowText(control)),
                std::tuple(pixels(row.left), pixels(row.top), pixels(row.width), pixels(row.height),
                           toWide(app::kFont.family), app::kFont.bold ? FW_BOLD : FW_NORMAL,
                           static_cast<LONG>(-app::kFont.pointSize * dpi / 72 - 0.5), row.visible,
                           toWide(picture ? row.accessibleName : row.text)))
                << row.name << " at " << dpi << " dpi";
        }
        const RECT suggested{};
        SendMessageW(frm.window(), WM_DPICHANGED, MAKEWPARAM(144, 144),
                     reinterpret_cast<LPARAM>(&suggested));
    }
}

// Each status reaches screen readers as a change of the status label, a live region, raised once
// the label holds the new text. Nothing listens on port 9: the attempt ends in a time-out.
TEST(Window, AnnouncesEachStatusAsALiveRegionChange) {
    static std::vector<std::tuple<HWND, LONG, LONG, std::wstring>> changes;
    const HWINEVENTHOOK hook = SetWinEventHook(
        EVENT_OBJECT_LIVEREGIONCHANGED, EVENT_OBJECT_LIVEREGIONCHANGED, GetModuleHandleW(nullptr),
        [](HWINEVENTHOOK, DWORD, HWND label, LONG object, LONG child, DWORD, DWORD) {
            changes.emplace_back(label, object, child, windowText(label));
        },
        GetCurrentProcessId(), 0, WINEVENT_INCONTEXT);
    MainWindow frm({toUtf8(freshFolder(L"live region").wstring()), {"127.0.0.1", 9}, kTick});
    ASSERT_TRUE(frm.create(SW_SHOWNORMAL));
    SetWindowTextW(frm.control(ControlId::IdentInst), L"acme");
    SendMessageW(frm.control(ControlId::Conectar), BM_CLICK, 0, 0);
    EXPECT_TRUE(pumpUntil([] { return changes.size() >= 2; }));
    const HWND aviso = frm.control(ControlId::Aviso);
    changes.resize(2);
    EXPECT_EQ(changes, (decltype(changes){
                           {aviso, OBJID_CLIENT, CHILDID_SELF, toWide(link::kStatusConnecting)},
                           {aviso, OBJID_CLIENT, CHILDID_SELF, toWide(link::kStatusTimeout)}}));
    UnhookWinEvent(hook);
}

// Corvalis.exe copied into a folder of its own and started from outside it (the current folder
// stays this program's): pelmark.ini, and the record that the recording mstsc.exe writes beside
// itself, land in that folder only if Corvalis.exe looks there. It is driven from outside its
// process through the keyboard state that this thread shares with it.
TEST(ReferenceServer, CorvalisExeTakesKeysConnectsStartsMstscAndEndsOnSair) {
    const std::filesystem::path folder = freshFolder(L"program");
    const std::filesystem::path ini = folder / L"pelmark.ini";
    std::filesystem::copy_file(here / L"Corvalis.exe", folder / L"Corvalis.exe");
    std::filesystem::copy_file(here / L"mstsc.exe", folder / L"mstsc.exe");
    const std::wstring server = L"127.0.0.1:" + toWide(readBytes(here / "control-server.port"));
    SetEnvironmentVariableW(L"CORVALIS_CONTROL_SERVER", server.c_str());
    const UniqueKernelHandle process(reinterpret_cast<HANDLE>(
        _wspawnl(_P_NOWAIT, (folder / L"Corvalis.exe").c_str(), L"Corvalis.exe", nullptr)));
    HWND window = nullptr;
    ASSERT_TRUE(pumpUntil(
        [&] { return IsWindowVisible(window = FindWindowW(L"CorvalisFrmCv", nullptr)); }));
    EXPECT_TRUE(std::filesystem::exists(ini) && readBytes(ini).empty());  // made as it starts
    AttachThreadInput(GetCurrentThreadId(), GetWindowThreadProcessId(window, nullptr), TRUE);
    const auto item = [&](ControlId id) { return GetDlgItem(window, kFirstControlId + int(id)); };

    // The focus starts on the first control of the focus order; Tab leads round to it again.
    for (const ControlId id : app::focusOrder()) {
        EXPECT_TRUE(pumpUntil([&] { return GetFocus() == item(id); }));
        PostMessageW(GetFocus(), WM_KEYDOWN, VK_TAB, 0);
    }
    EXPECT_TRUE(pumpUntil([&] { return GetFocus() == item(app::focusOrder().front()); }));
    // Typed into the box in capitals, then Enter, which moves on to Conectar.
    SetFocus(item(ControlId::IdentInst));
    for (const wchar_t key : std::wstring_view(L"ACME")) PostMessageW(GetFocus(), WM_CHAR, key, 0);
    PostMessageW(GetFocus(), WM_KEYDOWN, VK_RETURN, 0x001C0001);  // with Enter's scan code
    EXPECT_TRUE(pumpUntil([&] { return GetFocus() == item(ControlId::Conectar); }));
    // Enter on a button clicks it: Lumo, not connected yet, says so in a message box.
    SetFocus(item(ControlId::Lumo));
    PostMessageW(GetFocus(), WM_KEYDOWN, VK_RETURN, 0x001C0001);  // with Enter's scan code
    HWND box = nullptr;
    EXPECT_TRUE(pumpUntil([&] { return IsWindowVisible(box = FindWindowW(L"#32770", nullptr)); }));
    std::multiset<std::wstring> seen{windowText(box)};
    for (HWND part = GetWindow(box, GW_CHILD); part; part = GetWindow(part, GW_HWNDNEXT)) {
        seen.insert(SendMessageW(part, STM_GETICON, 0, 0) ? L"(icon)" : windowText(part));
    }
    seen.erase(L"");  // an empty place where an icon would go
    EXPECT_EQ(seen, (std::multiset<std::wstring>{toWide(app::kApplicationTitle),
                                                 toWide(launch::kNotConnectedMessage), L"OK"}));
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    // Conectar puts the identification in the form the server knows, in the box and in pelmark.ini.
    PostMessageW(item(ControlId::Conectar), BM_CLICK, 0, 0);
    EXPECT_TRUE(pumpUntil([&] { return IsWindowVisible(item(ControlId::sinalVerde)); }));
    EXPECT_EQ(windowText(item(ControlId::Aviso)), L"Conexão Ativada.");
    EXPECT_EQ(readBytes(ini), "acme\r\n");
    // A new DPI keeps the green light where the red one was.
    const RECT suggested{};
    SendMessageW(window, WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&suggested));
    RECT lights[2] = {};
    GetWindowRect(item(ControlId::sinalVerde), &lights[0]);
    GetWindowRect(item(ControlId::sinalVermelho), &lights[1]);
    EXPECT_TRUE(EqualRect(&lights[0], &lights[1]));

    PostMessageW(item(ControlId::Sistema), BM_CLICK, 0, 0);
    EXPECT_TRUE(pumpUntil([&] { return std::filesystem::exists(folder / L"mstsc.exe.record"); }));
    // The recorder's command line and the show command it was given.
    const std::string started = readBytes(folder / L"mstsc.exe.record");
    EXPECT_EQ(std::wstring(reinterpret_cast<const wchar_t*>(started.data()), started.size() / 2),
              L"mstsc.exe \"" + folder.wstring() + L"\\Tol-Cloud.rdp\" /V:127.0.0.1:3390\n" +
                  std::to_wstring(SW_SHOWNORMAL));
    PostMessageW(item(ControlId::cbutton3), BM_CLICK, 0, 0);  // Sair ends the process
    EXPECT_TRUE(pumpUntil([&] { return WaitForSingleObject(process.get(), 0) == WAIT_OBJECT_0; }));
    TerminateProcess(process.get(), 1);  // only when a step above failed
}

}  // namespace
}  // namespace corvalis::win32
