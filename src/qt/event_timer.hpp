#pragma once

#include <QTimer>

#include "ports/timer.hpp"

namespace corvalis::qt {

// Timer1: a repeating QTimer on the user-interface thread.
class EventTimer final : public ports::Timer {
public:
    EventTimer();

    // QTimer::start restarts the countdown of a running timer, as Timer1 must.
    void start(std::chrono::milliseconds interval) override { timer_.start(interval); }
    void stop() override { timer_.stop(); }

private:
    QTimer timer_;
};

}  // namespace corvalis::qt
