// Conectar, Timer1 and Winsock1 through the real window against a control server on loopback.
#include <gtest/gtest.h>

#include "support.hpp"

namespace corvalis::win32::testing {
namespace {

using app::ControlId;

constexpr auto kShortTimeout = 300ms;
constexpr std::wstring_view kAccepted = L"Conexão Ativada.";

class Connect : public ::testing::Test {
protected:
    void open(ServerScript script, std::string host = "127.0.0.1") {
        server = std::make_unique<LoopbackControlServer>(std::move(script));
        ASSERT_NE(server->port(), 0);
        frm = std::make_unique<WindowHarness>(MainWindowOptions{
            utf8(folder.path()), link::Endpoint{std::move(host), server->port()}, kShortTimeout});
        ASSERT_TRUE(frm->open());
    }

    void connectWith(const wchar_t* identification) {
        SetWindowTextW(frm->control(ControlId::IdentInst), identification);
        frm->click(ControlId::Conectar);
    }

    bool statusBecomes(std::wstring_view status) {
        return frm->pumpUntil([&] { return frm->text(ControlId::Aviso) == status; });
    }

    TestFolder folder;
    MessageBoxWatcher boxes;
    std::unique_ptr<LoopbackControlServer> server;
    std::unique_ptr<WindowHarness> frm;
};

TEST_F(Connect, AcceptedRecordNormalisesSavesRequestsAndTurnsTheLightGreen) {
    open({true, std::string(kAccessRecord)});
    const RECT redPlace = frm->bounds(ControlId::sinalVermelho);
    connectWith(L"  ACME ");

    EXPECT_EQ(frm->text(ControlId::Aviso), L"Estabelecendo conexão.");
    EXPECT_EQ(frm->text(ControlId::IdentInst), L"acme");
    EXPECT_EQ(readBytes(folder.identificationFile()), "acme\r\n");

    ASSERT_TRUE(statusBecomes(kAccepted));
    EXPECT_EQ(server->requests(), std::vector<std::string>{"PEL_acme"});
    EXPECT_TRUE(frm->isShown(ControlId::sinalVerde));
    EXPECT_FALSE(frm->isShown(ControlId::sinalVermelho));
    EXPECT_TRUE(sameRect(redPlace, frm->bounds(ControlId::sinalVerde)));
    EXPECT_TRUE(frm->pumpUntil([&] { return server->closedByClient() == 1; }));
    EXPECT_TRUE(boxes.seen().empty());
}

TEST_F(Connect, ConnectWhileGreenDropsTheAccessWithoutTraffic) {
    open({true, std::string(kAccessRecord)});
    const RECT redPlace = frm->bounds(ControlId::sinalVermelho);
    connectWith(L"acme");
    ASSERT_TRUE(statusBecomes(kAccepted));

    frm->click(ControlId::Conectar);
    EXPECT_EQ(frm->text(ControlId::Aviso), L"Conexão desativada.");
    EXPECT_TRUE(frm->isShown(ControlId::sinalVermelho));
    EXPECT_FALSE(frm->isShown(ControlId::sinalVerde));
    EXPECT_TRUE(sameRect(redPlace, frm->bounds(ControlId::sinalVermelho)));
    EXPECT_TRUE(sameRect(redPlace, frm->bounds(ControlId::sinalVerde)));
    frm->pumpFor(kQuietPeriod);
    EXPECT_EQ(server->connections(), 1);

    // Dropped: the launchers ask for a new connection first.
    frm->click(ControlId::Sistema);
    ASSERT_EQ(boxes.seen().size(), 1u);
    EXPECT_EQ(boxes.seen()[0].text,
              L"É necessário conectar para atualizar os dados antes de acessar os servidores.");
}

TEST_F(Connect, RefusalNamesTheIdentificationAndKeepsTheRedLight) {
    open({true, std::string(kRefusalBytes)});
    connectWith(L"Acme");
    ASSERT_TRUE(statusBecomes(L"O LOGIN está incorreto. 'acme' não foi encontrado na tabela."));
    EXPECT_EQ(server->requests(), std::vector<std::string>{"PEL_acme"});
    EXPECT_TRUE(frm->isShown(ControlId::sinalVermelho));
    EXPECT_FALSE(frm->isShown(ControlId::sinalVerde));
    EXPECT_TRUE(frm->pumpUntil([&] { return server->closedByClient() == 1; }));
}

TEST_F(Connect, SilentServerTimesOutAndTheSocketIsClosed) {
    open({false, ""});
    connectWith(L"acme");
    ASSERT_TRUE(frm->pumpUntil([&] { return server->connections() == 1; }));
    ASSERT_TRUE(statusBecomes(L"Falha na conexão com servidor da Drevant."));
    EXPECT_TRUE(frm->pumpUntil([&] { return server->closedByClient() == 1; }));

    // The timer keeps firing until data arrive: the text comes back after it is replaced.
    SetWindowTextW(frm->control(ControlId::Aviso), L"");
    EXPECT_TRUE(statusBecomes(L"Falha na conexão com servidor da Drevant."));
    EXPECT_TRUE(boxes.seen().empty());
}

TEST_F(Connect, GreetingStopsTheTimeOutEvenWithoutAReply) {
    open({true, ""});
    connectWith(L"acme");
    ASSERT_TRUE(statusBecomes(L"Iniciando a conexão."));
    frm->pumpFor(kShortTimeout * 3);
    EXPECT_EQ(frm->text(ControlId::Aviso), L"Iniciando a conexão.");
    EXPECT_EQ(server->requests(), std::vector<std::string>{"PEL_acme"});
}

TEST_F(Connect, EmptyIdentificationAsksForTheLoginAndDoesNothingElse) {
    open({true, std::string(kAccessRecord)});
    connectWith(L"");
    ASSERT_EQ(boxes.seen().size(), 1u);
    const SeenMessageBox box = boxes.seen()[0];
    EXPECT_EQ(box.title, L"Pelmark");
    EXPECT_EQ(box.text, L"Informe o login de acesso ao servidor de controle.");
    EXPECT_EQ(box.buttons, std::vector<std::wstring>{L"OK"});
    EXPECT_FALSE(box.hasIcon);
    EXPECT_TRUE(box.ownerVisible);
    frm->pumpFor(kQuietPeriod);
    EXPECT_EQ(frm->text(ControlId::Aviso), L"Conexão Desativada");
    EXPECT_EQ(server->connections(), 0);
    EXPECT_EQ(readBytes(folder.identificationFile()), "");
}

TEST_F(Connect, BlanksOnlyPassAndSendTheBarePrefix) {
    open({true, std::string(kAccessRecord)});
    connectWith(L"   ");
    ASSERT_TRUE(statusBecomes(kAccepted));
    EXPECT_EQ(frm->text(ControlId::IdentInst), L"");
    EXPECT_EQ(server->requests(), std::vector<std::string>{"PEL_"});
    EXPECT_EQ(readBytes(folder.identificationFile()), "\r\n");
}

TEST_F(Connect, NonAsciiIdentificationTravelsAsWindows1252) {
    open({true, std::string(kAccessRecord)});
    connectWith(L"AÇÃO");
    ASSERT_TRUE(statusBecomes(kAccepted));
    EXPECT_EQ(frm->text(ControlId::IdentInst), L"ação");
    EXPECT_EQ(server->requests(), std::vector<std::string>{"PEL_a\xE7\xE3o"});
    EXPECT_EQ(readBytes(folder.identificationFile()), "a\xE7\xE3o\r\n");
}

TEST_F(Connect, HostNameIsResolvedBeforeConnecting) {
    open({true, std::string(kAccessRecord)}, "localhost");
    connectWith(L"acme");
    ASSERT_TRUE(statusBecomes(kAccepted));
    EXPECT_EQ(server->requests(), std::vector<std::string>{"PEL_acme"});
}

TEST_F(Connect, ConnectAgainWhilePendingReconnects) {
    open({false, ""});
    connectWith(L"acme");
    ASSERT_TRUE(frm->pumpUntil([&] { return server->connections() == 1; }));
    frm->click(ControlId::Conectar);
    EXPECT_TRUE(frm->pumpUntil([&] { return server->connections() == 2; }));
    EXPECT_TRUE(frm->pumpUntil([&] { return server->closedByClient() >= 1; }));
}

TEST_F(Connect, UnwritableFileIsReportedAndTheAttemptGoesOn) {
    open({true, std::string(kAccessRecord)});
    std::filesystem::remove(folder.identificationFile());
    std::filesystem::create_directory(folder.identificationFile());
    connectWith(L"acme");
    ASSERT_EQ(boxes.seen().size(), 1u);
    EXPECT_EQ(boxes.seen()[0].text, L"Ocorreu erro no procedimento 'tratarIni'.");
    EXPECT_TRUE(statusBecomes(kAccepted));
}

}  // namespace
}  // namespace corvalis::win32::testing
