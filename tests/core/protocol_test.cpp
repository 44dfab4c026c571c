#include <gtest/gtest.h>

#include "link/control_server.hpp"
#include "link/protocol.hpp"

namespace corvalis::link {
namespace {

const std::string kRefusal = "N\xE3o foi localizado um registro n\xE3o cancelado.";
const std::string kGreeting = "Conex\xE3o_OK";

TEST(Classify, GreetingOnlyWhileConnectedAndOnlyExactly) {
    EXPECT_EQ(classify(kGreeting, true), MessageKind::Greeting);
    for (const std::string& other :
         {std::string("conex\xE3o_ok"), kGreeting + "\r\n", std::string("Conexao_OK"),
          kGreeting.substr(1), kGreeting + std::string(1, '\0')}) {
        EXPECT_EQ(classify(other, true), MessageKind::AccessRecord) << other;
    }
    EXPECT_EQ(classify(kGreeting, false), MessageKind::AccessRecord);
}

TEST(Classify, RefusalIsTheLastFortyFiveCharactersUpperCased) {
    ASSERT_EQ(kRefusal.size(), 45u);
    for (const std::string& refusal :
         {kRefusal, "anything | before counts for nothing " + kRefusal,
          std::string("n\xE3o foi localizado um registro n\xE3o cancelado."),
          std::string("N\xC3O FOI LOCALIZADO UM REGISTRO N\xC3O CANCELADO.")}) {
        EXPECT_EQ(classify(refusal, false), MessageKind::Refusal) << refusal;
    }
    // Anything after the text makes it a record; a shorter text is compared whole; "a" is not "ã".
    for (const std::string& record :
         {kRefusal + " ", kRefusal + "\r\n", kRefusal.substr(1), std::string(),
          std::string("Nao foi localizado um registro nao cancelado.")}) {
        EXPECT_EQ(classify(record, true), MessageKind::AccessRecord) << record;
    }
}

TEST(Request, PrefixPlusIdentificationInWindows1252NothingAppended) {
    EXPECT_EQ(std::tuple(request("acme"), request(""), request("ação")),
              std::tuple("PEL_acme", "PEL_", "PEL_a\xE7\xE3o"));
}

DadosAcesso parsed(std::string_view reply, DadosAcesso before = {}) {
    tratarRegistro(reply, before);
    return before;
}

TEST(TratarRegistro, ItemsZeroThreeFourEmptyForZeroMissingKept) {
    EXPECT_EQ(parsed("10.0.0.7|a|b|3390|8080|c|d|e|f"), (DadosAcesso{"10.0.0.7", "3390", "8080"}));
    EXPECT_EQ(parsed("h|1|2|3|4|5|6|7|8|9|10|11"), (DadosAcesso{"h", "3", "4"}));
    EXPECT_EQ(parsed("a||b|c|"), (DadosAcesso{"a", "c", "0"}));
    EXPECT_EQ(parsed("|x|y||"), (DadosAcesso{"0", "0", "0"}));
    EXPECT_EQ(parsed("|"), (DadosAcesso{"0", "", ""}));
    EXPECT_EQ(parsed("onlyhost"), (DadosAcesso{"onlyhost", "", ""}));
    const DadosAcesso first{"10.0.0.7", "3390", "8080"};
    EXPECT_EQ(parsed("10.0.0.9|x|y|4000", first), (DadosAcesso{"10.0.0.9", "4000", "8080"}));
    EXPECT_EQ(parsed("", first), first);
    EXPECT_EQ(parsed("s\xE3o|a|b|\x80|\xFF"), (DadosAcesso{"são", "€", "ÿ"}));
}

TEST(ControlServer, OverrideFormsAndFallBackToTheBuiltInServer) {
    EXPECT_EQ(parseEndpoint("example.test", 20404), (Endpoint{"example.test", 20404}));
    EXPECT_EQ(parseEndpoint("127.0.0.1:4000", 20404), (Endpoint{"127.0.0.1", 4000}));
    EXPECT_EQ(parseEndpoint("[::1]:4000", 20404), (Endpoint{"::1", 4000}));
    EXPECT_EQ(parseEndpoint("[::1]", 20404), (Endpoint{"::1", 20404}));
    EXPECT_EQ(parseEndpoint("::1", 20404), (Endpoint{"::1", 20404}));
    for (const char* bad : {"", ":4000", "host:", "host:0", "host:65536", "host:12x", "[::1",
                            "[::1]x", "two words"}) {
        EXPECT_EQ(parseEndpoint(bad, 20404), std::nullopt) << bad;
    }
    const Endpoint builtIn = controlServer(nullptr);
    EXPECT_EQ(std::tuple(builtIn.port, controlServer("host:99999")), std::tuple(20404, builtIn));
    EXPECT_EQ(controlServer("127.0.0.1:5000"), (Endpoint{"127.0.0.1", 5000}));
}

}  // namespace
}  // namespace corvalis::link
