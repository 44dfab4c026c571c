#include "controls.hpp"

#include <cmath>
#include <utility>

#include "dpi.hpp"
#include "wide_text.hpp"

namespace corvalis::win32 {
namespace {

using app::ControlDefinition;
using app::ControlId;
using app::ControlKind;
using app::kControls;

constexpr double kPointsPerInch = 72.0;

// The label that names a control for screen readers: it must sit just before it in z-order.
constexpr std::pair<ControlId, ControlId> kNamingLabel{ControlId::IdentInst, ControlId::Label6};

COLORREF toColorRef(app::Rgb colour) {
    return RGB(colour.red, colour.green, colour.blue);
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

}  // namespace

Controls::Controls(HINSTANCE instance) : instance_(instance), artwork_(instance) {}

void Controls::create(HWND window, int dpi) {
    window_ = window;
    for (std::size_t index = 0; index < kControls.size(); ++index) {
        const ControlDefinition& definition = kControls[index];
        const ControlClass kind = controlClass(definition);
        const std::string_view text =
            definition.kind == ControlKind::Picture ? definition.accessibleName : definition.text;
        const DWORD style = WS_CHILD | kind.style | (definition.visible ? WS_VISIBLE : 0);
        controls_[index] = CreateWindowExW(
            kind.exStyle, kind.className, toWide(text).c_str(), style, 0, 0, 0, 0, window,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(kFirstControlId + index)), instance_,
            nullptr);
        if (definition.background) {
            backgrounds_[index] = UniqueBrush(CreateSolidBrush(toColorRef(*definition.background)));
        }
        leftTwips_[index] = definition.left;
    }
    arrangeFocusOrder();
    layOut(dpi);
}

std::optional<ControlId> Controls::find(HWND control) const {
    for (std::size_t index = 0; index < controls_.size(); ++index) {
        if (controls_[index] == control) {
            return kControls[index].id;
        }
    }
    return std::nullopt;
}

// Tab follows z-order, so the focusable controls go to the bottom in focus order.
void Controls::arrangeFocusOrder() {
    constexpr UINT kOrderOnly = SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE;
    for (const ControlId id : app::focusOrder()) {
        if (id == kNamingLabel.first) {
            SetWindowPos(control(kNamingLabel.second), HWND_BOTTOM, 0, 0, 0, 0, kOrderOnly);
        }
        SetWindowPos(control(id), HWND_BOTTOM, 0, 0, 0, 0, kOrderOnly);
    }
}

int Controls::pixels(int twips) const {
    return app::twipsToPixels(twips, dpi_);
}

void Controls::place(std::size_t index) {
    const ControlDefinition& definition = kControls[index];
    MoveWindow(controls_[index], pixels(leftTwips_[index]), pixels(definition.top),
               pixels(definition.width), pixels(definition.height), TRUE);
}

void Controls::layOut(int dpi) {
    dpi_ = dpi;
    UniqueFont font = createFont(dpi_);
    for (std::size_t index = 0; index < kControls.size(); ++index) {
        place(index);
        SendMessageW(controls_[index], WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), TRUE);
    }
    font_ = std::move(font);  // only now is the old font no longer in use
    fitClientArea();
}

void Controls::setLeft(ControlId id, int twips) {
    leftTwips_[app::controlIndex(id)] = twips;
    place(app::controlIndex(id));
}

// The client area is fixed by the table; the frame around it is whatever the system draws, so the
// result is measured and corrected (Wine, for one, keeps its frame metrics when the DPI changes).
void Controls::fitClientArea() {
    const SIZE client{pixels(app::kClientWidth), pixels(app::kClientHeight)};
    const auto style = static_cast<DWORD>(GetWindowLongPtrW(window_, GWL_STYLE));
    const auto exStyle = static_cast<DWORD>(GetWindowLongPtrW(window_, GWL_EXSTYLE));
    SIZE outer = windowSizeForClient(client, style, exStyle, dpi_);
    constexpr UINT kSizeOnly = SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE;
    SetWindowPos(window_, nullptr, 0, 0, outer.cx, outer.cy, kSizeOnly);
    RECT actual{};
    GetClientRect(window_, &actual);
    if (actual.right != client.cx || actual.bottom != client.cy) {
        outer.cx += client.cx - actual.right;
        outer.cy += client.cy - actual.bottom;
        SetWindowPos(window_, nullptr, 0, 0, outer.cx, outer.cy, kSizeOnly);
    }
}

LRESULT Controls::colour(HDC dc, HWND control, int systemBackground) const {
    if (const std::optional<ControlId> id = find(control)) {
        const ControlDefinition& definition = app::control(*id);
        if (definition.foreground) {
            SetTextColor(dc, toColorRef(*definition.foreground));
        }
        if (definition.background) {
            SetBkColor(dc, toColorRef(*definition.background));
            return reinterpret_cast<LRESULT>(backgrounds_[app::controlIndex(*id)].get());
        }
    }
    SetBkColor(dc, GetSysColor(systemBackground));
    return reinterpret_cast<LRESULT>(GetSysColorBrush(systemBackground));
}

void Controls::draw(const DRAWITEMSTRUCT& item) const {
    if (const std::optional<ControlId> id = find(item.hwndItem)) {
        FillRect(item.hDC, &item.rcItem, GetSysColorBrush(COLOR_BTNFACE));
        artwork_.draw(app::control(*id).artwork, item.hDC, POINT{item.rcItem.left, item.rcItem.top},
                      dpi_);
    }
}

}  // namespace corvalis::win32
