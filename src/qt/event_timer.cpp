#include "event_timer.hpp"

namespace corvalis::qt {

EventTimer::EventTimer() {
    timer_.setSingleShot(false);
    // A coarse timer, Qt's default, may fire up to 5 % early; the time-out must wait it all out.
    timer_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer_, &QTimer::timeout, &timer_, [this] { expiry_(); });
}

}  // namespace corvalis::qt
