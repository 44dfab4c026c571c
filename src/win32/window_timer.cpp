#include "window_timer.hpp"

namespace corvalis::win32 {

void WindowTimer::start(std::chrono::milliseconds interval) {
    // SetTimer on a running timer replaces it, which restarts the countdown.
    running_ = SetTimer(window_, id_, static_cast<UINT>(interval.count()), nullptr) != 0;
}

void WindowTimer::stop() {
    if (running_) {
        KillTimer(window_, id_);
        running_ = false;
    }
}

}  // namespace corvalis::win32
