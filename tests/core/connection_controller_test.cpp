#include <gtest/gtest.h>

#include "app/frm_cv.hpp"
#include "fakes.hpp"

namespace corvalis::test {
namespace {

using namespace std::chrono_literals;
using app::Light;

const std::string kGreetingBytes = "Conex\xE3o_OK";
const std::string kRefusalBytes = "Empresa: N\xE3o foi localizado um registro n\xE3o cancelado.";
const std::string kRecordBytes = "10.0.0.7|a|b|3390|8080|c|d|e|f";

class ConnectionTest : public ::testing::Test {
protected:
    std::string savedFile() const {
        return files_.files_.at(window_.identificationStore().filePath());
    }

    // Connect, then the server accepts and greets.
    void connectAndGreet(std::string_view identification) {
        view_.box_ = identification;
        window_.conectarClick();
        socket_.accept();
        socket_.receive(kGreetingBytes);
        window_.winsock1DataArrival();
    }

    void reply(std::string_view bytes) {
        socket_.receive(bytes);
        window_.winsock1DataArrival();
    }

    FakeView view_;
    FakeSocket socket_;
    FakeTimer timer_;
    FakeFileSystem files_;
    RecordingProcessStarter starter_;
    RecordingBrowser browser_;
    app::FrmCv window_{
        {view_, socket_, timer_, files_, starter_, browser_}, "/app", {"control.test", 20404}};
};

TEST_F(ConnectionTest, ConnectNormalisesSavesArmsTheTimerAndConnects) {
    view_.box_ = "  ACME ";
    window_.conectarClick();

    EXPECT_EQ(view_.statuses_, std::vector<std::string>{"Estabelecendo conexão."});
    EXPECT_EQ(view_.box_, "acme");
    EXPECT_EQ(savedFile(), "acme\r\n");
    EXPECT_TRUE(timer_.running_);
    EXPECT_EQ(timer_.interval_, 15000ms);
    EXPECT_EQ(socket_.host_, "control.test");
    EXPECT_EQ(socket_.port_, 20404);
    EXPECT_EQ(socket_.connects_, 1);
    EXPECT_TRUE(view_.messages_.empty());
}

TEST_F(ConnectionTest, FullExchangeSendsTheRequestAndTurnsTheLightGreen) {
    connectAndGreet("  ACME ");
    EXPECT_EQ(view_.status(), "Iniciando a conexão.");
    ASSERT_EQ(socket_.sent_.size(), 1u);
    EXPECT_EQ(socket_.sent_[0], "PEL_acme");  // nothing appended
    EXPECT_FALSE(timer_.running_);
    EXPECT_FALSE(window_.conectado());
    EXPECT_EQ(socket_.closes_, 1);  // only the close before connecting

    view_.lightEvents_.clear();
    reply(kRecordBytes);
    EXPECT_EQ(view_.status(), "Conexão Ativada.");
    EXPECT_TRUE(window_.conectado());
    EXPECT_EQ(window_.dadosAcesso(), (link::DadosAcesso{"10.0.0.7", "3390", "8080"}));
    EXPECT_EQ(view_.lightEvents_,
              (std::vector<std::string>{"hide vermelho", "show verde", "move verde 1800"}));
    EXPECT_EQ(view_.greenLeft_, 1800);
    EXPECT_EQ(socket_.closes_, 2);
    EXPECT_TRUE(view_.messages_.empty());
}

TEST_F(ConnectionTest, BlanksOnlyPassTheEmptinessTestAndSendABareRequest) {
    connectAndGreet("   ");
    EXPECT_EQ(view_.box_, "");
    EXPECT_EQ(savedFile(), "\r\n");
    EXPECT_EQ(socket_.sent_, std::vector<std::string>{"PEL_"});
    EXPECT_TRUE(view_.messages_.empty());
}

TEST_F(ConnectionTest, EmptyBoxAsksForTheLoginAndDoesNothingElse) {
    window_.conectarClick();
    EXPECT_EQ(view_.messages_,
              std::vector<std::string>{"Informe o login de acesso ao servidor de controle."});
    EXPECT_TRUE(view_.statuses_.empty());
    EXPECT_EQ(files_.writes_, 0);
    EXPECT_EQ(socket_.connects_, 0);
    EXPECT_FALSE(timer_.running_);
}

TEST_F(ConnectionTest, RefusalNamesTheIdentificationAsTheBoxNowHoldsIt) {
    connectAndGreet("acme");
    view_.box_ = "Edited ";  // typed after Connect: goes out as it stands
    view_.lightEvents_.clear();
    reply(kRefusalBytes);

    EXPECT_EQ(view_.status(), "O LOGIN está incorreto. 'Edited ' não foi encontrado na tabela.");
    EXPECT_FALSE(window_.conectado());
    EXPECT_TRUE(view_.lightEvents_.empty());
    EXPECT_TRUE(view_.redVisible_);
    EXPECT_EQ(socket_.closes_, 2);
}

TEST_F(ConnectionTest, RequestCarriesAnEditMadeBeforeTheGreeting) {
    view_.box_ = "acme";
    window_.conectarClick();
    view_.box_ = "Ação X";
    socket_.accept();
    reply(kGreetingBytes);
    EXPECT_EQ(socket_.sent_, std::vector<std::string>{"PEL_A\xE7\xE3o X"});
}

TEST_F(ConnectionTest, ConnectWhileGreenDropsTheAccessWithoutTraffic) {
    connectAndGreet("acme");
    reply(kRecordBytes);
    const int connectsBefore = socket_.connects_;
    const int writesBefore = files_.writes_;
    view_.lightEvents_.clear();

    window_.conectarClick();

    EXPECT_EQ(view_.status(), "Conexão desativada.");
    EXPECT_FALSE(window_.conectado());
    EXPECT_EQ(view_.lightEvents_, (std::vector<std::string>{"hide verde", "show vermelho"}));
    EXPECT_EQ(view_.greenLeft_, 1800);  // the red sequence moves nothing
    EXPECT_EQ(socket_.connects_, connectsBefore);
    EXPECT_EQ(files_.writes_, writesBefore);
    EXPECT_EQ(window_.dadosAcesso().servidor, "10.0.0.7");  // kept, but unusable

    window_.sistemaClick();
    window_.lumoClick();
    EXPECT_EQ(view_.messages_.size(), 2u);
    EXPECT_EQ(view_.messages_[0], launch::kNotConnectedMessage);
    EXPECT_TRUE(starter_.started_.empty());
    EXPECT_TRUE(browser_.opened_.empty());
}

TEST_F(ConnectionTest, TheGreenLightNotConectadoDecidesTheDrop) {
    view_.box_ = "acme";
    view_.greenVisible_ = true;  // conectado is still false
    window_.conectarClick();
    EXPECT_EQ(view_.status(), "Conexão desativada.");
    EXPECT_EQ(socket_.connects_, 0);
}

TEST_F(ConnectionTest, TimeoutKeepsFiringUntilDataArrives) {
    view_.box_ = "acme";
    window_.conectarClick();
    window_.timer1Timer();
    window_.timer1Timer();
    EXPECT_EQ(view_.statuses_,
              (std::vector<std::string>{"Estabelecendo conexão.",
                                        "Falha na conexão com servidor da Drevant.",
                                        "Falha na conexão com servidor da Drevant."}));
    EXPECT_TRUE(timer_.running_);
    EXPECT_EQ(socket_.closes_, 3);

    // A new Connect restarts the countdown; the greeting then stops the timer for good.
    window_.conectarClick();
    EXPECT_EQ(timer_.starts_, 2);
    socket_.accept();
    reply(kGreetingBytes);
    EXPECT_FALSE(timer_.running_);
}

TEST_F(ConnectionTest, ConnectWhilePendingClosesAndConnectsAnew) {
    view_.box_ = "acme";
    window_.conectarClick();
    window_.conectarClick();
    EXPECT_EQ(socket_.connects_, 2);
    EXPECT_EQ(socket_.closes_, 2);
    EXPECT_EQ(timer_.starts_, 2);
}

TEST_F(ConnectionTest, InjectedTimeoutIsTheTimersInterval) {
    app::FrmCv shortWindow{{view_, socket_, timer_, files_, starter_, browser_},
                           "/app",
                           {"control.test", 20404},
                           250ms};
    view_.box_ = "acme";
    shortWindow.conectarClick();
    EXPECT_EQ(timer_.interval_, 250ms);
}

TEST_F(ConnectionTest, ConnectThatCannotStartReportsStepSix) {
    socket_.connectStarts_ = false;
    view_.box_ = "ACME";
    window_.conectarClick();
    EXPECT_EQ(view_.messages_,
              std::vector<std::string>{"Ocorreu erro no procedimento de conexão após etapa 6"});
    // What the earlier steps did stays done.
    EXPECT_EQ(view_.status(), "Estabelecendo conexão.");
    EXPECT_EQ(view_.box_, "acme");
    EXPECT_EQ(savedFile(), "acme\r\n");
    EXPECT_TRUE(timer_.running_);
}

TEST_F(ConnectionTest, FailedSaveIsReportedAndTheAttemptGoesOn) {
    files_.failWrites_ = true;
    view_.box_ = "acme";
    window_.conectarClick();
    EXPECT_EQ(view_.messages_,
              std::vector<std::string>{"Ocorreu erro no procedimento 'tratarIni'."});
    EXPECT_EQ(socket_.connects_, 1);
}

TEST_F(ConnectionTest, GreetingTextWhileNotConnectedIsTakenAsARecord) {
    view_.box_ = "acme";
    window_.conectarClick();
    reply(kGreetingBytes);  // the socket never reported connected
    EXPECT_TRUE(socket_.sent_.empty());
    EXPECT_TRUE(window_.conectado());
    EXPECT_EQ(window_.dadosAcesso().servidor, "Conexão_OK");
}

TEST_F(ConnectionTest, AnyArrivalClearsConectado) {
    connectAndGreet("acme");
    reply(kRecordBytes);
    ASSERT_TRUE(window_.conectado());
    socket_.accept();
    reply(kGreetingBytes);
    EXPECT_FALSE(window_.conectado());
    EXPECT_TRUE(view_.greenVisible_);  // the light stays as it was
}

TEST_F(ConnectionTest, SecondAcceptedReplyOverwritesOnlyWhatItCarries) {
    connectAndGreet("acme");
    reply(kRecordBytes);
    window_.conectarClick();  // drop
    connectAndGreet("acme");
    view_.lightEvents_.clear();
    reply("10.0.0.9|x|y|4000");
    EXPECT_EQ(window_.dadosAcesso(), (link::DadosAcesso{"10.0.0.9", "4000", "8080"}));
    EXPECT_EQ(view_.lightEvents_,
              (std::vector<std::string>{"hide vermelho", "show verde", "move verde 1800"}));
}

TEST_F(ConnectionTest, HostileRepliesAreDecodedAndNeverCrash) {
    connectAndGreet("acme");
    std::string hostile(1024 * 1024, '\0');
    hostile[0] = '\xFF';
    hostile[5] = '|';
    reply(hostile);
    EXPECT_TRUE(window_.conectado());
    EXPECT_EQ(window_.dadosAcesso().servidor, std::string("\xC3\xBF\0\0\0\0", 6));
    window_.sistemaClick();
    EXPECT_EQ(view_.messages_.back(), launch::kInvalidAccessDataMessage);
    EXPECT_TRUE(starter_.started_.empty());
}

TEST_F(ConnectionTest, LoadSetsTheCaptionAndFillsTheBox) {
    files_.files_[window_.identificationStore().filePath()] = "acme\r\n";
    window_.formLoad();
    EXPECT_EQ(view_.caption_, "Corvalis 01.07");
    EXPECT_EQ(view_.box_, "acme");
    EXPECT_TRUE(view_.messages_.empty());
}

TEST_F(ConnectionTest, EnterMovesTheFocusToConectarAndNothingElse) {
    for (const std::string box : {"", "acme"}) {
        view_.box_ = box;
        view_.focus_.reset();
        EXPECT_EQ(window_.identInstKeyPress(13), 13);
        EXPECT_EQ(view_.focus_, app::ControlId::Conectar);
    }
    EXPECT_EQ(window_.identInstKeyPress(u'a'), u'a');
    EXPECT_TRUE(view_.statuses_.empty());
    EXPECT_TRUE(view_.lightEvents_.empty());
    EXPECT_TRUE(view_.messages_.empty());
    EXPECT_EQ(socket_.connects_, 0);
}

}  // namespace
}  // namespace corvalis::test
