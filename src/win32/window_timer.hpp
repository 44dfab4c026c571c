#pragma once

#include <windows.h>

#include "message_window.hpp"
#include "ports/timer.hpp"

namespace corvalis::win32 {

// Timer1 as a window timer on a message-only window of its own.
class WindowTimer final : public ports::Timer {
public:
    WindowTimer();
    ~WindowTimer() override { stop(); }

    void start(std::chrono::milliseconds interval) override;
    void stop() override;

private:
    static constexpr UINT_PTR kTimerId = 1;  // the window's only timer

    bool running_ = false;
    MessageWindow messages_;
};

}  // namespace corvalis::win32
