// frmCV as the user meets it: start-up, layout, colours, focus, Enter, exit and DPI.
#include <gtest/gtest.h>

#include "support.hpp"
#include "wide_text.hpp"

namespace corvalis::win32::testing {
namespace {

using app::ControlId;
using app::twipsToPixels;

constexpr auto kShortTimeout = 200ms;

RECT expectedBounds(const app::ControlDefinition& definition, int dpi) {
    const int left = twipsToPixels(definition.left, dpi);
    const int top = twipsToPixels(definition.top, dpi);
    return RECT{left, top, left + twipsToPixels(definition.width, dpi),
                top + twipsToPixels(definition.height, dpi)};
}

LOGFONTW fontOf(HWND control) {
    LOGFONTW font{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)), sizeof(font),
               &font);
    return font;
}

class FrmCvWindow : public ::testing::Test {
protected:
    void open(link::Endpoint server = {"127.0.0.1", 9}) {
        frm = std::make_unique<WindowHarness>(
            MainWindowOptions{utf8(folder.path()), std::move(server), kShortTimeout});
        ASSERT_TRUE(frm->open());
    }

    TestFolder folder;
    MessageBoxWatcher boxes;  // watching before the window exists, for the load step's boxes
    std::unique_ptr<WindowHarness> frm;
};

TEST_F(FrmCvWindow, FirstStartShowsCaptionEmptyBoxRedLightAndCreatesEmptyFile) {
    open();
    frm->pumpFor(kQuietPeriod);

    EXPECT_EQ(frm->caption(), L"Corvalis 01.07");
    EXPECT_EQ(frm->text(ControlId::IdentInst), L"");
    EXPECT_EQ(frm->text(ControlId::Aviso), L"Conexão Desativada");
    EXPECT_TRUE(frm->isShown(ControlId::sinalVermelho));
    EXPECT_TRUE(sameRect(frm->bounds(ControlId::sinalVermelho), RECT{120, 181, 128, 189}));
    EXPECT_FALSE(frm->isShown(ControlId::sinalVerde));
    EXPECT_EQ(frm->bounds(ControlId::sinalVerde).left, 40);
    EXPECT_TRUE(IsWindowVisible(frm->window()));
    EXPECT_EQ(GetFocus(), frm->control(ControlId::cbutton3));
    EXPECT_TRUE(boxes.seen().empty());
    ASSERT_TRUE(std::filesystem::exists(folder.identificationFile()));
    EXPECT_EQ(std::filesystem::file_size(folder.identificationFile()), 0u);
}

TEST_F(FrmCvWindow, SavedIdentificationFillsTheBoxAsWrittenAndFocusStaysOnExit) {
    // The first line only, Windows-1252, shown unchanged (not normalised on reading).
    writeBytes(folder.identificationFile(), " A\xE7\xE3o Acme\r\nsegunda\r\n");
    open();
    frm->pumpFor(kQuietPeriod);

    EXPECT_EQ(frm->text(ControlId::IdentInst), L" Ação Acme");
    EXPECT_EQ(GetFocus(), frm->control(ControlId::cbutton3));
    EXPECT_TRUE(boxes.seen().empty());
}

TEST_F(FrmCvWindow, UnreadableFileIsReportedInAPelmarkBoxBeforeTheWindowShows) {
    std::filesystem::create_directory(folder.identificationFile());
    open();
    ASSERT_TRUE(frm->pumpUntil([&] { return !boxes.seen().empty(); }));

    const SeenMessageBox box = boxes.seen().front();
    EXPECT_EQ(box.title, L"Pelmark");
    EXPECT_EQ(box.text, L"Ocorreu erro no procedimento 'tratarIni'.");
    EXPECT_EQ(box.buttons, std::vector<std::wstring>{L"OK"});
    EXPECT_FALSE(box.hasIcon);
    EXPECT_FALSE(box.ownerVisible);
    EXPECT_TRUE(IsWindowVisible(frm->window()));
    EXPECT_EQ(frm->text(ControlId::IdentInst), L"");
}

TEST_F(FrmCvWindow, LayoutFontsAndStylesFollowTheControlTableAt96Dpi) {
    open();
    ASSERT_EQ(frm->dpi(), 96);
    RECT client{};
    GetClientRect(frm->window(), &client);
    EXPECT_EQ(client.right, 350);
    EXPECT_EQ(client.bottom, 347);

    for (const app::ControlDefinition& definition : app::kControls) {
        SCOPED_TRACE(std::string(definition.name));
        EXPECT_TRUE(sameRect(frm->bounds(definition.id), expectedBounds(definition, 96)));
        EXPECT_EQ(frm->isShown(definition.id), definition.visible);
        const LONG_PTR style = GetWindowLongPtrW(frm->control(definition.id), GWL_STYLE);
        if (definition.kind == app::ControlKind::Label) {
            EXPECT_EQ(frm->text(definition.id), std::wstring(toWide(definition.text)));
            EXPECT_NE(style & SS_NOPREFIX, 0);
            const LONG_PTR alignment =
                definition.alignment == app::Alignment::Center ? SS_CENTER : SS_LEFT;
            EXPECT_EQ(style & SS_TYPEMASK, alignment);
        }
        if (definition.kind == app::ControlKind::Button) {
            EXPECT_EQ(frm->text(definition.id), std::wstring(toWide(definition.text)));
            EXPECT_EQ(frm->bounds(definition.id).right - frm->bounds(definition.id).left, 123);
            EXPECT_EQ(frm->bounds(definition.id).bottom - frm->bounds(definition.id).top, 35);
        }
        if (definition.kind != app::ControlKind::Picture) {
            const LOGFONTW font = fontOf(frm->control(definition.id));
            EXPECT_EQ(std::wstring(font.lfFaceName), L"Tahoma");
            EXPECT_EQ(font.lfHeight, -11);
            EXPECT_EQ(font.lfWeight, FW_BOLD);
        }
    }

    const LONG_PTR style = GetWindowLongPtrW(frm->window(), GWL_STYLE);
    EXPECT_EQ(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME), 0);
    EXPECT_NE(style & WS_SYSMENU, 0);

    RECT outer{};
    GetWindowRect(frm->window(), &outer);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    GetMonitorInfoW(MonitorFromWindow(frm->window(), MONITOR_DEFAULTTONEAREST), &monitor);
    EXPECT_NEAR((outer.left + outer.right) / 2.0,
                (monitor.rcWork.left + monitor.rcWork.right) / 2.0, 1.0);
    EXPECT_NEAR((outer.top + outer.bottom) / 2.0,
                (monitor.rcWork.top + monitor.rcWork.bottom) / 2.0, 1.0);
}

TEST_F(FrmCvWindow, LightsTellTheirStateToScreenReaders) {
    open();
    EXPECT_EQ(frm->text(ControlId::sinalVermelho), toWide(app::kRedLightName));
    EXPECT_EQ(frm->text(ControlId::sinalVerde), toWide(app::kGreenLightName));
    EXPECT_EQ(frm->text(ControlId::Image1), L"Logotipo");
}

TEST_F(FrmCvWindow, LabelsBoxAndStatusHaveTheirColours) {
    open();
    const HDC dc = GetDC(frm->window());
    struct Expected {
        ControlId id;
        COLORREF text;
        COLORREF background;
    };
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    for (const Expected& expected :
         {Expected{ControlId::Aviso, RGB(0x00, 0x80, 0x00), RGB(0xFF, 0xFF, 0xFF)},
          Expected{ControlId::Label1, RGB(0x00, 0x80, 0x00), RGB(0xFF, 0xFF, 0xFF)},
          Expected{ControlId::Label6, RGB(0x66, 0x66, 0x66), face},
          Expected{ControlId::Label2, RGB(0x66, 0x66, 0x66), face}}) {
        SetTextColor(dc, RGB(1, 2, 3));
        SetBkColor(dc, RGB(1, 2, 3));
        SendMessageW(frm->window(), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                     reinterpret_cast<LPARAM>(frm->control(expected.id)));
        EXPECT_EQ(GetTextColor(dc), expected.text) << static_cast<int>(expected.id);
        EXPECT_EQ(GetBkColor(dc), expected.background) << static_cast<int>(expected.id);
    }
    SetTextColor(dc, RGB(1, 2, 3));
    SendMessageW(frm->window(), WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(dc),
                 reinterpret_cast<LPARAM>(frm->control(ControlId::IdentInst)));
    EXPECT_EQ(GetTextColor(dc), RGB(0x66, 0x66, 0x66));
    EXPECT_EQ(GetBkColor(dc), GetSysColor(COLOR_WINDOW));
    ReleaseDC(frm->window(), dc);
}

TEST_F(FrmCvWindow, TabWalksExitWebBoxConnectRemoteDesktopAndRoundAgain) {
    open();
    ASSERT_EQ(GetFocus(), frm->control(ControlId::cbutton3));
    for (const ControlId next : {ControlId::Lumo, ControlId::IdentInst, ControlId::Conectar,
                                 ControlId::Sistema, ControlId::cbutton3}) {
        PostMessageW(GetFocus(), WM_KEYDOWN, VK_TAB, 0);
        EXPECT_TRUE(frm->pumpUntil([&] { return GetFocus() == frm->control(next); }))
            << static_cast<int>(next);
    }
}

TEST_F(FrmCvWindow, EnterInTheBoxOnlyMovesTheFocusToConnect) {
    LoopbackControlServer server({true, std::string(kAccessRecord)});
    open(server.endpoint());
    for (const std::wstring_view typed : {std::wstring_view(L""), std::wstring_view(L"acme")}) {
        SetWindowTextW(frm->control(ControlId::IdentInst), std::wstring(typed).c_str());
        SetFocus(frm->control(ControlId::IdentInst));
        // A real key press, through IsDialogMessageW as in the program's own loop.
        PostMessageW(frm->control(ControlId::IdentInst), WM_KEYDOWN, VK_RETURN, 0x001C0001);
        EXPECT_TRUE(
            frm->pumpUntil([&] { return GetFocus() == frm->control(ControlId::Conectar); }));
        frm->pumpFor(kQuietPeriod);
        EXPECT_EQ(frm->text(ControlId::IdentInst), typed);
    }
    EXPECT_EQ(frm->text(ControlId::Aviso), L"Conexão Desativada");
    EXPECT_TRUE(frm->isShown(ControlId::sinalVermelho));
    EXPECT_FALSE(frm->isShown(ControlId::sinalVerde));
    EXPECT_TRUE(boxes.seen().empty());
    EXPECT_EQ(server.connections(), 0);
    EXPECT_EQ(readBytes(folder.identificationFile()), "");
}

TEST_F(FrmCvWindow, EnterOnAFocusedButtonClicksThatButton) {
    open();
    SetFocus(frm->control(ControlId::Lumo));
    PostMessageW(frm->control(ControlId::Lumo), WM_KEYDOWN, VK_RETURN, 0x001C0001);
    ASSERT_TRUE(frm->pumpUntil([&] { return !boxes.seen().empty(); }));
    EXPECT_EQ(boxes.seen()[0].text,
              L"É necessário conectar para atualizar os dados antes de acessar os servidores.");
    EXPECT_TRUE(IsWindow(frm->window()));
}

TEST_F(FrmCvWindow, OtherCharactersReachTheBoxUnchanged) {
    open();
    SetFocus(frm->control(ControlId::IdentInst));
    frm->type(ControlId::IdentInst, L"Ação 1");
    EXPECT_EQ(frm->text(ControlId::IdentInst), L"Ação 1");
    EXPECT_EQ(GetFocus(), frm->control(ControlId::IdentInst));
}

TEST_F(FrmCvWindow, ExitWhileAnAttemptIsPendingEndsAtOnce) {
    LoopbackControlServer silent({false, ""});
    open(silent.endpoint());
    SetWindowTextW(frm->control(ControlId::IdentInst), L"acme");
    frm->click(ControlId::Conectar);
    ASSERT_TRUE(frm->pumpUntil([&] { return silent.connections() == 1; }));
    writeBytes(folder.identificationFile(), "antes\r\n");

    const HWND window = frm->window();
    frm->click(ControlId::cbutton3);
    EXPECT_FALSE(IsWindow(window));
    frm->pumpFor(kShortTimeout * 3);

    EXPECT_TRUE(frm->quitPosted());
    EXPECT_TRUE(boxes.seen().empty());
    EXPECT_EQ(readBytes(folder.identificationFile()), "antes\r\n");
    EXPECT_TRUE(frm->pumpUntil([&] { return silent.closedByClient() == 1; }));
}

TEST_F(FrmCvWindow, ClosingFromTheTitleBarEndsTheProgramWithoutSaving) {
    writeBytes(folder.identificationFile(), "acme\r\n");
    open();
    SetWindowTextW(frm->control(ControlId::IdentInst), L"OUTRA");
    const HWND window = frm->window();
    SendMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_FALSE(IsWindow(window));
    frm->pumpFor(kQuietPeriod);
    EXPECT_TRUE(frm->quitPosted());
    EXPECT_EQ(readBytes(folder.identificationFile()), "acme\r\n");
}

TEST_F(FrmCvWindow, DpiChangeScalesLayoutAndFontAndKeepsMovedLight) {
    LoopbackControlServer server({true, std::string(kAccessRecord)});
    open(server.endpoint());
    SetWindowTextW(frm->control(ControlId::IdentInst), L"acme");
    frm->click(ControlId::Conectar);
    ASSERT_TRUE(frm->pumpUntil([&] { return frm->isShown(ControlId::sinalVerde); }));

    constexpr int kDpi = 144;
    RECT suggested{};
    GetWindowRect(frm->window(), &suggested);
    SendMessageW(frm->window(), WM_DPICHANGED, MAKEWPARAM(kDpi, kDpi),
                 reinterpret_cast<LPARAM>(&suggested));

    RECT client{};
    GetClientRect(frm->window(), &client);
    EXPECT_EQ(client.right, 525);
    EXPECT_EQ(client.bottom, 521);
    for (const app::ControlDefinition& definition : app::kControls) {
        if (definition.id == ControlId::sinalVerde) {
            continue;
        }
        SCOPED_TRACE(std::string(definition.name));
        EXPECT_TRUE(sameRect(frm->bounds(definition.id), expectedBounds(definition, kDpi)));
    }
    // The green light stays where the green-light sequence put it: the red light's place.
    EXPECT_TRUE(sameRect(frm->bounds(ControlId::sinalVerde),
                         expectedBounds(app::control(ControlId::sinalVermelho), kDpi)));
    EXPECT_EQ(fontOf(frm->control(ControlId::Aviso)).lfHeight, -17);
    EXPECT_EQ(fontOf(frm->control(ControlId::Conectar)).lfWeight, FW_BOLD);
}

}  // namespace
}  // namespace corvalis::win32::testing
