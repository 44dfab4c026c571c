#include <gtest/gtest.h>

#include "app/frm_cv.hpp"
#include "fakes.hpp"
#include "text/path.hpp"

namespace corvalis::test {
namespace {

using namespace std::chrono_literals;
using Strings = std::vector<std::string>;

const std::string kGreetingBytes = "Conex\xE3o_OK";
const std::string kRefusalBytes = "Empresa: N\xE3o foi localizado um registro n\xE3o cancelado.";
const std::string kRecordBytes = "10.0.0.7|a|b|3390|8080|c|d|e|f";
const Strings kGreenSequence{"hide vermelho", "show verde", "move verde 1800"};
// Apart, so that each file is looked for in its own folder.
const app::Folders kFolders{"/app", "/config"};

class ConnectionTest : public ::testing::Test {
protected:
    std::string savedFile() const {
        return files_.files_.at(window_.identificationStore().filePath());
    }

    void connectAndGreet(std::string_view identification) {
        view_.box_ = identification;
        window_.conectarClick();
        socket_.accept();
        socket_.receive(kGreetingBytes);
    }

    FakeView view_;
    FakeSocket socket_;
    FakeTimer timer_;
    FakeFileSystem files_;
    RecordingProcessStarter starter_;
    RecordingBrowser browser_;
    app::FrmCv window_{
        {view_, socket_, timer_, files_, starter_, browser_}, kFolders, {"control.test", 20404}};
};

TEST_F(ConnectionTest, ConnectNormalisesSavesArmsTheTimerAndConnects) {
    view_.box_ = "  ACME ";
    window_.conectarClick();
    EXPECT_EQ(std::tuple(view_.statuses_, view_.box_, savedFile(), view_.messages_),
              std::tuple(Strings{"Estabelecendo conexão."}, "acme", "acme\r\n", Strings{}));
    EXPECT_EQ(std::tuple(timer_.running_, timer_.interval_), std::tuple(true, 15000ms));
    EXPECT_EQ(std::tuple(socket_.host_, socket_.port_, socket_.connects_),
              std::tuple("control.test", 20404, 1));

    // Pressed again while pending: closed, connected anew, the countdown restarted.
    window_.conectarClick();
    EXPECT_EQ(std::tuple(socket_.connects_, socket_.closes_, timer_.starts_), std::tuple(2, 2, 2));
}

TEST_F(ConnectionTest, FullExchangeSendsTheRequestAndTurnsTheLightGreen) {
    connectAndGreet("  ACME ");
    // Nothing appended to the request; only the close before connecting.
    EXPECT_EQ(std::tuple(view_.status(), socket_.sent_, timer_.running_, window_.conectado()),
              std::tuple("Iniciando a conexão.", Strings{"PEL_acme"}, false, false));
    EXPECT_EQ(std::tuple(socket_.closes_, view_.lightEvents_), std::tuple(1, Strings{}));

    socket_.receive(kRecordBytes);
    EXPECT_EQ(std::tuple(view_.status(), window_.conectado(), window_.dadosAcesso()),
              std::tuple("Conexão Ativada.", true, link::DadosAcesso{"10.0.0.7", "3390", "8080"}));
    EXPECT_EQ(std::tuple(view_.lightEvents_, socket_.closes_, view_.messages_),
              std::tuple(kGreenSequence, 2, Strings{}));
    // The connection file is the program's, wherever the identification is kept.
    window_.sistemaClick();
    EXPECT_EQ(starter_.started_.at(0).freeRdpArguments.at(0),
              text::joinPath("/app", "Tol-Cloud.rdp"));
    starter_.end(137);  // how it ended reaches the window
    EXPECT_EQ(view_.messages_, Strings{std::string(launch::kServerUnreachableMessage)});
}

TEST_F(ConnectionTest, EmptyBoxAsksForTheLoginButBlanksOnlySendABareRequest) {
    window_.conectarClick();
    EXPECT_EQ(view_.messages_, Strings{"Informe o login de acesso ao servidor de controle."});
    EXPECT_EQ(std::tuple(view_.statuses_, files_.writes_, socket_.connects_, timer_.running_),
              std::tuple(Strings{}, 0, 0, false));

    connectAndGreet("   ");
    EXPECT_EQ(std::tuple(view_.box_, savedFile(), socket_.sent_, view_.messages_.size()),
              std::tuple("", "\r\n", Strings{"PEL_"}, 1u));
}

TEST_F(ConnectionTest, EditsAfterConnectGoOutAndComeBackAsTyped) {
    view_.box_ = "acme";
    window_.conectarClick();
    view_.box_ = "Ação X";
    socket_.accept();
    socket_.receive(kGreetingBytes);
    EXPECT_EQ(socket_.sent_, Strings{"PEL_A\xE7\xE3o X"});

    view_.box_ = "Edited ";
    socket_.receive(kRefusalBytes);
    EXPECT_EQ(view_.status(), "O LOGIN está incorreto. 'Edited ' não foi encontrado na tabela.");
    EXPECT_EQ(std::tuple(window_.conectado(), view_.lightEvents_, socket_.closes_),
              std::tuple(false, Strings{}, 2));
}

TEST_F(ConnectionTest, ConnectWhileGreenDropsTheAccessWithoutTraffic) {
    connectAndGreet("acme");
    socket_.receive(kRecordBytes);
    const int writesBefore = files_.writes_;
    view_.lightEvents_.clear();

    window_.conectarClick();
    EXPECT_EQ(std::tuple(view_.status(), window_.conectado(), view_.lightEvents_),
              std::tuple("Conexão desativada.", false, Strings{"hide verde", "show vermelho"}));
    // The red sequence moves nothing; the access data are kept, but unusable.
    EXPECT_EQ(std::tuple(view_.lights_[ports::Light::Verde].left, window_.dadosAcesso().servidor),
              std::tuple(1800, "10.0.0.7"));
    EXPECT_EQ(std::tuple(socket_.connects_, socket_.closes_, files_.writes_),
              std::tuple(1, 3, writesBefore));

    window_.sistemaClick();
    window_.lumoClick();
    EXPECT_EQ(view_.messages_, Strings(2, std::string(launch::kNotConnectedMessage)));
    EXPECT_EQ(std::tuple(starter_.started_.size(), browser_.opened_.size()), std::tuple(0u, 0u));

    // The green light, not conectado, decides.
    view_.lights_[ports::Light::Verde].visible = true;
    window_.conectarClick();
    EXPECT_EQ(std::tuple(view_.statuses_.size(), socket_.connects_), std::tuple(5u, 1));
}

// The time-out is the interval the window was given; it repeats until data arrives.
TEST_F(ConnectionTest, TimeoutKeepsFiringUntilDataArrives) {
    app::FrmCv window{
        {view_, socket_, timer_, files_, starter_, browser_}, kFolders, {"control.test", 1}, 250ms};
    view_.box_ = "acme";
    window.conectarClick();
    EXPECT_EQ(timer_.interval_, 250ms);
    timer_.expire();
    timer_.expire();
    const std::string timeout = "Falha na conexão com servidor da Drevant.";
    EXPECT_EQ(std::tuple(view_.statuses_, timer_.running_, socket_.closes_),
              std::tuple(Strings{"Estabelecendo conexão.", timeout, timeout}, true, 3));

    window.conectarClick();
    socket_.accept();
    socket_.receive(kGreetingBytes);
    EXPECT_FALSE(timer_.running_);
}

TEST_F(ConnectionTest, FailuresAreReportedAndWhatWasDoneStaysDone) {
    files_.failWrites_ = true;
    socket_.connectStarts_ = false;
    view_.box_ = "ACME";
    window_.conectarClick();
    EXPECT_EQ(view_.messages_, (Strings{"Ocorreu erro no procedimento 'tratarIni'.",
                                        "Ocorreu erro no procedimento de conexão após etapa 6"}));
    EXPECT_EQ(std::tuple(view_.status(), view_.box_, timer_.running_, socket_.connects_),
              std::tuple("Estabelecendo conexão.", "acme", true, 1));
}

TEST_F(ConnectionTest, GreetingTextWhileNotConnectedIsTakenAsARecord) {
    view_.box_ = "acme";
    window_.conectarClick();
    socket_.receive(kGreetingBytes);
    EXPECT_EQ(std::tuple(socket_.sent_, window_.conectado(), window_.dadosAcesso().servidor),
              std::tuple(Strings{}, true, "Conexão_OK"));
}

TEST_F(ConnectionTest, LaterArrivalsClearConectadoAndOverwriteOnlyWhatTheyCarry) {
    connectAndGreet("acme");
    socket_.receive(kRecordBytes);
    socket_.accept();
    socket_.receive(kGreetingBytes);
    EXPECT_FALSE(window_.conectado());
    EXPECT_TRUE(view_.lights_[ports::Light::Verde].visible);  // the light stays as it was

    view_.lightEvents_.clear();
    socket_.receive("10.0.0.9|x|y|4000");
    EXPECT_EQ(std::tuple(window_.dadosAcesso(), view_.lightEvents_),
              std::tuple(link::DadosAcesso{"10.0.0.9", "4000", "8080"}, kGreenSequence));
}

TEST_F(ConnectionTest, LoadSetsTheCaptionAndFillsTheBoxEnterOnlyMovesTheFocus) {
    files_.files_[text::joinPath("/config", "pelmark.ini")] = "acme\r\n";
    window_.formLoad();
    EXPECT_EQ(std::tuple(view_.caption_, view_.box_), std::tuple("Corvalis 01.07", "acme"));

    for (const std::string box : {"", "acme"}) {
        view_.box_ = box;
        view_.focus_.reset();
        EXPECT_EQ(window_.identInstKeyPress(13), 13);
        EXPECT_EQ(view_.focus_, app::ControlId::Conectar);
    }
    view_.focus_.reset();
    EXPECT_EQ(window_.identInstKeyPress(u'a'), u'a');
    EXPECT_FALSE(view_.focus_);
    // Enter never presses Conectar: no message for the empty box, no connection for "acme".
    EXPECT_EQ(std::tuple(view_.messages_, socket_.connects_), std::tuple(Strings{}, 0));
}

}  // namespace
}  // namespace corvalis::test
