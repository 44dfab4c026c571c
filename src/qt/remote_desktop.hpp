#pragma once

#include <QObject>

#include "launch/launchers.hpp"

class QWidget;

namespace corvalis::qt {

// Starts FreeRDP the way mstsc starts on Windows: it asks for the credentials first, in a dialog
// over the window; FreeRDP trusts a server's certificate on first use and refuses it once it has
// changed. The client outlives the window; how it ended is reported while the window lives.
class RemoteDesktopStarter final : public QObject, public ports::ProcessStarter {
    Q_OBJECT

public:
    explicit RemoteDesktopStarter(QWidget* window);
    [[nodiscard]] ports::StartResult startRemoteDesktop(
        const ports::RemoteDesktopCommand& command) override;

private:
    void watch(int pid);

    QWidget* window_;
};

}  // namespace corvalis::qt
