#pragma once

#include <sys/types.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace corvalis::control_server::testing_support {

// Generous bound for anything the server should do promptly; only reached when a test fails.
inline constexpr std::chrono::milliseconds prompt_reply{5000};

// Path of the server program, given to the test binary as --server=PATH.
std::filesystem::path& server_program();

// The real server program, run as a child with its standard error captured line by line.
class ServerProcess {
public:
    // Starts the program with `arguments` plus "--port 0" and waits until it listens.
    explicit ServerProcess(const std::vector<std::string>& arguments);
    ~ServerProcess();
    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;

    std::uint16_t port() const { return port_; }
    void send_signal(int signal_number) const;

    // True once at least `occurrences` log lines contain `text`.
    bool wait_for_log(std::string_view text, std::size_t occurrences = 1,
                      std::chrono::milliseconds timeout = prompt_reply);
    std::vector<std::string> log_lines() const;

    // Sends SIGTERM and returns the exit status (-1 if the program did not exit normally).
    int stop();

private:
    void collect_log(int log_descriptor);

    pid_t pid_ = -1;
    std::uint16_t port_ = 0;
    std::thread log_reader_;
    mutable std::mutex mutex_;
    std::condition_variable log_grew_;
    std::vector<std::string> lines_;
    bool log_ended_ = false;
};

// Runs the program to completion (for command lines that must be rejected).
struct FinishedRun {
    int exit_status = -1;
    std::string standard_error;
};
FinishedRun run_to_completion(const std::vector<std::string>& arguments);

// A plain blocking loopback client with bounded waits.
class TestClient {
public:
    explicit TestClient(std::uint16_t port);
    ~TestClient();
    TestClient(const TestClient&) = delete;
    TestClient& operator=(const TestClient&) = delete;

    void send(std::string_view bytes);
    // Reads up to `count` bytes, fewer if the server closes or the time runs out.
    std::string read(std::size_t count, std::chrono::milliseconds timeout = prompt_reply);

    struct UntilClosed {
        std::string bytes;
        bool closed_by_server = false;
    };
    UntilClosed read_until_closed(std::chrono::milliseconds timeout = prompt_reply);

private:
    int descriptor_ = -1;
};

// Connects, takes the greeting, sends `request` and returns the reply read until the server
// closes; fails the calling test if any step goes wrong.
std::string exchange(std::uint16_t port, std::string_view request);

// A folder under the test temporary directory, removed with everything in it.
class TemporaryFolder {
public:
    TemporaryFolder();
    ~TemporaryFolder();
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path write(const std::string& name, std::string_view contents) const;

private:
    std::filesystem::path path_;
};

}  // namespace corvalis::control_server::testing_support
