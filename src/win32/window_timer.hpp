#pragma once

#include <windows.h>

#include "ports/timer.hpp"

namespace corvalis::win32 {

// Timer1 as a window timer: its WM_TIMER reaches the window only while it is started.
class WindowTimer final : public ports::Timer {
public:
    WindowTimer(HWND window, UINT_PTR id) : window_(window), id_(id) {}
    WindowTimer(const WindowTimer&) = delete;
    WindowTimer& operator=(const WindowTimer&) = delete;
    ~WindowTimer() override { stop(); }

    void start(std::chrono::milliseconds interval) override;
    void stop() override;

    // A WM_TIMER already queued when the timer was stopped is not an expiry.
    [[nodiscard]] bool isExpiry(UINT_PTR id) const { return running_ && id == id_; }

private:
    HWND window_;
    UINT_PTR id_;
    bool running_ = false;
};

}  // namespace corvalis::win32
