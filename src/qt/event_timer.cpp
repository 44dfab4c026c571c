#include "event_timer.hpp"

namespace corvalis::qt {

EventTimer::EventTimer(QObject* parent) : QObject(parent) {
    timer_.setSingleShot(false);
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
