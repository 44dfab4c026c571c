#pragma once

#include <chrono>
#include <string>
#include <string_view>

#include "link/control_server.hpp"
#include "link/protocol.hpp"
#include "ports/socket.hpp"
#include "ports/timer.hpp"
#include "ports/view.hpp"
#include "store/identification_store.hpp"

namespace corvalis::link {

inline constexpr std::chrono::milliseconds kDefaultTimeout{15000};

inline constexpr std::string_view kStatusDisconnected = "Conexão desativada.";
inline constexpr std::string_view kStatusConnecting = "Estabelecendo conexão.";
inline constexpr std::string_view kStatusGreeted = "Iniciando a conexão.";
inline constexpr std::string_view kStatusAccepted = "Conexão Ativada.";
inline constexpr std::string_view kStatusTimeout = "Falha na conexão com servidor da Drevant.";
inline constexpr std::string_view kEmptyIdentificationMessage =
    "Informe o login de acesso ao servidor de controle.";
inline constexpr std::string_view kConnectFailurePrefix =
    "Ocorreu erro no procedimento de conexão após etapa ";

[[nodiscard]] std::string refusalStatus(std::string_view identification);

// The behaviour behind Conectar, Timer1 and Winsock1. It owns conectado; the access data it fills
// belong to the window and are handed in.
class ConnectionController {
public:
    ConnectionController(ports::View& view, ports::Socket& socket, ports::Timer& timer,
                         store::IdentificationStore& store, DadosAcesso& dadosAcesso,
                         Endpoint controlServer,
                         std::chrono::milliseconds timeout = kDefaultTimeout);

    void conectarClick();
    void timer1Timer();
    void winsock1DataArrival();

    [[nodiscard]] bool conectado() const { return conectado_; }

private:
    void disconnect();
    void startAttempt(int& etapa);
    void reportFailure(int etapa);
    void showRedLight();
    void showGreenLight();

    ports::View& view_;
    ports::Socket& socket_;
    ports::Timer& timer_;
    store::IdentificationStore& store_;
    DadosAcesso& dadosAcesso_;
    Endpoint controlServer_;
    std::chrono::milliseconds timeout_;
    bool conectado_ = false;
};

}  // namespace corvalis::link
