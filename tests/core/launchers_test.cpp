#include <gtest/gtest.h>

#include "fakes.hpp"
#include "launch/launchers.hpp"
#include "text/path.hpp"

namespace corvalis::launch {
namespace {

using Strings = std::vector<std::string>;

class LauncherTest : public ::testing::Test {
protected:
    test::FakeView view_;
    test::RecordingProcessStarter starter_;
    test::RecordingBrowser browser_;
    RemoteDesktopLauncher remoteDesktop_{view_, starter_, "/opt/My Apps/Corvalis"};
    WebLauncher web_{view_, browser_};
    link::DadosAcesso dados_{"10.0.0.7", "3390", "8080"};
};

TEST_F(LauncherTest, GuardsNotConnectedThenEachButtonsOwnPortZero) {
    remoteDesktop_.sistemaClick(false, dados_);
    web_.lumoClick(false, dados_);
    const std::string connectFirst =
        "É necessário conectar para atualizar os dados antes de acessar os servidores.";
    const std::string sales = "Solicite ao Dpto. Comercial a liberação deste acesso.";
    web_.lumoClick(true, {"10.0.0.7", "3390", "0"});
    remoteDesktop_.sistemaClick(true, {"10.0.0.7", "0", "8080"});
    EXPECT_EQ(view_.messages_, (Strings{connectFirst, connectFirst, sales, sales}));
    EXPECT_EQ(std::tuple(starter_.started_.size(), browser_.opened_.size()), std::tuple(0u, 0u));

    remoteDesktop_.sistemaClick(true, {"10.0.0.7", "3390", "0"});
    web_.lumoClick(true, {"10.0.0.7", "0", "8080"});
    EXPECT_EQ(std::tuple(starter_.started_.size(), browser_.opened_.size()), std::tuple(1u, 1u));
}

TEST_F(LauncherTest, RemoteDesktopCommandLineAndFreeRdpArguments) {
    remoteDesktop_.sistemaClick(true, dados_);
    ASSERT_EQ(starter_.started_.size(), 1u);
    EXPECT_EQ(starter_.started_[0].commandLine,
              "mstsc.exe \"/opt/My Apps/Corvalis\\Tol-Cloud.rdp\" /V:10.0.0.7:3390");
    EXPECT_EQ(
        starter_.started_[0].freeRdpArguments,
        (Strings{text::joinPath("/opt/My Apps/Corvalis", "Tol-Cloud.rdp"), "/v:10.0.0.7:3390"}));

    // Started, then declined at the credentials: neither is told; only a start that failed is.
    starter_.result_ = ports::StartResult::Cancelled;
    remoteDesktop_.sistemaClick(true, dados_);
    starter_.result_ = ports::StartResult::NotStarted;
    remoteDesktop_.sistemaClick(true, dados_);
    EXPECT_EQ(view_.messages_,
              Strings{"Não foi possível iniciar o cliente de área de trabalho remota."});
}

TEST_F(LauncherTest, FreeRdpFailuresAreToldAndEndedSessionsAreNot) {
    const std::string error = "O cliente de área de trabalho remota terminou com erro";
    const std::vector<std::pair<std::optional<int>, std::optional<std::string>>> cases = {
        {0, {}},  // the session ran and the user closed it
        {127, {}},
        {128, error + " (código 128)."},
        {143,
         "O certificado do servidor de área de trabalho remota mudou desde a última conexão. "
         "Por segurança, a conexão foi recusada: avise o suporte."},
        {255, error + " (código 255)."},
        {std::nullopt, error + "."},  // ended by a signal
    };
    for (const auto& [status, message] : cases) {
        view_.messages_.clear();
        remoteDesktop_.remoteDesktopEnded(status);
        EXPECT_EQ(view_.messages_, message ? Strings{*message} : Strings{}) << status.value_or(-1);
    }
}

TEST_F(LauncherTest, WebUrlAndEmptyPortsThatPassTheGuards) {
    web_.lumoClick(true, dados_);
    web_.lumoClick(true, {"[fe80::1]", "0", "80"});
    web_.lumoClick(true, {"onlyhost", "", ""});
    remoteDesktop_.sistemaClick(true, {"onlyhost", "", ""});
    EXPECT_EQ(browser_.opened_, (Strings{"http://10.0.0.7:8080/lumo", "http://[fe80::1]:80/lumo",
                                         "http://onlyhost:/lumo"}));
    ASSERT_EQ(starter_.started_.size(), 1u);
    EXPECT_EQ(starter_.started_[0].freeRdpArguments[1], "/v:onlyhost:");
    EXPECT_TRUE(starter_.started_[0].commandLine.ends_with("\\Tol-Cloud.rdp\" /V:onlyhost:"));
}

TEST_F(LauncherTest, OnlyHostAndPortCharactersReachACommandLineOrUrl) {
    EXPECT_TRUE(isSafeAccessValue("azAZ09.-_:[]") && isSafeAccessValue(""));
    for (const char* unsafe : {"\"", " ", "&", "/", "?", "#", "@", "`", "{", "\\", "\n", "\xC3"}) {
        EXPECT_FALSE(isSafeAccessValue(std::string("a") + unsafe)) << unsafe;
    }
    for (const link::DadosAcesso& hostile : std::vector<link::DadosAcesso>{
             {"10.0.0.7\" /admin \"x", "3390", "8080"},
             {"host", "3390 /restrictedAdmin", "8080 "},
             {std::string("h\0st", 4), "3390", "8080"},
         }) {
        remoteDesktop_.sistemaClick(true, hostile);
        web_.lumoClick(true, hostile);
    }
    EXPECT_EQ(view_.messages_, Strings(6, std::string(kInvalidAccessDataMessage)));
    EXPECT_EQ(std::tuple(starter_.started_.size(), browser_.opened_.size()), std::tuple(0u, 0u));
}

}  // namespace
}  // namespace corvalis::launch
