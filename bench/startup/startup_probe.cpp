#include "startup_probe.hpp"

#include <QCoreApplication>
#include <QEvent>
#include <QFile>
#include <QTimer>
#include <QWidget>
#include <chrono>
#include <cstdio>

namespace corvalis::qt {
namespace {

// Linux only; elsewhere the figure reads as unknown.
QByteArray residentKilobytes() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) {
        return QByteArrayLiteral("unknown");
    }
    for (QByteArray line = status.readLine(); !line.isEmpty(); line = status.readLine()) {
        if (line.startsWith("VmRSS:")) {
            return line.mid(6).trimmed().split(' ').value(0);
        }
    }
    return QByteArrayLiteral("unknown");
}

class FirstPaintReporter final : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && !reported_) {
            reported_ = true;
            // After this paint has reached the screen, not while it is being drawn.
            QTimer::singleShot(0, this, &FirstPaintReporter::reportAndQuit);
        }
        return QObject::eventFilter(watched, event);
    }

private:
    void reportAndQuit() {
        const auto now = std::chrono::duration_cast<std::chrono::nanoseconds>(
            std::chrono::system_clock::now().time_since_epoch());
        std::printf("shown_ns=%lld rss_kb=%s\n", static_cast<long long>(now.count()),
                    residentKilobytes().constData());
        std::fflush(stdout);
        QCoreApplication::exit(0);
    }

    bool reported_ = false;
};

}  // namespace

void reportFirstPaintWhenAsked(QWidget& window) {
    if (!qEnvironmentVariableIsSet(kExitOnShowVariable)) {
        return;
    }
    window.installEventFilter(new FirstPaintReporter(&window));
}

}  // namespace corvalis::qt
