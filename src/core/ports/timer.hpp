#pragma once

#include <chrono>
#include <functional>
#include <utility>

namespace corvalis::ports {

// A repeating timer on the user-interface thread; it runs the callback its owner set at each
// expiry.
class Timer {
public:
    virtual ~Timer() = default;

    void setCallback(std::function<void()> callback) { expiry_ = std::move(callback); }

    // Starts firing every interval; restarts the countdown when already running.
    virtual void start(std::chrono::milliseconds interval) = 0;
    virtual void stop() = 0;

protected:
    std::function<void()> expiry_ = [] {};
};

}  // namespace corvalis::ports
