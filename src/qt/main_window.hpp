#pragma once

#include <QWidget>
#include <chrono>
#include <string>

#include "app/frm_cv.hpp"
#include "controls.hpp"
#include "desktop_browser.hpp"
#include "event_timer.hpp"
#include "link/control_server.hpp"
#include "remote_desktop.hpp"
#include "store/std_file_system.hpp"
#include "tcp_socket.hpp"

namespace corvalis::qt {

// frmCV: the View over the controls drawn from the core's control table, and the handlers of those
// controls' events, which pass them on to FrmCv. Winsock1, Timer1 and the remote-desktop client
// report to FrmCv straight.
class MainWindow final : public QWidget, private ports::View {
    Q_OBJECT

public:
    MainWindow(const app::Folders& folders, link::Endpoint controlServer,
               std::chrono::milliseconds timeout = link::kDefaultTimeout);

    // Window load (which may show a message box first), then the window shown centred with the
    // focus on cbutton3.
    void start();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void connectEvents();
    void centreOnScreen();
    template <typename Widget = QWidget>
    [[nodiscard]] Widget* control(app::ControlId id) const {
        return controls_.control<Widget>(id);
    }

    void setCaption(std::string_view text) override;
    void setStatus(std::string_view text) override;
    void setLightVisible(ports::Light light, bool visible) override;
    [[nodiscard]] bool isLightVisible(ports::Light light) const override;
    [[nodiscard]] int lightLeft(ports::Light light) const override;
    void setLightLeft(ports::Light light, int twips) override;
    [[nodiscard]] std::string identification() const override;
    void setIdentification(std::string_view text) override;
    void setFocus(app::ControlId id) override;
    void showMessage(std::string_view text) override;

    Controls controls_;
    TcpSocket winsock1_;
    EventTimer timer1_;
    store::StdFileSystem files_;
    RemoteDesktopStarter remoteDesktop_;
    DesktopBrowser browser_;
    app::FrmCv frmCv_;
};

}  // namespace corvalis::qt
