#include <gtest/gtest.h>

#include "fakes.hpp"
#include "launch/launchers.hpp"
#include "text/path.hpp"

namespace corvalis::launch {
namespace {

using test::FakeView;
using test::RecordingBrowser;
using test::RecordingProcessStarter;

class LauncherTest : public ::testing::Test {
protected:
    FakeView view_;
    RecordingProcessStarter starter_;
    RecordingBrowser browser_;
    RemoteDesktopLauncher remoteDesktop_{view_, starter_, "/opt/My Apps/Corvalis"};
    WebLauncher web_{view_, browser_};
    link::DadosAcesso dados_{"10.0.0.7", "3390", "8080"};
};

TEST_F(LauncherTest, NotConnectedStartsNothingWhateverTheData) {
    remoteDesktop_.sistemaClick(false, dados_);
    web_.lumoClick(false, dados_);
    EXPECT_EQ(
        view_.messages_,
        std::vector<std::string>(
            2, "É necessário conectar para atualizar os dados antes de acessar os servidores."));
    EXPECT_TRUE(starter_.started_.empty());
    EXPECT_TRUE(browser_.opened_.empty());
}

TEST_F(LauncherTest, EachButtonTestsItsOwnPortForZero) {
    const std::string salesMessage = "Solicite ao Dpto. Comercial a liberação deste acesso.";
    web_.lumoClick(true, {"10.0.0.7", "3390", "0"});
    EXPECT_EQ(view_.messages_, std::vector<std::string>{salesMessage});
    EXPECT_TRUE(browser_.opened_.empty());

    remoteDesktop_.sistemaClick(true, {"10.0.0.7", "3390", "0"});
    EXPECT_EQ(starter_.started_.size(), 1u);

    remoteDesktop_.sistemaClick(true, {"10.0.0.7", "0", "8080"});
    EXPECT_EQ(view_.messages_.back(), salesMessage);
    EXPECT_EQ(starter_.started_.size(), 1u);
}

TEST_F(LauncherTest, RemoteDesktopCommandLineAndFreeRdpArguments) {
    remoteDesktop_.sistemaClick(true, dados_);
    ASSERT_EQ(starter_.started_.size(), 1u);
    EXPECT_EQ(starter_.started_[0].commandLine,
              "mstsc.exe \"/opt/My Apps/Corvalis\\Tol-Cloud.rdp\" /V:10.0.0.7:3390");
    // The file in the platform's own spelling, as one argument; the target as another.
    EXPECT_EQ(starter_.started_[0].freeRdpArguments,
              (std::vector<std::string>{text::joinPath("/opt/My Apps/Corvalis", "Tol-Cloud.rdp"),
                                        "/v:10.0.0.7:3390"}));
    EXPECT_TRUE(view_.messages_.empty());
}

TEST_F(LauncherTest, WindowsFolderWithBlanksStaysInsideTheQuotes) {
    const RemoteDesktopCommand command =
        remoteDesktopCommand("C:\\Apps\\Client Área", {"10.0.0.7", "3390", "8080"});
    EXPECT_EQ(command.commandLine,
              "mstsc.exe \"C:\\Apps\\Client Área\\Tol-Cloud.rdp\" /V:10.0.0.7:3390");
}

TEST_F(LauncherTest, EmptyPortPassesTheGuardsAndEndsInAColon) {
    remoteDesktop_.sistemaClick(true, {"onlyhost", "", ""});
    web_.lumoClick(true, {"onlyhost", "", ""});
    ASSERT_EQ(starter_.started_.size(), 1u);
    EXPECT_EQ(starter_.started_[0].freeRdpArguments[1], "/v:onlyhost:");
    EXPECT_EQ(browser_.opened_, std::vector<std::string>{"http://onlyhost:/lumo"});
}

TEST_F(LauncherTest, WebUrl) {
    web_.lumoClick(true, dados_);
    EXPECT_EQ(browser_.opened_, std::vector<std::string>{"http://10.0.0.7:8080/lumo"});
    web_.lumoClick(true, {"[fe80::1]", "0", "80"});
    EXPECT_EQ(browser_.opened_.back(), "http://[fe80::1]:80/lumo");
}

TEST_F(LauncherTest, ValuesThatCouldInjectAnythingAreRefused) {
    for (const link::DadosAcesso& hostile : std::vector<link::DadosAcesso>{
             {"10.0.0.7\" /admin \"x", "3390", "8080"},
             {"host & calc.exe", "3390", "8080"},
             {"host", "3390 /restrictedAdmin", "8080 "},
             {"evil.test/phish?", "3390", "8080#"},
             {"h\xC3\xA3o", "3390", "8080"},
             {std::string("h\0st", 4), "3390", "8080"},
             {"host", "3390\n", "80\t"},
         }) {
        view_.messages_.clear();
        remoteDesktop_.sistemaClick(true, hostile);
        web_.lumoClick(true, hostile);
        EXPECT_EQ(view_.messages_,
                  std::vector<std::string>(
                      2, "Os dados de acesso recebidos do servidor de controle são inválidos."))
            << hostile.servidor;
    }
    EXPECT_TRUE(starter_.started_.empty());
    EXPECT_TRUE(browser_.opened_.empty());
}

TEST_F(LauncherTest, ClientThatCannotStartIsReported) {
    starter_.starts_ = false;
    remoteDesktop_.sistemaClick(true, dados_);
    EXPECT_EQ(
        view_.messages_,
        std::vector<std::string>{"Não foi possível iniciar o cliente de área de trabalho remota."});
}

}  // namespace
}  // namespace corvalis::launch
