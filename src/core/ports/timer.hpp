#pragma once

#include <chrono>

namespace corvalis::ports {

// A repeating timer on the user-interface thread. The front end reports each expiry by calling
// FrmCv::timer1Timer().
class Timer {
public:
    virtual ~Timer() = default;

    // Starts firing every interval; restarts the countdown when already running.
    virtual void start(std::chrono::milliseconds interval) = 0;
    virtual void stop() = 0;
};

}  // namespace corvalis::ports
