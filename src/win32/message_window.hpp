#pragma once

#include <windows.h>

#include <functional>

namespace corvalis::win32 {

// A message-only window (HWND_MESSAGE) of one adapter's own, for what Winsock, its resolver and
// the timer notify: frmCV's window never sees those. Timer and application messages go to the
// handler.
class MessageWindow {
public:
    using Handler = std::function<void(UINT message, WPARAM wParam, LPARAM lParam)>;

    explicit MessageWindow(Handler handler);
    MessageWindow(const MessageWindow&) = delete;
    MessageWindow& operator=(const MessageWindow&) = delete;
    ~MessageWindow();

    [[nodiscard]] HWND window() const { return window_; }

private:
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                      UINT_PTR subclassId, DWORD_PTR self);

    Handler handler_;
    HWND window_;
};

}  // namespace corvalis::win32
