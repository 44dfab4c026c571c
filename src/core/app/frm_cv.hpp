#pragma once

#include <chrono>
#include <optional>
#include <string>

#include "app/control_table.hpp"
#include "launch/launchers.hpp"
#include "link/connection_controller.hpp"
#include "ports/view.hpp"
#include "store/identification_store.hpp"

namespace corvalis::app {

inline constexpr char16_t kCarriageReturn = 13;

// The ports through which the window's logic reaches the world; the front end owns them.
struct Ports {
    ports::View& view;
    ports::Socket& socket;
    ports::Timer& timer;
    ports::FileSystem& files;
    ports::ProcessStarter& processStarter;
    ports::Browser& browser;
};

// Where the program finds its files: Tol-Cloud.rdp always beside the program, pelmark.ini there or
// in a per-user folder, as the front end decides. Both UTF-8.
struct Folders {
    std::string application;
    std::string identification;
};

// The model of frmCV: it owns conectado (through its controller) and dadosAcesso for the whole run,
// and turns each event of the window into the logic behind it. It subscribes its own handlers to
// the socket, the timer and the process starter; front ends pass on only their controls' events.
class FrmCv {
public:
    FrmCv(const Ports& ports, const Folders& folders, link::Endpoint controlServer,
          std::chrono::milliseconds timeout = link::kDefaultTimeout);
    // The ports hold handlers bound to this very object.
    FrmCv(const FrmCv&) = delete;
    FrmCv& operator=(const FrmCv&) = delete;

    // Window load: caption, then the saved identification. The front end shows the window after.
    void formLoad();
    // A character typed into IdentInst; returns the code to pass on to the box (always unchanged).
    char16_t identInstKeyPress(char16_t code);
    void conectarClick() { controller_.conectarClick(); }
    void sistemaClick() { remoteDesktop_.sistemaClick(controller_.conectado(), dadosAcesso_); }
    void lumoClick() { web_.lumoClick(controller_.conectado(), dadosAcesso_); }

    [[nodiscard]] bool conectado() const { return controller_.conectado(); }
    [[nodiscard]] const link::DadosAcesso& dadosAcesso() const { return dadosAcesso_; }
    [[nodiscard]] const store::IdentificationStore& identificationStore() const { return store_; }

private:
    // Subscribed to the socket and the timer when the window is built.
    void timer1Timer() { controller_.timer1Timer(); }
    void winsock1DataArrival() { controller_.winsock1DataArrival(); }

    ports::View& view_;
    link::DadosAcesso dadosAcesso_;
    store::IdentificationStore store_;
    link::ConnectionController controller_;
    launch::RemoteDesktopLauncher remoteDesktop_;
    launch::WebLauncher web_;
};

[[nodiscard]] std::string windowCaption();

}  // namespace corvalis::app
