#include "link/connection_controller.hpp"

#include <string>
#include <utility>

namespace corvalis::link {

std::string refusalStatus(std::string_view identification) {
    std::string status = "O LOGIN está incorreto. '";
    status += identification;
    status += "' não foi encontrado na tabela.";
    return status;
}

ConnectionController::ConnectionController(ports::View& view, ports::Socket& socket,
                                           ports::Timer& timer, store::IdentificationStore& store,
                                           DadosAcesso& dadosAcesso, Endpoint controlServer,
                                           std::chrono::milliseconds timeout)
    : view_(view),
      socket_(socket),
      timer_(timer),
      store_(store),
      dadosAcesso_(dadosAcesso),
      controlServer_(std::move(controlServer)),
      timeout_(timeout) {}

void ConnectionController::conectarClick() {
    int etapa = 0;
    // The green light, not conectado, tells whether this click drops the access.
    if (view_.isLightVisible(ports::Light::Verde)) {
        disconnect();
        return;
    }
    // Blanks alone pass: the emptiness test is on the raw text.
    if (view_.identification().empty()) {
        view_.showMessage(kEmptyIdentificationMessage);
        return;
    }
    try {
        startAttempt(etapa);
    } catch (...) {
        reportFailure(etapa);
    }
}

void ConnectionController::startAttempt(int& etapa) {
    etapa = 1;
    view_.setStatus(kStatusConnecting);

    etapa = 2;
    view_.setIdentification(store::normaliseIdentification(view_.identification()));

    etapa = 3;  // the box now holds the normalised text; the request reads it from there

    etapa = 4;
    store_.tratarIni(false);  // reports its own failures; the attempt goes on regardless

    etapa = 5;
    timer_.start(timeout_);

    etapa = 6;
    socket_.close();
    socket_.setRemoteHost(controlServer_.host);
    socket_.setRemotePort(controlServer_.port);
    if (!socket_.connect()) {
        reportFailure(etapa);
    }
}

void ConnectionController::reportFailure(int etapa) {
    view_.showMessage(std::string(kConnectFailurePrefix) + std::to_string(etapa));
}

void ConnectionController::disconnect() {
    socket_.close();
    showRedLight();
    conectado_ = false;
    view_.setStatus(kStatusDisconnected);
}

void ConnectionController::timer1Timer() {
    // The timer keeps running: only a data arrival stops it.
    socket_.close();
    view_.setStatus(kStatusTimeout);
}

void ConnectionController::winsock1DataArrival() {
    const std::string message = socket_.getData();
    conectado_ = false;
    timer_.stop();
    switch (classify(message, socket_.isConnected())) {
        case MessageKind::Greeting:
            view_.setStatus(kStatusGreeted);
            // The box as it is now: an edit made after Connect goes out unnormalised.
            socket_.sendData(request(view_.identification()));
            break;
        case MessageKind::AccessRecord:
            tratarRegistro(message, dadosAcesso_);
            view_.setStatus(kStatusAccepted);
            conectado_ = true;
            showGreenLight();
            socket_.close();
            break;
        case MessageKind::Refusal:
            view_.setStatus(refusalStatus(view_.identification()));
            socket_.close();
            break;
    }
}

void ConnectionController::showRedLight() {
    view_.setLightVisible(ports::Light::Verde, false);
    view_.setLightVisible(ports::Light::Vermelho, true);
}

void ConnectionController::showGreenLight() {
    view_.setLightVisible(ports::Light::Vermelho, false);
    view_.setLightVisible(ports::Light::Verde, true);
    view_.setLightLeft(ports::Light::Verde, view_.lightLeft(ports::Light::Vermelho));
}

}  // namespace corvalis::link
