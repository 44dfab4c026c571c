#include "message_window.hpp"

#include <commctrl.h>

#include <utility>

namespace corvalis::win32 {

// A system class needs no registering; the subclass procedure takes the messages that matter.
MessageWindow::MessageWindow(Handler handler)
    : handler_(std::move(handler)),
      window_(CreateWindowExW(0, L"STATIC", nullptr, 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr,
                              nullptr)) {
    SetWindowSubclass(window_, procedure, 0, reinterpret_cast<DWORD_PTR>(this));
}

MessageWindow::~MessageWindow() {
    RemoveWindowSubclass(window_, procedure, 0);
    DestroyWindow(window_);
}

LRESULT CALLBACK MessageWindow::procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                          UINT_PTR, DWORD_PTR self) {
    if (message != WM_TIMER && message < WM_APP) {
        return DefSubclassProc(window, message, wParam, lParam);
    }
    reinterpret_cast<const MessageWindow*>(self)->handler_(message, wParam, lParam);
    return 0;
}

}  // namespace corvalis::win32
