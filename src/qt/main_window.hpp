#pragma once

#include <QWidget>
#include <array>
#include <chrono>
#include <string>

#include "app/frm_cv.hpp"
#include "desktop_browser.hpp"
#include "event_timer.hpp"
#include "link/control_server.hpp"
#include "remote_desktop.hpp"
#include "store/std_file_system.hpp"
#include "tcp_socket.hpp"

class QLabel;
class QLineEdit;
class QPushButton;

namespace corvalis::qt {

// frmCV: the one window, drawn from the core's control table. Its slots only pass events on to
// FrmCv; everything the logic does to the window comes back through ports::View.
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

private slots:
    void onConectarClicked();
    void onSistemaClicked();
    void onLumoClicked();
    void onTimer1Timer();
    void onWinsock1DataArrival();
    void onRemoteDesktopEnded(std::optional<int> exitStatus);

private:
    void createControls();
    void connectEvents();
    void centreOnScreen();
    // The control the table defines under this id, as the widget kind the table gives it.
    template <typename Widget = QWidget>
    [[nodiscard]] Widget* control(app::ControlId id) const {
        return static_cast<Widget*>(controls_[app::controlIndex(id)]);
    }
    [[nodiscard]] QLabel* lightPicture(ports::Light light) const;

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

    std::array<QWidget*, app::kControls.size()> controls_{};
    // Where the logic placed each light, in twips; the pixels follow from it.
    int redLeftTwips_ = app::control(app::ControlId::sinalVermelho).left;
    int greenLeftTwips_ = app::control(app::ControlId::sinalVerde).left;

    TcpSocket winsock1_;
    EventTimer timer1_;
    store::StdFileSystem files_;
    RemoteDesktopStarter remoteDesktop_;
    DesktopBrowser browser_;
    app::FrmCv frmCv_;
};

}  // namespace corvalis::qt
