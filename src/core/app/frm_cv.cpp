#include "app/frm_cv.hpp"

#include <string>
#include <utility>

namespace corvalis::app {

std::string windowCaption() {
    return std::string(kInitialCaption) + " " + std::string(kVersionText);
}

FrmCv::FrmCv(const Ports& ports, const Folders& folders, link::Endpoint controlServer,
             std::chrono::milliseconds timeout)
    : view_(ports.view),
      store_(ports.files, folders.identification, ports.view),
      controller_(ports.view, ports.socket, ports.timer, store_, dadosAcesso_,
                  std::move(controlServer), timeout),
      remoteDesktop_(ports.view, ports.processStarter, folders.application),
      web_(ports.view, ports.browser) {
    // The window's own handlers, as its controls' events; how a remote desktop ended goes to the
    // launcher that started it.
    ports.socket.setCallback([this] { winsock1DataArrival(); });
    ports.timer.setCallback([this] { timer1Timer(); });
    ports.processStarter.setCallback(
        [this](std::optional<int> exitStatus) { remoteDesktop_.remoteDesktopEnded(exitStatus); });
}

void FrmCv::formLoad() {
    view_.setCaption(windowCaption());
    store_.tratarIni(true);
}

char16_t FrmCv::identInstKeyPress(char16_t code) {
    // Enter only moves on to Conectar; it does not click it.
    if (code == kCarriageReturn) {
        view_.setFocus(ControlId::Conectar);
    }
    return code;
}

}  // namespace corvalis::app
