#include "main_window.hpp"

#include <commctrl.h>

#include <cmath>
#include <utility>

#include "dpi.hpp"
#include "resources/resource_ids.h"
#include "wide_text.hpp"

namespace corvalis::win32 {
namespace {

using app::ControlDefinition;
using app::ControlId;
using app::ControlKind;
using app::kControls;

constexpr wchar_t kClassName[] = L"CorvalisFrmCv";
constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr DWORD kWindowExStyle = 0;
constexpr UINT kSocketMessage = WM_APP + 1;
constexpr UINT kResolvedMessage = WM_APP + 2;
constexpr UINT_PTR kTimer1Id = 1;
constexpr UINT_PTR kIdentInstSubclassId = 1;
constexpr double kPointsPerInch = 72.0;
constexpr int kControlCount = static_cast<int>(kControls.size());

// The label that names a control for screen readers: it must sit just before it in z-order.
constexpr std::pair<ControlId, ControlId> kNamingLabel{ControlId::IdentInst, ControlId::Label6};

COLORREF toColorRef(app::Rgb colour) {
    return RGB(colour.red, colour.green, colour.blue);
}

ControlId lightControl(ports::Light light) {
    return light == ports::Light::Verde ? ControlId::sinalVerde : ControlId::sinalVermelho;
}

struct ControlClass {
    const wchar_t* className;
    DWORD style;
    DWORD exStyle;
};

ControlClass controlClass(const ControlDefinition& definition) {
    const DWORD alignment = definition.alignment == app::Alignment::Center ? SS_CENTER : SS_LEFT;
    switch (definition.kind) {
        case ControlKind::Picture:
            return {L"STATIC", SS_OWNERDRAW, 0};
        case ControlKind::Label:
            return {L"STATIC", SS_NOPREFIX | alignment, 0};
        case ControlKind::TextBox:
            return {L"EDIT", WS_TABSTOP | ES_LEFT | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE};
        case ControlKind::Button:
            return {L"BUTTON", WS_TABSTOP | BS_PUSHBUTTON, 0};
    }
    return {L"STATIC", 0, 0};
}

UniqueFont createFont(int dpi) {
    const std::wstring family = toWide(app::kFont.family);
    const int height = static_cast<int>(std::lround(app::kFont.pointSize * dpi / kPointsPerInch));
    return UniqueFont(CreateFontW(-height, 0, 0, 0, app::kFont.bold ? FW_BOLD : FW_NORMAL, FALSE,
                                  FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                                  CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH | FF_SWISS,
                                  family.c_str()));
}

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
    : options_(std::move(options)),
      instance_(GetModuleHandleW(nullptr)),
      artwork_(instance_),
      dpi_(kDefaultDpi) {
    for (std::size_t index = 0; index < kControls.size(); ++index) {
        leftTwips_[index] = kControls[index].left;
    }
}

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

HWND MainWindow::control(ControlId id) const {
    return controls_[app::controlIndex(id)];
}

LRESULT MainWindow::handleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE:
            return onCreate();
        case WM_COMMAND:
            onCommand(LOWORD(wParam), HIWORD(wParam));
            return 0;
        case WM_CTLCOLORSTATIC:
            return onStaticColour(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
        case WM_CTLCOLOREDIT:
            return onEditColour(reinterpret_cast<HDC>(wParam));
        case WM_DRAWITEM:
            onDrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
            return TRUE;
        case WM_TIMER:
            onTimer(wParam);
            return 0;
        case kSocketMessage:
            onSocket(wParam, lParam);
            return 0;
        case kResolvedMessage:
            onResolved(wParam, lParam);
            return 0;
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
    dpi_ = windowDpi(window());
    createControls();
    status_ = std::make_unique<LiveRegion>(control(ControlId::Aviso));
    arrangeFocusOrder();
    applyLayout();
    fitClientArea();
    centre();
    focusBeforeDeactivation_ = control(app::focusOrder().front());

    socket_ = std::make_unique<WinsockSocket>(window(), kSocketMessage, kResolvedMessage);
    timer_ = std::make_unique<WindowTimer>(window(), kTimer1Id);
    browser_ = std::make_unique<ShellBrowser>(window());
    frm_ = std::make_unique<app::FrmCv>(
        app::Ports{*this, *socket_, *timer_, files_, processStarter_, *browser_},
        app::Folders{options_.applicationFolder, options_.applicationFolder},
        options_.controlServer, options_.timeout);
    return 0;
}

void MainWindow::createControls() {
    for (int index = 0; index < kControlCount; ++index) {
        const ControlDefinition& definition = kControls[static_cast<std::size_t>(index)];
        const ControlClass kind = controlClass(definition);
        const std::string_view text =
            definition.kind == ControlKind::Picture ? definition.accessibleName : definition.text;
        const DWORD style = WS_CHILD | kind.style | (definition.visible ? WS_VISIBLE : 0);
        controls_[static_cast<std::size_t>(index)] = CreateWindowExW(
            kind.exStyle, kind.className, toWide(text).c_str(), style, 0, 0, 0, 0, window(),
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(kFirstControlId + index)), instance_,
            nullptr);
        if (definition.background) {
            backgrounds_[static_cast<std::size_t>(index)] =
                UniqueBrush(CreateSolidBrush(toColorRef(*definition.background)));
        }
    }
    SetWindowSubclass(control(ControlId::IdentInst), identInstProcedure, kIdentInstSubclassId,
                      reinterpret_cast<DWORD_PTR>(this));
}

// Tab follows z-order, so the focusable controls go to the bottom in focus order.
void MainWindow::arrangeFocusOrder() {
    constexpr UINT kOrderOnly = SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE;
    for (const ControlId id : app::focusOrder()) {
        if (id == kNamingLabel.first) {
            SetWindowPos(control(kNamingLabel.second), HWND_BOTTOM, 0, 0, 0, 0, kOrderOnly);
        }
        SetWindowPos(control(id), HWND_BOTTOM, 0, 0, 0, 0, kOrderOnly);
    }
}

int MainWindow::pixels(int twips) const {
    return app::twipsToPixels(twips, dpi_);
}

void MainWindow::placeControl(std::size_t index) {
    const ControlDefinition& definition = kControls[index];
    MoveWindow(controls_[index], pixels(leftTwips_[index]), pixels(definition.top),
               pixels(definition.width), pixels(definition.height), TRUE);
}

void MainWindow::applyLayout() {
    UniqueFont font = createFont(dpi_);
    for (std::size_t index = 0; index < kControls.size(); ++index) {
        placeControl(index);
        SendMessageW(controls_[index], WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), TRUE);
    }
    font_ = std::move(font);  // only now is the old font no longer in use
}

// The client area is fixed by the table; the frame around it is whatever the system draws, so the
// result is measured and corrected (Wine, for one, keeps its frame metrics when the DPI changes).
void MainWindow::fitClientArea() {
    const SIZE client{pixels(app::kClientWidth), pixels(app::kClientHeight)};
    SIZE outer = windowSizeForClient(client, kWindowStyle, kWindowExStyle, dpi_);
    constexpr UINT kSizeOnly = SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE;
    SetWindowPos(window(), nullptr, 0, 0, outer.cx, outer.cy, kSizeOnly);
    RECT actual{};
    GetClientRect(window(), &actual);
    if (actual.right != client.cx || actual.bottom != client.cy) {
        outer.cx += client.cx - actual.right;
        outer.cy += client.cy - actual.bottom;
        SetWindowPos(window(), nullptr, 0, 0, outer.cx, outer.cy, kSizeOnly);
    }
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

std::size_t MainWindow::indexOf(HWND control) const {
    for (std::size_t index = 0; index < controls_.size(); ++index) {
        if (controls_[index] == control) {
            return index;
        }
    }
    return controls_.size();
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

LRESULT MainWindow::onStaticColour(HDC dc, HWND control) {
    const std::size_t index = indexOf(control);
    if (index < controls_.size()) {
        const ControlDefinition& definition = kControls[index];
        if (definition.foreground) {
            SetTextColor(dc, toColorRef(*definition.foreground));
        }
        if (definition.background) {
            SetBkColor(dc, toColorRef(*definition.background));
            return reinterpret_cast<LRESULT>(backgrounds_[index].get());
        }
    }
    SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
    return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
}

LRESULT MainWindow::onEditColour(HDC dc) {
    const ControlDefinition& definition = app::control(ControlId::IdentInst);
    if (definition.foreground) {
        SetTextColor(dc, toColorRef(*definition.foreground));
    }
    SetBkColor(dc, GetSysColor(COLOR_WINDOW));
    return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
}

void MainWindow::onDrawItem(const DRAWITEMSTRUCT& item) {
    const std::size_t index = indexOf(item.hwndItem);
    if (index == controls_.size()) {
        return;
    }
    FillRect(item.hDC, &item.rcItem, GetSysColorBrush(COLOR_BTNFACE));
    artwork_.draw(kControls[index].artwork, item.hDC, POINT{item.rcItem.left, item.rcItem.top},
                  dpi_);
}

void MainWindow::onTimer(UINT_PTR id) {
    if (timer_->isExpiry(id)) {
        frm_->timer1Timer();
    }
}

void MainWindow::onSocket(WPARAM socket, LPARAM event) {
    if (socket_->onSocketMessage(socket, event)) {
        frm_->winsock1DataArrival();
    }
}

void MainWindow::onResolved(WPARAM attempt, LPARAM addresses) {
    socket_->onResolvedMessage(attempt, addresses);
}

void MainWindow::onDpiChanged(int dpi, const RECT& suggested) {
    dpi_ = dpi;
    applyLayout();
    SetWindowPos(window(), nullptr, suggested.left, suggested.top, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    fitClientArea();
    InvalidateRect(window(), nullptr, TRUE);
}

// IsDialogMessageW asks which button Enter clicks: the focused one, as in the original client.
LRESULT MainWindow::onGetDefaultId() {
    const std::size_t index = indexOf(GetFocus());
    if (index == controls_.size() || kControls[index].kind != ControlKind::Button) {
        return 0;
    }
    return MAKELRESULT(kFirstControlId + static_cast<int>(index), DC_HASDEFID);
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
    socket_->close();
    timer_->stop();
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
    ShowWindow(control(lightControl(light)), visible ? SW_SHOWNA : SW_HIDE);
}

bool MainWindow::isLightVisible(ports::Light light) const {
    // The control's own flag, which holds while the window itself is still hidden.
    return (GetWindowLongPtrW(control(lightControl(light)), GWL_STYLE) & WS_VISIBLE) != 0;
}

int MainWindow::lightLeft(ports::Light light) const {
    return leftTwips_[app::controlIndex(lightControl(light))];
}

void MainWindow::setLightLeft(ports::Light light, int twips) {
    const std::size_t index = app::controlIndex(lightControl(light));
    leftTwips_[index] = twips;
    placeControl(index);
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
