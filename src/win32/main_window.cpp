#include "main_window.hpp"

#include <commctrl.h>

#include <utility>

#include "dpi.hpp"
#include "resources/resource_ids.h"
#include "wide_text.hpp"

namespace corvalis::win32 {
namespace {

using app::ControlId;
using app::ControlKind;
using app::kControls;

constexpr wchar_t kClassName[] = L"CorvalisFrmCv";
constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr DWORD kWindowExStyle = 0;
constexpr UINT_PTR kIdentInstSubclassId = 1;
constexpr int kControlCount = static_cast<int>(kControls.size());

bool registerWindowClass(HINSTANCE instance, WNDPROC procedure) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    windowClass.lpszClassName = kClassName;
    windowClass.hIcon = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_CORVALIS),
                                                      IMAGE_ICON, GetSystemMetrics(SM_CXICON),
                                                      GetSystemMetrics(SM_CYICON), LR_SHARED));
    windowClass.hIconSm = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_CORVALIS),
                                                        IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                                        GetSystemMetrics(SM_CYSMICON), LR_SHARED));
    return RegisterClassExW(&windowClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

}  // namespace

MainWindow::MainWindow(MainWindowOptions options)
    : options_(std::move(options)), instance_(GetModuleHandleW(nullptr)), controls_(instance_) {}

MainWindow::~MainWindow() {
    if (window() != nullptr) {
        DestroyWindow(window());
    }
}

bool MainWindow::create(int showCommand) {
    if (!registerWindowClass(instance_, windowProcedure)) {
        return false;
    }
    const std::wstring caption = toWide(app::kInitialCaption);
    if (CreateWindowExW(kWindowExStyle, kClassName, caption.c_str(), kWindowStyle, CW_USEDEFAULT,
                        CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance_,
                        this) == nullptr) {
        return false;
    }
    // A message box of the load step therefore shows before the window does.
    frm_->formLoad();
    ShowWindow(window(), showCommand);
    UpdateWindow(window());
    SetFocus(control(app::focusOrder().front()));
    return true;
}

LRESULT MainWindow::handleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE:
            return onCreate();
        case WM_COMMAND:
            onCommand(LOWORD(wParam), HIWORD(wParam));
            return 0;
        case WM_CTLCOLORSTATIC:
            return controls_.colour(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam),
                                    COLOR_BTNFACE);
        case WM_CTLCOLOREDIT:
            return controls_.colour(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam),
                                    COLOR_WINDOW);
        case WM_DRAWITEM:
            controls_.draw(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
            return TRUE;
        case WM_DPICHANGED:
            onDpiChanged(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
            return 0;
        case DM_GETDEFID:
            return onGetDefaultId();
        case WM_ACTIVATE:
            onActivate(LOWORD(wParam));
            return 0;
        case WM_DESTROY:
            onDestroy();
            return 0;
        default:
            return DefWindowProcW(window(), message, wParam, lParam);
    }
}

LRESULT MainWindow::onCreate() {
    controls_.create(window(), windowDpi(window()));
    SetWindowSubclass(control(ControlId::IdentInst), identInstProcedure, kIdentInstSubclassId,
                      reinterpret_cast<DWORD_PTR>(this));
    status_ = std::make_unique<LiveRegion>(control(ControlId::Aviso));
    centre();
    focusBeforeDeactivation_ = control(app::focusOrder().front());

    browser_ = std::make_unique<ShellBrowser>(window());
    frm_ = std::make_unique<app::FrmCv>(
        app::Ports{*this, socket_, timer_, files_, processStarter_, *browser_},
        app::Folders{options_.applicationFolder, options_.applicationFolder},
        options_.controlServer, options_.timeout);
    return 0;
}

void MainWindow::centre() {
    RECT outer{};
    GetWindowRect(window(), &outer);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    GetMonitorInfoW(MonitorFromWindow(window(), MONITOR_DEFAULTTONEAREST), &monitor);
    const RECT& area = monitor.rcWork;
    const int left = area.left + (area.right - area.left - (outer.right - outer.left)) / 2;
    const int top = area.top + (area.bottom - area.top - (outer.bottom - outer.top)) / 2;
    SetWindowPos(window(), nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void MainWindow::onCommand(int id, int notification) {
    const int index = id - kFirstControlId;
    if (notification != BN_CLICKED || index < 0 || index >= kControlCount) {
        return;
    }
    switch (kControls[static_cast<std::size_t>(index)].id) {
        case ControlId::Conectar:
            frm_->conectarClick();
            break;
        case ControlId::Sistema:
            frm_->sistemaClick();
            break;
        case ControlId::Lumo:
            frm_->lumoClick();
            break;
        case ControlId::cbutton3:
            // Ends at once: no question, nothing saved, no later event handled.
            DestroyWindow(window());
            break;
        default:
            break;
    }
}

void MainWindow::onDpiChanged(int dpi, const RECT& suggested) {
    controls_.layOut(dpi);
    SetWindowPos(window(), nullptr, suggested.left, suggested.top, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    InvalidateRect(window(), nullptr, TRUE);
}

// IsDialogMessageW asks which button Enter clicks: the focused one, as in the original client.
LRESULT MainWindow::onGetDefaultId() {
    const std::optional<ControlId> focus = controls_.find(GetFocus());
    if (!focus || app::control(*focus).kind != ControlKind::Button) {
        return 0;
    }
    return MAKELRESULT(kFirstControlId + static_cast<int>(app::controlIndex(*focus)), DC_HASDEFID);
}

// A plain window does not remember its focused control across activation the way a dialog does.
void MainWindow::onActivate(WORD state) {
    if (state == WA_INACTIVE) {
        const HWND focus = GetFocus();
        if (focus != nullptr && IsChild(window(), focus)) {
            focusBeforeDeactivation_ = focus;
        }
    } else if (focusBeforeDeactivation_ != nullptr && IsWindow(focusBeforeDeactivation_)) {
        SetFocus(focusBeforeDeactivation_);
    }
}

void MainWindow::onDestroy() {
    status_.reset();
    socket_.close();
    timer_.stop();
    PostQuitMessage(0);
}

LRESULT CALLBACK MainWindow::identInstProcedure(HWND edit, UINT message, WPARAM wParam,
                                                LPARAM lParam, UINT_PTR subclassId,
                                                DWORD_PTR self) {
    auto* mainWindow = reinterpret_cast<MainWindow*>(self);
    switch (message) {
        case WM_GETDLGCODE:
            return mainWindow->onIdentInstGetDlgCode(edit, wParam, lParam);
        case WM_CHAR:
            return mainWindow->onIdentInstChar(edit, wParam, lParam);
        case WM_NCDESTROY:
            RemoveWindowSubclass(edit, identInstProcedure, subclassId);
            return DefSubclassProc(edit, message, wParam, lParam);
        default:
            return DefSubclassProc(edit, message, wParam, lParam);
    }
}

// IsDialogMessageW would turn Enter into a default-button command; the box wants it as a key press.
LRESULT MainWindow::onIdentInstGetDlgCode(HWND edit, WPARAM key, LPARAM message) {
    const LRESULT code = DefSubclassProc(edit, WM_GETDLGCODE, key, message);
    return key == VK_RETURN ? code | DLGC_WANTALLKEYS : code;
}

LRESULT MainWindow::onIdentInstChar(HWND edit, WPARAM code, LPARAM flags) {
    const char16_t passedOn = frm_->identInstKeyPress(static_cast<char16_t>(code));
    return DefSubclassProc(edit, WM_CHAR, passedOn, flags);
}

void MainWindow::setCaption(std::string_view text) {
    SetWindowTextW(window(), toWide(text).c_str());
}

void MainWindow::setStatus(std::string_view text) {
    status_->setText(toWide(text));
}

void MainWindow::setLightVisible(ports::Light light, bool visible) {
    ShowWindow(control(app::lightControl(light)), visible ? SW_SHOWNA : SW_HIDE);
}

bool MainWindow::isLightVisible(ports::Light light) const {
    // The control's own flag, which holds while the window itself is still hidden.
    return (GetWindowLongPtrW(control(app::lightControl(light)), GWL_STYLE) & WS_VISIBLE) != 0;
}

int MainWindow::lightLeft(ports::Light light) const {
    return controls_.left(app::lightControl(light));
}

void MainWindow::setLightLeft(ports::Light light, int twips) {
    controls_.setLeft(app::lightControl(light), twips);
}

std::string MainWindow::identification() const {
    const HWND box = control(ControlId::IdentInst);
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(box)) + 1, L'\0');
    text.resize(
        static_cast<std::size_t>(GetWindowTextW(box, text.data(), static_cast<int>(text.size()))));
    return toUtf8(text);
}

void MainWindow::setIdentification(std::string_view text) {
    SetWindowTextW(control(ControlId::IdentInst), toWide(text).c_str());
}

void MainWindow::setFocus(ControlId id) {
    SetFocus(control(id));
}

void MainWindow::showMessage(std::string_view text) {
    MessageBoxW(window(), toWide(text).c_str(), toWide(app::kApplicationTitle).c_str(), MB_OK);
}

}  // namespace corvalis::win32
