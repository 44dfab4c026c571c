#include "server_process.hpp"

#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <stdexcept>
#include <string>
#include <system_error>

extern char** environ;

namespace corvalis::control_server::testing_support {
namespace {

constexpr std::string_view listening_marker = "listening on ";
constexpr std::size_t greeting_size = 10;

[[noreturn]] void throw_system_error(const std::string& what) {
    throw std::system_error(errno, std::generic_category(), what);
}

struct SpawnedChild {
    pid_t pid = -1;
    int log_descriptor = -1;
};

SpawnedChild spawn_with_captured_stderr(const std::vector<std::string>& arguments) {
    const auto program = server_program().string();
    if (program.empty()) throw std::runtime_error("the test needs --server=PATH");
    int pipe_ends[2];
    if (pipe2(pipe_ends, O_CLOEXEC) != 0) throw_system_error("pipe2");

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, pipe_ends[1], STDERR_FILENO);
    posix_spawn_file_actions_adddup2(&actions, pipe_ends[1], STDOUT_FILENO);

    std::vector<std::string> command_line{program};
    command_line.insert(command_line.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (auto& argument : command_line) argv.push_back(argument.data());
    argv.push_back(nullptr);

    SpawnedChild child;
    const int spawn_error =
        posix_spawn(&child.pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipe_ends[1]);
    if (spawn_error != 0) {
        close(pipe_ends[0]);
        errno = spawn_error;
        throw_system_error("posix_spawn " + program);
    }
    child.log_descriptor = pipe_ends[0];
    return child;
}

int wait_for_exit(pid_t pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::chrono::milliseconds remaining_until(std::chrono::steady_clock::time_point deadline) {
    return std::max(std::chrono::milliseconds{0},
                    std::chrono::duration_cast<std::chrono::milliseconds>(
                        deadline - std::chrono::steady_clock::now()));
}

}  // namespace

std::filesystem::path& server_program() {
    static std::filesystem::path program;
    return program;
}

ServerProcess::ServerProcess(const std::vector<std::string>& arguments) {
    auto with_port = arguments;
    with_port.insert(with_port.end(), {"--port", "0"});
    const auto child = spawn_with_captured_stderr(with_port);
    pid_ = child.pid;
    log_reader_ =
        std::thread([this, descriptor = child.log_descriptor] { collect_log(descriptor); });
    if (!wait_for_log(listening_marker)) {
        stop();
        std::string log;
        for (const auto& line : log_lines()) log += line + "\n";
        throw std::runtime_error("the server did not start listening:\n" + log);
    }
    for (const auto& line : log_lines()) {
        if (line.find(listening_marker) == std::string::npos) continue;
        port_ = static_cast<std::uint16_t>(std::stoi(line.substr(line.rfind(':') + 1)));
    }
}

ServerProcess::~ServerProcess() {
    if (pid_ > 0) stop();
}

void ServerProcess::send_signal(int signal_number) const {
    kill(pid_, signal_number);
}

void ServerProcess::collect_log(int log_descriptor) {
    std::string pending;
    char chunk[4096];
    for (;;) {
        const auto count = ::read(log_descriptor, chunk, sizeof chunk);
        if (count < 0 && errno == EINTR) continue;
        if (count <= 0) break;
        pending.append(chunk, static_cast<std::size_t>(count));
        std::size_t line_end;
        std::lock_guard lock(mutex_);
        while ((line_end = pending.find('\n')) != std::string::npos) {
            lines_.push_back(pending.substr(0, line_end));
            pending.erase(0, line_end + 1);
        }
        log_grew_.notify_all();
    }
    close(log_descriptor);
    std::lock_guard lock(mutex_);
    if (!pending.empty()) lines_.push_back(pending);
    log_ended_ = true;
    log_grew_.notify_all();
}

bool ServerProcess::wait_for_log(std::string_view text, std::size_t occurrences,
                                 std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    return log_grew_.wait_for(lock, timeout, [&] {
        const auto found = std::count_if(lines_.begin(), lines_.end(), [&](const auto& line) {
            return line.find(text) != std::string::npos;
        });
        return static_cast<std::size_t>(found) >= occurrences || log_ended_;
    }) && std::count_if(lines_.begin(), lines_.end(), [&](const auto& line) {
              return line.find(text) != std::string::npos;
          }) >= static_cast<std::ptrdiff_t>(occurrences);
}

std::vector<std::string> ServerProcess::log_lines() const {
    std::lock_guard lock(mutex_);
    return lines_;
}

int ServerProcess::stop() {
    if (pid_ <= 0) return -1;
    kill(pid_, SIGTERM);
    const int status = wait_for_exit(pid_);
    pid_ = -1;
    if (log_reader_.joinable()) log_reader_.join();
    return status;
}

FinishedRun run_to_completion(const std::vector<std::string>& arguments) {
    const auto child = spawn_with_captured_stderr(arguments);
    FinishedRun run;
    char chunk[4096];
    for (;;) {
        const auto count = ::read(child.log_descriptor, chunk, sizeof chunk);
        if (count < 0 && errno == EINTR) continue;
        if (count <= 0) break;
        run.standard_error.append(chunk, static_cast<std::size_t>(count));
    }
    close(child.log_descriptor);
    run.exit_status = wait_for_exit(child.pid);
    return run;
}

TestClient::TestClient(std::uint16_t port) {
    descriptor_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (descriptor_ < 0) throw_system_error("socket");
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(descriptor_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        close(descriptor_);
        throw_system_error("connect");
    }
}

TestClient::~TestClient() {
    close(descriptor_);
}

void TestClient::send(std::string_view bytes) {
    while (!bytes.empty()) {
        const auto sent = ::send(descriptor_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (sent < 0) {
            if (errno == EINTR) continue;
            throw_system_error("send");
        }
        bytes.remove_prefix(static_cast<std::size_t>(sent));
    }
}

std::string TestClient::read(std::size_t count, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::string bytes;
    while (bytes.size() < count) {
        pollfd readable{descriptor_, POLLIN, 0};
        const int ready = poll(&readable, 1, static_cast<int>(remaining_until(deadline).count()));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) break;
        char chunk[4096];
        const auto received =
            ::recv(descriptor_, chunk, std::min(sizeof chunk, count - bytes.size()), 0);
        if (received <= 0) break;
        bytes.append(chunk, static_cast<std::size_t>(received));
    }
    return bytes;
}

TestClient::UntilClosed TestClient::read_until_closed(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    UntilClosed result;
    for (;;) {
        pollfd readable{descriptor_, POLLIN, 0};
        const int ready = poll(&readable, 1, static_cast<int>(remaining_until(deadline).count()));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) return result;
        char chunk[4096];
        const auto received = ::recv(descriptor_, chunk, sizeof chunk, 0);
        if (received == 0) {
            result.closed_by_server = true;
            return result;
        }
        if (received < 0) return result;
        result.bytes.append(chunk, static_cast<std::size_t>(received));
    }
}

std::string exchange(std::uint16_t port, std::string_view request) {
    TestClient client(port);
    EXPECT_EQ(client.read(greeting_size), "Conex\xE3o_OK");
    client.send(request);
    auto reply = client.read_until_closed();
    EXPECT_TRUE(reply.closed_by_server) << "no close after the reply to " << request;
    return reply.bytes;
}

TemporaryFolder::TemporaryFolder() {
    std::string pattern = (std::filesystem::path(::testing::TempDir()) / "corvalis-XXXXXX");
    if (mkdtemp(pattern.data()) == nullptr) throw_system_error("mkdtemp");
    path_ = pattern;
}

TemporaryFolder::~TemporaryFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::filesystem::path TemporaryFolder::write(const std::string& name,
                                             std::string_view contents) const {
    const auto file = path_ / name;
    std::ofstream stream(file, std::ios::binary | std::ios::trunc);
    stream.write(contents.data(), static_cast<std::streamsize>(contents.size()));
    if (!stream.flush()) throw std::runtime_error("cannot write " + file.string());
    return file;
}

}  // namespace corvalis::control_server::testing_support
