// Answer times of the control server, and exchanges under load that must each get one of two
// replies whole (a table reload may happen while they run). Prints one line of figures.
//
//   corvalis-answer-times latency --port P --request TEXT [--expect TEXT] [--count N]
//   corvalis-answer-times paced --port P --request TEXT --expect OLD [--or-expect NEW]
//                               [--clients N] [--duration-ms MS] [--interval-us US]
//   corvalis-answer-times load --port P --request TEXT --expect OLD [--or-expect NEW]
//                              [--clients N] [--duration-ms MS]
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using Options = std::map<std::string, std::string, std::less<>>;

constexpr std::string_view kGreeting = "Conex\xE3o_OK";
constexpr std::size_t kDefaultCount = 200;
constexpr std::size_t kDefaultClients = 16;
constexpr std::chrono::milliseconds kDefaultDuration{10000};
constexpr std::size_t kDefaultPacedClients = 4;
constexpr std::chrono::microseconds kDefaultInterval{1000};

std::size_t numberOption(const Options& options, std::string_view name, std::size_t fallback) {
    const auto found = options.find(name);
    if (found == options.end()) {
        return fallback;
    }
    std::size_t value = fallback;
    std::from_chars(found->second.data(), found->second.data() + found->second.size(), value);
    return value;
}

std::string textOption(const Options& options, std::string_view name) {
    const auto found = options.find(name);
    return found == options.end() ? std::string{} : found->second;
}

// The server and request of a run, and the replies it takes as right.
struct Target {
    std::uint16_t port = 0;
    std::string request;
    std::string expected;
    std::string alsoExpected;  // also right: a reload may swap the record mid-run
};

Target targetOptions(const Options& options) {
    return {static_cast<std::uint16_t>(numberOption(options, "--port", 0)),
            textOption(options, "--request"), textOption(options, "--expect"),
            textOption(options, "--or-expect")};
}

struct Exchange {
    bool greeted = false;
    std::string reply;                       // everything after the greeting, up to the close
    std::chrono::microseconds answerTime{};  // from sending the request to the server's close
    std::chrono::microseconds wholeTime{};   // from connecting to the server's close
};

// Connect, take the greeting, send the request in one write as the client does, read the reply
// until the server closes.
Exchange exchange(std::uint16_t port, std::string_view request) {
    Exchange result;
    const auto connecting = Clock::now();
    const int socket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const sockaddr_in address{AF_INET, htons(port), {htonl(INADDR_LOOPBACK)}, {}};
    if (connect(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        close(socket);
        return result;
    }
    std::string received;
    char chunk[4096];
    ssize_t got = 1;
    while (received.size() < kGreeting.size() &&
           (got = recv(socket, chunk, kGreeting.size() - received.size(), 0)) > 0) {
        received.append(chunk, static_cast<std::size_t>(got));
    }
    result.greeted = received == kGreeting;
    const auto sending = Clock::now();
    if (result.greeted && send(socket, request.data(), request.size(), MSG_NOSIGNAL) ==
                              static_cast<ssize_t>(request.size())) {
        while ((got = recv(socket, chunk, sizeof chunk, 0)) > 0) {
            result.reply.append(chunk, static_cast<std::size_t>(got));
        }
    }
    const auto closed = Clock::now();
    close(socket);
    result.answerTime = std::chrono::duration_cast<std::chrono::microseconds>(closed - sending);
    result.wholeTime = std::chrono::duration_cast<std::chrono::microseconds>(closed - connecting);
    return result;
}

// Sorts the answer times and prints them with the count of wrong replies; fails if any was wrong.
int printTimes(const std::string& request, std::vector<long>& micros, std::size_t wrong) {
    std::sort(micros.begin(), micros.end());
    std::printf("request=%s exchanges=%zu wrong=%zu median_us=%ld p99_us=%ld max_us=%ld\n",
                request.c_str(), micros.size(), wrong, micros[micros.size() / 2],
                micros[micros.size() * 99 / 100], micros.back());
    return wrong == 0 ? 0 : 1;
}

int runLatency(const Options& options) {
    const Target target = targetOptions(options);
    const auto count = std::max<std::size_t>(1, numberOption(options, "--count", kDefaultCount));
    std::vector<long> micros;
    std::size_t wrong = 0;
    for (std::size_t index = 0; index < count; ++index) {
        const auto result = exchange(target.port, target.request);
        micros.push_back(static_cast<long>(result.answerTime.count()));
        if (!result.greeted || (!target.expected.empty() && result.reply != target.expected)) {
            ++wrong;
        }
    }
    return printTimes(target.request, micros, wrong);
}

// Exchanges started on a fixed schedule, one every --interval-us, by whichever of --clients threads
// is free; each answer time counts from when the exchange was due. A server that stalls is so
// charged for every exchange it holds up: one client asking in a loop would show a one-second
// stall as a single slow sample among thousands. Prints a line an exchange: when it was due (ms
// since the epoch), its answer time in microseconds, and 1 if the reply was right, else 0.
int runPaced(const Options& options) {
    const Target target = targetOptions(options);
    const auto clients = numberOption(options, "--clients", kDefaultPacedClients);
    const std::chrono::microseconds interval{
        std::max<std::size_t>(1, numberOption(options, "--interval-us", kDefaultInterval.count()))};
    const std::chrono::milliseconds duration{
        numberOption(options, "--duration-ms", kDefaultDuration.count())};
    const auto count = std::max<std::size_t>(1, duration / interval);
    std::vector<long> micros(count);
    std::vector<char> right(count);
    std::atomic<std::size_t> next{0};
    const auto start = Clock::now();
    const auto startSinceEpoch = std::chrono::system_clock::now().time_since_epoch();
    std::vector<std::jthread> threads;
    for (std::size_t index = 0; index < clients; ++index) {
        threads.emplace_back([&] {
            for (std::size_t taken; (taken = next++) < count;) {
                const auto due = start + interval * taken;
                std::this_thread::sleep_until(due);
                const auto result = exchange(target.port, target.request);
                micros[taken] = static_cast<long>(
                    std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - due)
                        .count());
                right[taken] =
                    result.greeted &&
                    (result.reply == target.expected ||
                     (!target.alsoExpected.empty() && result.reply == target.alsoExpected));
            }
        });
    }
    threads.clear();
    for (std::size_t index = 0; index < count; ++index) {
        const auto dueSinceEpoch = std::chrono::duration_cast<std::chrono::milliseconds>(
            startSinceEpoch + interval * index);
        std::printf("%lld %ld %d\n", static_cast<long long>(dueSinceEpoch.count()), micros[index],
                    right[index]);
    }
    return std::count(right.begin(), right.end(), 1) == static_cast<std::ptrdiff_t>(count) ? 0 : 1;
}

int runLoad(const Options& options) {
    const Target target = targetOptions(options);
    const auto clients = numberOption(options, "--clients", kDefaultClients);
    const auto end = Clock::now() + std::chrono::milliseconds{numberOption(
                                        options, "--duration-ms", kDefaultDuration.count())};

    std::atomic<std::size_t> first{0};
    std::atomic<std::size_t> second{0};
    std::atomic<std::size_t> wrong{0};
    std::atomic<long> longestMicros{0};
    std::mutex sampleMutex;
    std::string wrongSample;
    std::vector<std::jthread> threads;
    for (std::size_t index = 0; index < clients; ++index) {
        threads.emplace_back([&] {
            while (Clock::now() < end) {
                const auto result = exchange(target.port, target.request);
                const long micros = static_cast<long>(result.wholeTime.count());
                long longest = longestMicros.load();
                while (micros > longest && !longestMicros.compare_exchange_weak(longest, micros)) {
                }
                if (result.greeted && result.reply == target.expected) {
                    ++first;
                } else if (result.greeted && !target.alsoExpected.empty() &&
                           result.reply == target.alsoExpected) {
                    ++second;
                } else {
                    ++wrong;
                    const std::lock_guard lock(sampleMutex);
                    wrongSample = result.greeted ? result.reply.substr(0, 80) : "(no greeting)";
                }
            }
        });
    }
    threads.clear();
    std::printf(
        "exchanges=%zu first_reply=%zu second_reply=%zu wrong=%zu longest_exchange_ms=%.1f%s%s\n",
        first + second + wrong, first.load(), second.load(), wrong.load(),
        static_cast<double>(longestMicros.load()) / 1000.0, wrong > 0 ? " wrong_sample=" : "",
        wrongSample.c_str());
    return wrong == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        static_cast<void>(std::fputs(
            "usage: corvalis-answer-times latency|load|paced --port P --request TEXT ...\n",
            stderr));
        return 2;
    }
    const std::string_view mode = argv[1];
    Options options;
    for (int index = 2; index + 1 < argc; index += 2) {
        options[argv[index]] = argv[index + 1];
    }
    if (mode == "latency") {
        return runLatency(options);
    }
    if (mode == "load") {
        return runLoad(options);
    }
    if (mode == "paced") {
        return runPaced(options);
    }
    static_cast<void>(std::fprintf(stderr, "unknown mode %s\n", argv[1]));
    return 2;
}
