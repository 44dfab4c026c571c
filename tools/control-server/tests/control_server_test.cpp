#include <gtest/gtest.h>
#include <signal.h>

#include <asio.hpp>
#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "server_process.hpp"

namespace corvalis::control_server {
namespace {

using namespace testing_support;

// The bytes the client expects, written out rather than taken from the server's headers.
const std::string greeting_bytes{'\x43', '\x6F', '\x6E', '\x65', '\x78',
                                 '\xE3', '\x6F', '\x5F', '\x4F', '\x4B'};
const std::string refusal_tail =
    "N\xE3o foi localizado um registro n\xE3o cancelado.";  // 45 Windows-1252 bytes

constexpr std::chrono::milliseconds test_idle_timeout{3000};
constexpr std::chrono::milliseconds short_idle_timeout{200};
// Long enough that the second half of a split request, sent a moment later, is still waited for.
constexpr std::chrono::milliseconds test_request_pause{300};
constexpr std::chrono::milliseconds gap_between_halves{20};
// How long a test listens for bytes that must not come.
constexpr std::chrono::milliseconds unasked_bytes_wait{100};
// Timers may fire this much before the nominal time as the test's own clock sees it.
constexpr std::chrono::milliseconds timer_slack{20};

std::string milliseconds_text(std::chrono::milliseconds duration) {
    return std::to_string(duration.count());
}

const std::string beta_record = "10.0.0.7|Beta|b|3390|8080|c|d|e|f";
const std::string acme_record = "127.0.0.1|Acme|a|3389|8080|x|y|z|w";
const std::string acme_branch_record = "10.0.0.8|Acme filial|a|3391|0|x|y|z|w";
const std::string accented_record = "sjose.example|S\xE3o Jos\xE9|a|0|8081|||z|";

std::string standard_table() {
    return "# test companies\r\n"
           "\r\n"
           "beta=" +
           beta_record +
           "\r\n"
           "acme=" +
           acme_record +
           "\n"
           "acme-filial=" +
           acme_branch_record +
           "\n"
           "!velha=10.0.0.9|Velha|a|3389|8080|x|y|z|w\n"
           "s\xE3o-jos\xE9=" +
           accented_record + "\n";
}

bool ends_with_refusal(const std::string& reply) {
    return reply.size() >= refusal_tail.size() &&
           reply.compare(reply.size() - refusal_tail.size(), refusal_tail.size(), refusal_tail) ==
               0;
}

class ControlServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        table_file_ = folder_.write("table.txt", standard_table());
        server_ = std::make_unique<ServerProcess>(std::vector<std::string>{
            "--table", table_file_.string(), "--idle-timeout", milliseconds_text(test_idle_timeout),
            "--request-pause", milliseconds_text(test_request_pause)});
    }
    void TearDown() override { EXPECT_EQ(server_->stop(), 0) << "server did not stop cleanly"; }

    std::uint16_t port() const { return server_->port(); }

    TemporaryFolder folder_;
    std::filesystem::path table_file_;
    std::unique_ptr<ServerProcess> server_;
};

TEST_F(ControlServerTest, GreetsAtOnceWithTheExactBytesAndNothingMore) {
    TestClient client(port());
    EXPECT_EQ(client.read(greeting_bytes.size()), greeting_bytes);
    EXPECT_EQ(client.read(1, unasked_bytes_wait), "") << "nothing may follow the greeting unasked";
}

TEST_F(ControlServerTest, AnswersKnownCompaniesWithTheirRecordAsStored) {
    EXPECT_EQ(exchange(port(), "PEL_beta"), beta_record);
    EXPECT_EQ(exchange(port(), "PEL_s\xE3o-jos\xE9"), accented_record);
    EXPECT_TRUE(server_->wait_for_log("127.0.0.1:"));
    EXPECT_TRUE(server_->wait_for_log("\"beta\" record"));
    EXPECT_TRUE(server_->wait_for_log("\"s\\xe3o-jos\\xe9\" record"));
}

TEST_F(ControlServerTest, RefusesUnknownCancelledAndDifferentlyWrittenCompanies) {
    for (const std::string request : {"PEL_nobody", "PEL_velha", "PEL_BETA", "PEL_beta ", "PEL_"}) {
        const auto reply = exchange(port(), request);
        EXPECT_EQ(reply, refusal_tail) << request;
        EXPECT_TRUE(ends_with_refusal(reply)) << request;
    }
    EXPECT_TRUE(server_->wait_for_log("\"nobody\" unknown"));
    EXPECT_TRUE(server_->wait_for_log("\"velha\" cancelled"));
    EXPECT_TRUE(server_->wait_for_log("\"BETA\" unknown"));
}

TEST_F(ControlServerTest, AssemblesARequestSplitAcrossWrites) {
    {
        TestClient client(port());
        ASSERT_EQ(client.read(greeting_bytes.size()), greeting_bytes);
        client.send("PEL_be");
        std::this_thread::sleep_for(gap_between_halves);
        client.send("ta");
        const auto reply = client.read_until_closed();
        EXPECT_EQ(reply.bytes, beta_record);
        EXPECT_TRUE(reply.closed_by_server);
    }
    {
        // "acme" is itself a company, so only the pause tells the server to wait for more.
        TestClient client(port());
        ASSERT_EQ(client.read(greeting_bytes.size()), greeting_bytes);
        client.send("PEL_acme");
        std::this_thread::sleep_for(gap_between_halves);
        client.send("-filial");
        EXPECT_EQ(client.read_until_closed().bytes, acme_branch_record);
    }
    EXPECT_EQ(exchange(port(), "PEL_acme"), acme_record) << "a company that prefixes another";
}

TEST_F(ControlServerTest, RefusesTextThatIsNotARequest) {
    EXPECT_EQ(exchange(port(), "GET / HTTP/1.0\r\n\r\n"), refusal_tail);
    EXPECT_TRUE(server_->wait_for_log("not-a-request"));
    EXPECT_EQ(exchange(port(), "PEL_beta"), beta_record);
}

TEST_F(ControlServerTest, RefusesAndClosesARequestOverOneKibibyte) {
    const std::string longest_allowed = "PEL_" + std::string(1020, 'x');
    EXPECT_EQ(exchange(port(), longest_allowed), refusal_tail);
    EXPECT_TRUE(server_->wait_for_log("xxx...\" unknown"));

    // One byte too many, and far too many: the refusal must still arrive whole, not be lost
    // to a reset when the server closes on unread bytes.
    for (const std::size_t excess : {std::size_t{1}, std::size_t{64 * 1024}}) {
        TestClient client(port());
        ASSERT_EQ(client.read(greeting_bytes.size()), greeting_bytes);
        client.send(longest_allowed + std::string(excess, 'x'));
        const auto reply = client.read_until_closed();
        EXPECT_EQ(reply.bytes, refusal_tail) << excess;
        EXPECT_TRUE(reply.closed_by_server) << excess;
    }
    EXPECT_TRUE(server_->wait_for_log("xxx...\" oversize", 2));

    EXPECT_EQ(exchange(port(), "PEL_beta"), beta_record) << "others are still served";
}

TEST_F(ControlServerTest, EscapesHostileBytesInTheLog) {
    const std::string forged = "2020-01-01T00:00:00.000Z 6.6.6.6:1 \"acme\" record";
    EXPECT_EQ(exchange(port(), "PEL_x\n" + forged + "\x1b[2J\"\\"), refusal_tail);
    ASSERT_TRUE(server_->wait_for_log("unknown"));
    for (const auto& line : server_->log_lines()) {
        EXPECT_FALSE(line.starts_with("2020-01-01")) << line;
        EXPECT_EQ(line.find('\x1b'), std::string::npos) << line;
    }
    EXPECT_TRUE(
        server_->wait_for_log("\"x\\x0a2020-01-01T00:00:00.000Z 6.6.6.6:1 \\x22acme\\x22 "
                              "record\\x1b[2J\\x22\\x5c\" unknown"));
}

TEST_F(ControlServerTest, AnswersAFloodOfParallelClientsCorrectly) {
    constexpr std::size_t client_count = 300;
    constexpr std::chrono::milliseconds flood_limit{20000};
    struct Expectation {
        std::string request;
        std::string reply;
    };
    const std::vector<Expectation> kinds = {{"PEL_beta", beta_record},
                                            {"PEL_s\xE3o-jos\xE9", accented_record},
                                            {"PEL_nobody", refusal_tail},
                                            {"PEL_velha", refusal_tail}};
    struct Client {
        explicit Client(asio::io_context& io) : socket(io) {}
        asio::ip::tcp::socket socket;
        std::string greeting = std::string(greeting_bytes.size(), '\0');
        std::string reply;
        bool closed_by_server = false;
    };

    asio::io_context io;
    const asio::ip::tcp::endpoint server_endpoint(asio::ip::address_v4::loopback(), port());
    std::vector<std::unique_ptr<Client>> clients;
    for (std::size_t index = 0; index < client_count; ++index) {
        clients.push_back(std::make_unique<Client>(io));
        Client& client = *clients.back();
        const std::string& request = kinds[index % kinds.size()].request;
        client.socket.async_connect(server_endpoint, [&client, &request](std::error_code error) {
            if (error) return;
            asio::async_read(client.socket, asio::buffer(client.greeting),
                             [&client, &request](std::error_code read_error, std::size_t) {
                                 if (read_error) return;
                                 asio::async_write(
                                     client.socket, asio::buffer(request),
                                     [&client](std::error_code write_error, std::size_t) {
                                         if (write_error) return;
                                         asio::async_read(
                                             client.socket, asio::dynamic_buffer(client.reply),
                                             [&client](std::error_code end, std::size_t) {
                                                 client.closed_by_server = end == asio::error::eof;
                                             });
                                     });
                             });
        });
    }
    io.run_for(flood_limit);

    std::size_t correct = 0;
    for (std::size_t index = 0; index < client_count; ++index) {
        const auto& client = *clients[index];
        const bool right = client.greeting == greeting_bytes &&
                           client.reply == kinds[index % kinds.size()].reply &&
                           client.closed_by_server;
        EXPECT_TRUE(right) << "client " << index << " got '" << client.reply << "'";
        correct += right ? 1 : 0;
    }
    EXPECT_EQ(correct, client_count);
}

TEST_F(ControlServerTest, ReloadsTheTableOnHangup) {
    EXPECT_EQ(exchange(port(), "PEL_beta"), beta_record);
    const std::string new_beta = "10.0.0.70|Beta|b|3399|0|c|d|e|f";
    const std::string gamma = "10.0.0.71|Gamma|g|3389|8080|c|d|e|f";
    folder_.write("table.txt",
                  "!acme=" + acme_record + "\nbeta=" + new_beta + "\ngamma=" + gamma + "\n");
    server_->send_signal(SIGHUP);
    ASSERT_TRUE(server_->wait_for_log("reloaded: 3 records, 1 cancelled"));
    EXPECT_EQ(exchange(port(), "PEL_beta"), new_beta);
    EXPECT_EQ(exchange(port(), "PEL_gamma"), gamma);
    EXPECT_EQ(exchange(port(), "PEL_acme"), refusal_tail);
    EXPECT_EQ(exchange(port(), "PEL_velha"), refusal_tail);
}

TEST_F(ControlServerTest, KeepsServingTheOldTableWhenTheNewOneIsBroken) {
    std::filesystem::remove(table_file_);
    server_->send_signal(SIGHUP);
    ASSERT_TRUE(server_->wait_for_log("not reloaded (cannot open"));
    EXPECT_EQ(exchange(port(), "PEL_beta"), beta_record);

    folder_.write("table.txt", "beta 10.0.0.1|b\n\x01\x02garbage\nbeta=only|three|items\n");
    server_->send_signal(SIGHUP);
    ASSERT_TRUE(server_->wait_for_log("not reloaded (no valid record)"));
    EXPECT_TRUE(server_->wait_for_log("line 1: no '='"));
    EXPECT_TRUE(server_->wait_for_log("line 2: control character"));
    EXPECT_TRUE(server_->wait_for_log("line 3: expected 9 items separated by '|', found 3"));
    EXPECT_EQ(exchange(port(), "PEL_beta"), beta_record);
    EXPECT_EQ(exchange(port(), "PEL_acme"), acme_record);
}

TEST(ControlServerLimits, ClosesAClientThatSendsNothingAfterTheIdleTime) {
    TemporaryFolder folder;
    const auto table = folder.write("table.txt", standard_table());
    ServerProcess server(
        {"--table", table.string(), "--idle-timeout", milliseconds_text(short_idle_timeout)});
    TestClient client(server.port());
    const auto connected = std::chrono::steady_clock::now();
    ASSERT_EQ(client.read(greeting_bytes.size()), greeting_bytes);
    const auto rest = client.read_until_closed();
    const auto waited = std::chrono::steady_clock::now() - connected;
    EXPECT_TRUE(rest.closed_by_server);
    EXPECT_EQ(rest.bytes, "");
    EXPECT_GE(waited, short_idle_timeout - timer_slack);
    EXPECT_TRUE(server.wait_for_log("127.0.0.1:"));
    EXPECT_TRUE(server.wait_for_log(" - idle"));
    EXPECT_EQ(exchange(server.port(), "PEL_beta"), beta_record);
    EXPECT_EQ(server.stop(), 0);
}

TEST(ControlServerLimits, RefusesConnectionsBeyondTheMaximumWhileServingTheOthers) {
    TemporaryFolder folder;
    const auto table = folder.write("table.txt", standard_table());
    ServerProcess server({"--table", table.string(), "--max-connections", "2"});
    auto first = std::make_unique<TestClient>(server.port());
    auto second = std::make_unique<TestClient>(server.port());
    ASSERT_EQ(first->read(greeting_bytes.size()), greeting_bytes);
    ASSERT_EQ(second->read(greeting_bytes.size()), greeting_bytes);
    {
        TestClient third(server.port());
        const auto refused = third.read_until_closed();
        EXPECT_TRUE(refused.closed_by_server);
        EXPECT_EQ(refused.bytes, "") << "no greeting past the maximum";
        EXPECT_TRUE(server.wait_for_log("over-limit"));
    }
    first->send("PEL_beta");
    EXPECT_EQ(first->read_until_closed().bytes, beta_record);
    second->send("PEL_acme-filial");
    EXPECT_EQ(second->read_until_closed().bytes, acme_branch_record);
    first.reset();
    second.reset();

    // The server notices the closes a moment later; then there is room again.
    constexpr std::size_t attempts = 50;
    constexpr std::chrono::milliseconds between_attempts{20};
    std::string greeting;
    for (std::size_t attempt = 0; attempt < attempts && greeting.empty(); ++attempt) {
        TestClient again(server.port());
        greeting = again.read(greeting_bytes.size());
        if (greeting.empty()) std::this_thread::sleep_for(between_attempts);
    }
    EXPECT_EQ(greeting, greeting_bytes);
    EXPECT_EQ(server.stop(), 0);
}

TEST(ControlServerStartup, ReportsMalformedLinesByNumberAndServesTheRest) {
    TemporaryFolder folder;
    const auto table = folder.write("table.txt",
                                    "# header\n"
                                    "beta=" +
                                        beta_record +
                                        "\n"
                                        "no separator at all\n"
                                        "short=1|2|3\n"
                                        "=10.0.0.1|a|b|1|2|c|d|e|f\n"
                                        "Upper=10.0.0.1|a|b|1|2|c|d|e|f\n"
                                        "beta=10.0.0.99|a|b|1|2|c|d|e|f\n"
                                        "long=1|2|3|4|5|6|7|8|9|10\n"
                                        "eq=10.0.0.3|a=b|b|1|2|c|d|e|f\n");
    ServerProcess server({"--table", table.string()});
    EXPECT_TRUE(server.wait_for_log("line 3: no '='"));
    EXPECT_TRUE(server.wait_for_log("line 4: expected 9 items separated by '|', found 3"));
    EXPECT_TRUE(server.wait_for_log("line 5: empty identification"));
    EXPECT_TRUE(server.wait_for_log("line 6: identification has a capital"));
    EXPECT_TRUE(server.wait_for_log("line 7: identification already given on line 2"));
    EXPECT_TRUE(server.wait_for_log("line 8: expected 9 items separated by '|', found 10"));
    EXPECT_TRUE(server.wait_for_log("loaded: 2 records, 0 cancelled"));
    EXPECT_EQ(exchange(server.port(), "PEL_beta"), beta_record);
    EXPECT_EQ(exchange(server.port(), "PEL_eq"), "10.0.0.3|a=b|b|1|2|c|d|e|f");
    EXPECT_EQ(exchange(server.port(), "PEL_short"), refusal_tail);
    EXPECT_EQ(exchange(server.port(), "PEL_Upper"), refusal_tail);
    EXPECT_EQ(server.stop(), 0);
}

TEST(ControlServerStartup, RejectsUnsafeOrIncompleteCommandLines) {
    TemporaryFolder folder;
    const auto table = folder.write("table.txt", standard_table());

    const auto remote = run_to_completion({"--table", table.string(), "--listen", "0.0.0.0"});
    EXPECT_NE(remote.exit_status, 0);
    EXPECT_NE(remote.standard_error.find("--allow-remote"), std::string::npos);

    const auto no_table = run_to_completion({"--port", "0"});
    EXPECT_NE(no_table.exit_status, 0);
    EXPECT_NE(no_table.standard_error.find("--table FILE is required"), std::string::npos);

    const auto missing = run_to_completion({"--table", (folder.path() / "absent").string()});
    EXPECT_NE(missing.exit_status, 0);
    EXPECT_NE(missing.standard_error.find("unusable (cannot open"), std::string::npos);

    const auto bad_timeout =
        run_to_completion({"--table", table.string(), "--idle-timeout", "soon"});
    EXPECT_NE(bad_timeout.exit_status, 0);
    EXPECT_NE(bad_timeout.standard_error.find("--idle-timeout needs"), std::string::npos);
}

}  // namespace
}  // namespace corvalis::control_server
