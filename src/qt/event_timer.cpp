#include "event_timer.hpp"

namespace corvalis::qt {

EventTimer::EventTimer(QObject* parent) : QObject(parent) {
    timer_.setSingleShot(false);
    // A coarse timer, Qt's default, may fire up to 5 % early; the time-out must wait it all out.
    timer_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer_, &QTimer::timeout, this, &EventTimer::timeout);
}

void EventTimer::start(std::chrono::milliseconds interval) {
    // QTimer::start restarts the countdown of a running timer, as Timer1 must.
    timer_.start(interval);
}

void EventTimer::stop() {
    timer_.stop();
}

}  // namespace corvalis::qt
