#pragma once

#include <QObject>
#include <QTimer>

#include "ports/timer.hpp"

namespace corvalis::qt {

// Timer1: a repeating QTimer on the user-interface thread.
class EventTimer final : public QObject, public ports::Timer {
    Q_OBJECT

public:
    explicit EventTimer(QObject* parent = nullptr);

    void start(std::chrono::milliseconds interval) override;
    void stop() override;

signals:
    void timeout();

private:
    QTimer timer_;
};

}  // namespace corvalis::qt
