// Drives the real server program over loopback TCP, with its table in a temporary file.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <deque>
#include <fstream>
#include <regex>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

namespace {

// Generous bound for anything the server should do promptly; only reached when a test fails.
constexpr std::chrono::milliseconds kPrompt{5000};
constexpr std::chrono::milliseconds kRequestPause{250};
// Well inside the pause, so the server waits for the second piece of a request sent in two.
constexpr std::chrono::milliseconds kGapBetweenPieces{20};
constexpr std::chrono::milliseconds kRetryStep{10};
// Short, so that a silent client is closed soon; longer than the pause.
constexpr std::chrono::milliseconds kShortIdleTimeout{1000};
// Longer than the short idle time-out: only what is answered without the pause is answered.
constexpr std::chrono::milliseconds kLongRequestPause{60000};
constexpr std::chrono::milliseconds kDripInterval{1000};

// Socket reads give up after kPrompt.
const timeval kReadLimit{kPrompt.count() / 1000, 0};

// The wire texts as the client knows them, in Windows-1252.
const std::string kGreeting = "Conex\xE3o_OK";
const std::string kRefusal = "N\xE3o foi localizado um registro n\xE3o cancelado.";
// Only the first '=' on a line ends the identification.
const std::string kBeta = "10.0.0.7|Beta|b|3390|8080|c|d=e|e|f";
const std::string kAcme = "127.0.0.1|Acme|a|3389|8080|x|y|z|w";
const std::string kAcmeBranch = "10.0.0.8|Acme filial|a|3391|0|x|y|z|w";
const std::string kAccented = "sjose.example|S\xE3o Jos\xE9|a|0|8081|||z|";
const std::string kTable = "  # test companies\r\n\t\r\nbeta=" + kBeta + "\r\nacme=" + kAcme +
                           "\nacme-filial=" + kAcmeBranch + "\n!velha=" + kAcme +
                           "\ns\xE3o-jos\xE9=" + kAccented + "\n";

// The real program as a child, serving `tableText` on a free loopback port with the test's
// request pause; `options` come after those and win; a non-zero `loadSignal` is sent to it while
// it loads the table; a non-zero `openFiles` is its open-file limit. Its standard error and output
// come back through a socket; the constructor returns once the program listens or has ended.
struct Server {
    explicit Server(const std::string& tableText, std::vector<std::string> options = {},
                    int loadSignal = 0, rlimit openFiles = {}) {
        std::ofstream(table, std::ios::binary) << tableText;
        options.insert(options.begin(),
                       {CORVALIS_CONTROL_SERVER_PROGRAM, "--table", table, "--port", "0",
                        "--request-pause", std::to_string(kRequestPause.count())});
        std::vector<char*> argv;
        for (auto& option : options) argv.push_back(option.data());
        argv.push_back(nullptr);
        // A socket rather than a pipe, so that reading the log can time out.
        int ends[2];
        EXPECT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends), 0);
        setsockopt(ends[0], SOL_SOCKET, SO_RCVTIMEO, &kReadLimit, sizeof kReadLimit);
        if ((pid = fork()) == 0) {
            dup2(ends[1], STDOUT_FILENO);
            dup2(ends[1], STDERR_FILENO);
            // A test that asks for the journal gets it on this socket.
            if (struct stat log{}; getenv("JOURNAL_STREAM") && fstat(STDERR_FILENO, &log) == 0)
                setenv("JOURNAL_STREAM",
                       (std::to_string(log.st_dev) + ":" + std::to_string(log.st_ino)).c_str(), 1);
            if (openFiles.rlim_max > 0) setrlimit(RLIMIT_NOFILE, &openFiles);
            execv(argv[0], argv.data());
            _exit(127);
        }
        close(ends[1]);
        logSocket = ends[0];
        // Once the program has read the whole table ("rchar" in its io counts) it is parsing it;
        // 500 looks a kRetryStep apart make kPrompt.
        for (std::size_t got = 0, looks = 0; loadSignal && got < tableText.size() && ++looks < 500;
             std::this_thread::sleep_for(kRetryStep))
            std::ifstream("/proc/" + std::to_string(pid) + "/io").ignore(6) >> got;
        if (loadSignal) kill(pid, loadSignal);
        if (!nextLog("listening on ").empty()) port = std::atoi(&log[log.find(':', seen) + 1]);
    }
    // Stops the program and expects it to end with `exitStatus`, killing it if it does not end.
    ~Server() {
        if (pid > 0) kill(pid, SIGTERM);  // never signal -1: that reaches every process
        int status = -1;
        for (auto waited = kRetryStep; pid > 0 && waitpid(pid, &status, WNOHANG) == 0;
             waited += kRetryStep) {
            kill(pid, waited > kPrompt ? SIGKILL : 0);
            std::this_thread::sleep_for(kRetryStep);
        }
        EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, exitStatus) << log;
        close(logSocket);
        unlink(table.c_str());
    }

    // The next whole log line holding `text`, searching on from the last one found; "" if none
    // comes.
    std::string nextLog(std::string_view text) {
        std::size_t found;
        while ((found = log.find(text, seen)) == std::string::npos ||
               log.find('\n', found) == std::string::npos) {
            char chunk[4096];
            const auto count = read(logSocket, chunk, sizeof chunk);
            if (count <= 0) return {};
            log.append(chunk, static_cast<std::size_t>(count));
        }
        const auto start = log.rfind('\n', found) + 1;  // 0 on the first line
        seen = found + text.size();
        return log.substr(start, log.find('\n', found) - start);
    }

    static inline int started = 0;
    const std::string table = testing::TempDir() + "corvalis-table-" + std::to_string(getpid()) +
                              "-" + std::to_string(++started);
    pid_t pid = -1;
    int exitStatus = 0;  // a refused start ends with its own status before SIGTERM comes
    std::uint16_t port = 0;
    int logSocket = -1;
    std::string log;  // all read so far
    std::size_t seen = 0;
};

// A blocking loopback client, from 127.0.0.1 or another loopback address, whose reads give up
// after kPrompt.
struct Client {
    explicit Client(std::uint16_t port, in_addr_t from = INADDR_LOOPBACK) {
        setsockopt(socket, SOL_SOCKET, SO_RCVTIMEO, &kReadLimit, sizeof kReadLimit);
        const sockaddr_in source{AF_INET, 0, {htonl(from)}, {}};
        const sockaddr_in address{AF_INET, htons(port), {htonl(INADDR_LOOPBACK)}, {}};
        EXPECT_EQ(bind(socket, reinterpret_cast<const sockaddr*>(&source), sizeof source), 0);
        EXPECT_EQ(connect(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    }
    ~Client() { close(socket); }

    // Sends `bytes` a moment after whatever came before, so that the server reads them apart;
    // no bytes end the sending side.
    void send(const std::string& bytes) {
        std::this_thread::sleep_for(kGapBetweenPieces);
        EXPECT_EQ(bytes.empty() ? shutdown(socket, SHUT_WR)
                                : ::send(socket, bytes.data(), bytes.size(), MSG_NOSIGNAL),
                  static_cast<ssize_t>(bytes.size()));
    }

    // Up to `count` bytes, fewer if the server closes (`closed` then tells) or goes quiet.
    std::string read(std::size_t count = SIZE_MAX) {
        std::string bytes;
        char chunk[4096];
        ssize_t got = 1;
        while (bytes.size() < count &&
               (got = recv(socket, chunk, std::min(sizeof chunk, count - bytes.size()), 0)) > 0) {
            bytes.append(chunk, static_cast<std::size_t>(got));
        }
        closed = got == 0;
        return bytes;
    }

    int socket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    bool closed = false;
};

// The pieces of a request, sent a moment apart after the greeting; the reply; the outcome logged.
using Exchange = std::tuple<std::vector<std::string>, std::string, std::string>;

// Each exchange must draw the greeting, the reply and the server's close, and a log line
// stamped with this month's UTC time and the client's address.
void check(Server& server, const std::vector<Exchange>& exchanges) {
    char month[9];  // "YYYY-MM-"
    const std::time_t now = std::time(nullptr);
    std::strftime(month, sizeof month, "%Y-%m-", std::gmtime(&now));
    for (const auto& [pieces, reply, logged] : exchanges) {
        Client client(server.port);
        EXPECT_EQ(client.read(kGreeting.size()), kGreeting) << logged;
        for (const auto& piece : pieces) client.send(piece);
        EXPECT_EQ(client.read(), reply) << logged;
        EXPECT_TRUE(client.closed) << logged;
        const auto line = server.nextLog(logged);
        EXPECT_TRUE(line.starts_with(month) && line.find("Z 127.0.0.1:") == 23)
            << logged << " logged as: " << line;
    }
}

TEST(Table, AnswersTheRecordOrTheRefusalAndReportsTheLinesItSkips) {
    const std::string items = "=10.0.0.1|a|b|3389|8080|c|d|e|f\n";
    Server server(kTable + "no separator\nshort=1|2|3\nlong=1|2|3|4|5|6|7|8|9|10\n" + items +
                  "Upper" + items + "s\xC3o" + items + " pad" + items + "pad " + items + "acme" +
                  items + "ctl=1|2\x01|3|4|5|6|7|8|9");
    for (const std::string problem :
         {"line 8: no '='", "line 9: expected 9 items separated by '|', found 3", "', found 10",
          "line 11: empty identification", "line 12: identification has a capital",
          "line 13: identification has a capital",
          "line 14: identification starts or ends with a blank", "line 15: identification starts",
          "line 16: identification already given on line 4", "line 17: control character"})
        EXPECT_NE(server.log.find(problem), std::string::npos) << problem;
    EXPECT_NE(server.log.find("loaded: 5 records, 1 cancelled"), std::string::npos);
    check(server, {{{"PEL_s\xE3o-jos\xE9"}, kAccented, "\"s\\xe3o-jos\\xe9\" record"},
                   {{"PEL_be", "ta"}, kBeta, "\"beta\" record"},
                   // "acme" is a company too: only the pause tells the server to wait for more.
                   {{"PEL_acme", "-filial"}, kAcmeBranch, "\"acme-filial\" record"},
                   // The first of two lines naming a company counts.
                   {{"PEL_acme"}, kAcme, "\"acme\" record"},
                   {{"PEL_velha"}, kRefusal, "\"velha\" cancelled"},
                   {{"PEL_BETA"}, kRefusal, "\"BETA\" unknown"},
                   {{"PEL_"}, kRefusal, "\"\" unknown"},
                   {{"GET / HTTP/1.0\r\n\r\n"}, kRefusal, " - not-a-request"},
                   // Bytes from the network can neither forge nor break log lines.
                   {{"PEL_x\n\"\\"}, kRefusal, "\"x\\x0a\\x22\\x5c\" unknown"}});
}

// Answered at once, without the pause: a company that no longer identification extends, and bytes
// that can never become one. Closed when idle, but never while answering: not even a request that
// comes with its deadline.
TEST(Limits, AnswersAtOnceWhatCannotGrowAndClosesSilentClientsButNeverOneBeingAnswered) {
    // Its record, larger than the socket buffers take at once, shows a reply cut short.
    const std::string row = "z=host|" + std::string(1 << 20, 'b') + "|b|1|2|c|d|e|f";
    Server server(kTable + row, {"--idle-timeout", std::to_string(kShortIdleTimeout.count()),
                                 "--request-pause", std::to_string(kLongRequestPause.count())});
    check(server, {{{"PEL_beta"}, kBeta, "\"beta\" record"},
                   {{"PEL_" + std::string(1020, 'x')}, kRefusal, "xxx...\" unknown"},
                   {{"PEL_" + std::string(1021, 'x')}, kRefusal, "xxx...\" oversize"},
                   // The refusal must arrive whole, not be lost to a reset when the server
                   // closes on unread bytes.
                   {{"PEL_" + std::string(8 << 20, 'x')}, kRefusal, "xxx...\" oversize"},
                   // "acm" may yet become "acme", until the client's close ends the request.
                   {{"PEL_acm", ""}, kRefusal, "\"acm\" unknown"},
                   {{}, "", " - idle"}});
    std::deque<Client> clients;
    while (clients.size() < 8) clients.emplace_back(server.port).read(kGreeting.size());
    // Frozen past their deadlines, the server then finds each request with its expired deadline.
    kill(server.pid, SIGSTOP);
    std::this_thread::sleep_for(kShortIdleTimeout);
    for (auto& client : clients) client.send("PEL_z");
    kill(server.pid, SIGCONT);
    // The requests went in this order and are logged in it: only those logged as answered, and
    // all of them, get the whole reply (the others are idle and get nothing).
    for (auto& client : clients)
        EXPECT_EQ("z=" + client.read() == row, server.nextLog("Z 127.0.0.1:").ends_with(" record"));
}

TEST(Limits, ClientsFromOneAddressCannotCrowdOutTheOthersNorGrowTheServer) {
    // Newer AddressSanitizers give every thread a "fake stack" of several MiB, filled as calls go
    // deeper; without it the growth measured is the server's own.
    setenv("ASAN_OPTIONS", "detect_stack_use_after_return=0", 1);
    Server server(kTable, {"--max-connections", "1000", "--max-per-address", "16"});
    unsetenv("ASAN_OPTIONS");
    // Resident memory less what files back (the code): statm's second number less its third.
    long pages = 0, pagesBefore = 0, filePages = 0;
    std::ifstream("/proc/" + std::to_string(server.pid) + "/statm") >> pages >> pagesBefore >>
        filePages;
    pagesBefore -= filePages;
    // Whether the next `count` lines logged about 127.0.0.2 all tell `why`; read as they come,
    // for the server waits for its log.
    const auto dropped = [&](std::string_view why, int count) {
        while (count > 0 && server.nextLog("127.0.0.2:").ends_with(why)) --count;
        return count == 0;
    };
    std::deque<Client> flood;
    for (int index = 0; index < 1000; ++index) flood.emplace_back(server.port, INADDR_LOOPBACK + 1);
    EXPECT_TRUE(dropped("over-address-limit", 984));
    // Half the 16 let in send a byte a second; the others' garbage and cut requests are served.
    for (const char byte : std::string("PEL")) {
        for (std::size_t index = 1; index < 16; index += 2) flood[index].send({byte});
        EXPECT_TRUE(dropped("not-a-request", byte == 'P' ? 8 : 0));  // refused after the pause
        check(server, {{{"PEL_beta"}, kBeta, "\"beta\" record"},
                       {{std::string(1 << 20, '\x9c')}, kRefusal, " - not-a-request"},
                       {{"PEL_acme-fil"}, kRefusal, "\"acme-fil\" unknown"}});
        std::this_thread::sleep_for(kDripInterval);
    }
    std::ifstream("/proc/" + std::to_string(server.pid) + "/statm") >> pages >> pages >> filePages;
    pages -= filePages;
    EXPECT_LT((pages - pagesBefore) * sysconf(_SC_PAGESIZE), 1 << 20);
    flood.clear();  // unread bytes make each close a reset: the flood vanishes
    EXPECT_TRUE(dropped("error (Connection reset by peer)", 8));
    EXPECT_EQ(Client(server.port, INADDR_LOOPBACK + 1).read(kGreeting.size()), kGreeting);
}

TEST(Limits, ClosesConnectionsBeyondTheMaximumUnansweredAndFreesClosedOnesAtOnce) {
    // It raises its open-file limit as far as it may; the 32 descriptors it keeps for itself and 1
    // connection fit in 33: no warning.
    Server server(kTable, {"--max-connections", "1"}, 0, {24, 33});
    EXPECT_EQ(server.log.find("warning"), std::string::npos);
    Client first(server.port), over(server.port);
    EXPECT_TRUE(over.read().empty() && over.closed && !server.nextLog(" - over-limit").empty());
    first.send("");
    EXPECT_NE(server.nextLog(" - closed"), "");
    EXPECT_EQ(Client(server.port).read(kGreeting.size()), kGreeting);
}

TEST(Limits, WaitsOutAShortageOfDescriptorsAndOutlivesItsLogReader) {
    Server server(kTable, {}, 0, {24, 24});  // room for about 15 connections
    EXPECT_NE(server.log.find("1024 is above what the open-file limit of 24"), std::string::npos);
    std::deque<Client> clients;
    for (int index = 0; index < 20; ++index) clients.emplace_back(server.port);
    EXPECT_NE(server.nextLog("accept failed"), "");
    // Leaving clients free descriptors; the ones kept waiting are then served.
    clients.erase(clients.begin(), clients.begin() + 10);
    for (auto& client : clients) EXPECT_EQ(client.read(kGreeting.size()), kGreeting);

    shutdown(server.logSocket, SHUT_RD);  // the log's reader is gone: writing to it fails
    clients.back().send("PEL_beta");
    EXPECT_EQ(clients.back().read(), kBeta);
}

TEST(Reload, HangupSwapsTablesEvenWhileLoadingWithoutCuttingAnswersAndKeepsTheOldOneIfNeedBe) {
    // Far larger than the socket buffers, so it is still being sent when the table changes.
    const std::string big = "host|" + std::string(16 << 20, 'b') + "|b|1|2|c|d|e|f";
    const std::string newBeta = "10.0.0.70|Beta|b|3399|0|c|d|e|f";
    // Millions of blank lines make the table slow to load; a hangup meanwhile is done once it is
    // loaded.
    Server server(std::string(8 << 20, '\n') + kTable + "big=" + big + "\n", {}, SIGHUP);
    EXPECT_NE(server.nextLog("reloaded: 6 records"), "");
    for (const auto& [text, logged] : std::vector<std::tuple<std::string, std::string>>{
             {"beta=" + newBeta + "\nbig=" + big, "reloaded: 2 records, 0 cancelled"},
             {"beta 10.0.0.1|b\n", "not reloaded (no valid record); keeping the 2 records"}}) {
        // In flight across the reload: a record being sent, and "acme" waiting out the pause.
        Client sending(server.port), waiting(server.port);
        sending.send("PEL_big");
        waiting.send("PEL_acme");
        EXPECT_EQ(sending.read(kGreeting.size() + 1), kGreeting + "h");
        std::ofstream(server.table, std::ios::binary) << text;
        kill(server.pid, SIGHUP);
        EXPECT_NE(server.nextLog(logged), "");
        EXPECT_TRUE(sending.read() == big.substr(1)) << "the record in flight was cut";
        const auto acme = waiting.read();
        EXPECT_TRUE(acme == kGreeting + kAcme || acme == kGreeting + kRefusal) << acme;
        check(server, {{{"PEL_beta"}, newBeta, "\"beta\" record"},
                       {{"PEL_acme"}, kRefusal, "\"acme\" unknown"}});
    }
}

// The table now comes through a pipe, which holds each reload until the test writes it: answers go
// on meanwhile, and hangups during a reload make one more after it, never one beside it.
TEST(Reload, ReadsBesideTheAnswersAndDoesAHangupAskedMeanwhileOnceAfter) {
    Server server(kTable);
    unlink(server.table.c_str()), mkfifo(server.table.c_str(), 0600), kill(server.pid, SIGHUP);
    for (const auto& [before, after] : {std::pair{kBeta, kAcme}, std::pair{kAcme, kAccented}}) {
        ASSERT_NE(server.nextLog("reloading"), "");  // and held by the pipe
        if (before == kBeta) kill(server.pid, SIGHUP), kill(server.pid, SIGHUP);
        check(server, {{{"PEL_beta"}, before, "\"beta\" record"}});
        std::ofstream(server.table) << "beta=" + after;
        EXPECT_NE(server.nextLog("reloaded: 1 records"), "");
    }
    check(server, {{{"PEL_beta"}, kAccented, "\"beta\" record"}});
    EXPECT_EQ(std::regex_replace(server.log, std::regex(".* (reload[a-z]+).*\n|.*\n"), "$1"),
              "reloadingreloadedreloadingreloaded");
}

TEST(Reload, AStopAskedForWhileTheTableLoadsEndsTheServerCleanlyOnceItIsLoaded) {
    EXPECT_NE(Server(std::string(8 << 20, '\n') + kTable, {}, SIGTERM).nextLog("stopping"), "");
}

// As systemd starts it: the manager hears when the table is in use, and the journal each line's
// priority.
TEST(Service, TellsTheManagerWhenItIsReadyOrReloadingAndTheJournalHowGraveEachLineIs) {
    sockaddr_un address{AF_UNIX, {}};
    ("/tmp/corvalis-notify-" + std::to_string(getpid())).copy(address.sun_path, 100);
    const int manager = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    bind(manager, reinterpret_cast<sockaddr*>(&address), sizeof address);
    setsockopt(manager, SOL_SOCKET, SO_RCVTIMEO, &kReadLimit, sizeof kReadLimit);
    setenv("NOTIFY_SOCKET", address.sun_path, 1), setenv("JOURNAL_STREAM", "", 1);
    Server server(kTable + "no separator\n");
    unsetenv("NOTIFY_SOCKET"), unsetenv("JOURNAL_STREAM");
    Client(server.port).send("PEL_velha");
    for (const auto& [text, logged] :
         {std::pair{"beta=" + kBeta, "reloaded"}, {"broken", "not reloaded"}}) {
        std::ofstream(server.table, std::ios::binary) << text;
        kill(server.pid, SIGHUP);
        EXPECT_NE(server.nextLog(logged), "");
    }
    std::string heard;
    for (char message[256]; std::count(heard.begin(), heard.end(), '|') < 5;)
        heard.append(message, std::max(0L, recv(manager, message, sizeof message, 0))) += "|";
    EXPECT_EQ(
        heard,
        "READY=1\nSTATUS=companies: 5|RELOADING=1|READY=1\nSTATUS=companies: 1|"
        "RELOADING=1|READY=1\nSTATUS=companies: 1; the last reload failed (no valid record)|");
    for (const std::string line : {"<4>.*line 8: no '='", "<5>.*loaded: 5 records",
                                   "<6>.*\"velha\" cancelled", "<3>.*not reloaded"})
        EXPECT_TRUE(std::regex_search(server.log, std::regex(line))) << line;
    close(manager), unlink(address.sun_path);
}

// Scraped with curl while one metrics client sends nothing and another reads nothing, the control
// port answers on, and the figures count what it did.
TEST(Metrics, CountForCurlWhatTheServerDidWhileSilentAndSlowScrapersHoldUpNothing) {
    Server server(kTable, {"--metrics", "127.0.0.1:0", "--max-per-address", "2"});
    const auto port = std::atoi(&server.log[server.log.find("metrics on 127.0.0.1:") + 21]);
    Client silent(port), slow(port), held(server.port, INADDR_LOOPBACK + 1),
        also(server.port, INADDR_LOOPBACK + 1);
    slow.send("GET /metrics HTTP/1.1\r\n\r\n");
    EXPECT_TRUE(Client(server.port, INADDR_LOOPBACK + 1).read().empty());
    check(server, {{{"PEL_beta"}, kBeta, "\"beta\" record"},
                   {{"PEL_velha"}, kRefusal, "\"velha\" cancelled"}});
    for (const auto& text : {std::string("broken"), kTable}) {
        std::ofstream(server.table, std::ios::binary) << text;
        kill(server.pid, SIGHUP);
        EXPECT_NE(server.nextLog("reloaded"), "");
    }
    FILE* curl =
        popen(("curl -sSf http://127.0.0.1:" + std::to_string(port) + "/metrics").c_str(), "r");
    std::string metrics;
    for (char chunk[4096]; const auto got = fread(chunk, 1, sizeof chunk, curl);)
        metrics.append(chunk, got);
    EXPECT_EQ(pclose(curl), 0);
    for (const std::string line :
         {"outcome=\"record\"} 1\n", "outcome=\"cancelled\"} 1\n", "limit=\"max-per-address\"} 1\n",
          "result=\"succeeded\"} 1\n", "result=\"failed\"} 1\n", "corvalis_companies 5\n",
          "corvalis_open_connections 2\n", "corvalis_last_good_reload_timestamp_seconds 1"})
        EXPECT_NE(metrics.find(line), std::string::npos) << line << metrics;
}

TEST(Balancer, BelievesTheHeaderOfTrustedProxiesOnlyAndClosesOnAFaultyOne) {
    Server server(kTable, {"--trusted-proxy", "127.0.0.0/31"});
    using namespace std::string_literals;
    const auto v1 = "PROXY TCP4 192.0.2.7 127.0.0.1 5555 20404\r\n"s, v2 = "\r\n\r\n\0\r\nQUIT\n"s;
    const auto ipv6 = "\x20\x01\x0d\xb8"s + std::string(11, '\0') + "\x01";  // 2001:db8::1
    using Case = std::tuple<in_addr_t, std::string, std::string, std::string, std::string>;
    for (const auto& [from, sent, reply, address, logged] : std::vector<Case>{
             {1, v1 + "PEL_beta", kGreeting + kBeta, "192.0.2.7:5555", "\"beta\" record"},
             {1, v2 + "\x21\x21\0\x24"s + ipv6 + ipv6 + "\x15\xb4\0\x01PEL_acme-filial"s,
              kGreeting + kAcmeBranch, "[2001:db8::1]:5556", "\"acme-filial\" record"},
             // The balancer's own checks name no client.
             {1, v2 + "\x20\0\0\0PEL_velha"s, kGreeting + kRefusal,
              "127.0.0.1:", "\"velha\" cancelled"},
             {1, "PROXY TCP4 192.0.2.300 127.0.0.1 1 2\r\n", "",
              "127.0.0.1:", " - bad-proxy-header"},
             {1, "PROXY " + std::string(200, '1'), "", "127.0.0.1:", " - bad-proxy-header"},
             {1, v2 + "\x21\x11\xff\xff", "", "127.0.0.1:", " - bad-proxy-header"},
             {1, "PEL_beta", "", "127.0.0.1:", "\"beta\" bad-proxy-header"},
             {2, v1 + "PEL_beta", kGreeting + kRefusal, "127.0.0.2:", " - not-a-request"},
         }) {
        Client client(server.port, INADDR_LOOPBACK + from - 1);
        client.send(sent);
        EXPECT_EQ(client.read(), reply) << logged;
        EXPECT_NE(server.nextLog(logged).find("Z " + address), std::string::npos) << address;
    }
}

// Two copies behind HAProxy, which names each client in a PROXY v2 header: a flood from 127.0.0.2
// takes only its own share, and hangups to each copy in turn, while clients ask, lose nothing.
TEST(Balancer, BehindHAProxyEachClientCountsAsItselfAndReloadsOneByOneLoseNoExchange) {
    const std::vector<std::string> limits{"--trusted-proxy", "127.0.0.1", "--max-per-address", "4"};
    const std::string table = std::string(8 << 20, '\n') + kTable;  // slow, for asking meanwhile
    Server first(table, limits), second(table, limits);
    const auto port = Server(kTable).port;  // free: the kernel gave it to a server now gone
    const std::string config = first.table + ".cfg";
    std::ofstream(config)
        << "listen control\n mode tcp\n default-server send-proxy-v2\n bind 127.0.0.1:" << port
        << "\n server a 127.0.0.1:" << first.port << "\n server b 127.0.0.1:" << second.port
        << "\n";
    // As a daemon, it returns once it listens.
    EXPECT_EQ(std::system(("/usr/sbin/haproxy -D -q -p " + config + ".pid -f " + config).c_str()),
              0);
    std::deque<Client> flood;
    int greeted = 0;
    for (int index = 0; index < 40; ++index)
        greeted += flood.emplace_back(port, INADDR_LOOPBACK + 1).read(10) == kGreeting;
    EXPECT_EQ(greeted, 8);  // as many as both copies let in from one address
    for (auto* copy : {&first, &second}) {
        kill(copy->pid, SIGHUP);
        for (int index = 0; index < 10; ++index) {
            Client client(port);
            client.send("PEL_beta");
            EXPECT_EQ(client.read(), kGreeting + kBeta) << "starved, or lost to a reload";
        }
        EXPECT_NE(copy->nextLog("reloaded: 5 records"), "");
    }
    EXPECT_EQ(std::system(("kill $(cat " + config + ".pid) && rm " + config + "*").c_str()), 0);
}

TEST(CommandLine, StartsOnlyWhenItCanServeSafely) {
    using Run = std::tuple<std::vector<std::string>, int, std::string>;
    for (const auto& [options, status, said] : std::vector<Run>{
             {{"--table", ""}, 2, "Usage: " CORVALIS_CONTROL_SERVER_PROGRAM " --table FILE"},
             {{"--listen", "0.0.0.0"}, 2, "add --allow-remote to mean it"},
             {{"--table", "absent"}, 1, "table absent unusable (cannot open"},
             {{"--metrics", "0.0.0.0:9100"}, 2, "refusing to serve metrics on 0.0.0.0"},
             {{"--trusted-proxy", "127.0.0.1/33"}, 2, "--trusted-proxy needs ADDR or ADDR/PREFIX"},
             {{"--request-pause", "0"}, 2, "--request-pause needs a number of milliseconds from 1"},
             {{"--idle-timeout", "1"}, 0, "listening on 127.0.0.1:"},
             {{"--help"}, 0, "Usage: " CORVALIS_CONTROL_SERVER_PROGRAM " --table FILE"},
             {{"--version"}, 0, "corvalis-control-server " CORVALIS_VERSION "\n"},
             {{"--listen", "0.0.0.0", "--allow-remote"}, 0, "listening on 0.0.0.0:"},
         }) {
        Server server(kTable, options);
        server.exitStatus = status;
        EXPECT_NE(server.log.find(said), std::string::npos) << said;
    }
}

}  // namespace
