#include "live_region.hpp"

namespace corvalis::win32 {
namespace {

// UI Automation's LiveSetting property and its value Polite, which the SDK's headers of mingw-w64
// do not declare.
constexpr MSAAPROPID kLiveSettingProperty = {
    0xc12bcd8e, 0x2a8e, 0x4950, {0x8a, 0xe7, 0x36, 0x25, 0x11, 0x1d, 0x58, 0xeb}};
constexpr LONG kPolite = 1;

}  // namespace

LiveRegion::LiveRegion(HWND label) : label_(label) {
    IAccPropServices* properties = nullptr;
    if (FAILED(CoCreateInstance(CLSID_AccPropServices, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IAccPropServices, reinterpret_cast<void**>(&properties)))) {
        return;
    }
    properties_.reset(properties);
    VARIANT polite{};
    polite.vt = VT_I4;
    polite.lVal = kPolite;
    properties_.get()->SetHwndProp(label_, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF,
                                   kLiveSettingProperty, polite);
}

LiveRegion::~LiveRegion() {
    if (properties_) {
        MSAAPROPID cleared = kLiveSettingProperty;
        properties_.get()->ClearHwndProps(label_, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF,
                                          &cleared, 1);
    }
}

// The event comes once the new text is in place, for the screen reader reads it from the label.
void LiveRegion::setText(const std::wstring& text) const {
    SetWindowTextW(label_, text.c_str());
    NotifyWinEvent(EVENT_OBJECT_LIVEREGIONCHANGED, label_, OBJID_CLIENT, CHILDID_SELF);
}

}  // namespace corvalis::win32
