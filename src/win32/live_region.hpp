#pragma once

#include <windows.h>

#include <oleacc.h>

#include <string>

#include "handles.hpp"

namespace corvalis::win32 {

// A label whose changes a screen reader announces even when the focus is elsewhere: marked as a
// polite live region through the accessibility property service, and reported as changed each
// time its text is set. Needs COM on the thread that creates it.
class LiveRegion {
public:
    explicit LiveRegion(HWND label);
    LiveRegion(const LiveRegion&) = delete;
    LiveRegion& operator=(const LiveRegion&) = delete;
    ~LiveRegion();

    void setText(const std::wstring& text) const;

private:
    HWND label_;
    UniqueComPointer<IAccPropServices> properties_;
};

}  // namespace corvalis::win32
