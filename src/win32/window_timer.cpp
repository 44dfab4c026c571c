#include "window_timer.hpp"

namespace corvalis::win32 {

// A WM_TIMER already queued when the timer was stopped is not an expiry.
WindowTimer::WindowTimer()
    : messages_([this](UINT message, WPARAM, LPARAM) {
          if (message == WM_TIMER && running_) {
              expiry_();
          }
      }) {}

void WindowTimer::start(std::chrono::milliseconds interval) {
    // SetTimer on a running timer replaces it, which restarts the countdown.
    running_ =
        SetTimer(messages_.window(), kTimerId, static_cast<UINT>(interval.count()), nullptr) != 0;
}

void WindowTimer::stop() {
    if (running_) {
        KillTimer(messages_.window(), kTimerId);
        running_ = false;
    }
}

}  // namespace corvalis::win32
