#include <signal.h>
#include <sys/resource.h>

#include <asio.hpp>
#include <csignal>
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "access_table.hpp"
#include "exchange_log.hpp"
#include "options.hpp"
#include "server.hpp"

namespace {

using namespace corvalis::control_server;

// Descriptors the process needs besides client connections: listener, epoll, signals, stdio.
constexpr rlim_t kSpareDescriptors = 32;

// Every connection is a descriptor; the default soft limit (often 1024) would cap the server
// well below what the hard limit allows.
void raiseDescriptorLimit(std::size_t maxConnections) {
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0) return;
    if (limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        setrlimit(RLIMIT_NOFILE, &limit);
        getrlimit(RLIMIT_NOFILE, &limit);
    }
    if (limit.rlim_cur != RLIM_INFINITY && maxConnections + kSpareDescriptors > limit.rlim_cur)
        logLine("warning: --max-connections " + std::to_string(maxConnections) +
                    " is above what the open-file limit of " + std::to_string(limit.rlim_cur) +
                    " allows",
                LogPriority::warning);
}

// Blocked from the first instruction until the server waits for them, a reload or stop asked
// for during start-up stays pending instead of taking the default action, which ends the
// process; unblocked, it reaches the server. Threads started meanwhile inherit the block.
void setControlSignalsBlocked(bool blocked) {
    sigset_t signals;
    sigemptyset(&signals);
    for (const int handled : {SIGHUP, SIGINT, SIGTERM}) sigaddset(&signals, handled);
    pthread_sigmask(blocked ? SIG_BLOCK : SIG_UNBLOCK, &signals, nullptr);
}

}  // namespace

int main(int argc, char** argv) {
    setControlSignalsBlocked(true);
    const std::string programName = argc > 0 ? argv[0] : "corvalis-control-server";
    const auto options = parseOptions(std::vector<std::string>(argv + 1, argv + argc));
    if (options.helpRequested) {
        static_cast<void>(std::fputs(usageText(programName).c_str(), stdout));
        return 0;
    }
    if (options.versionRequested) {
        std::puts("corvalis-control-server " CORVALIS_VERSION);
        return 0;
    }
    if (!options.settings) {
        static_cast<void>(std::fprintf(stderr, "%s: %s\n%s", programName.c_str(),
                                       options.error.c_str(), usageText(programName).c_str()));
        return 2;
    }
    const auto& settings = *options.settings;

    const auto path = settings.tableFile.string();
    auto load = loadTableReportingProblems(settings.tableFile);
    if (!load.table) {
        logLine("table " + path + " unusable (" + load.failure + ")", LogPriority::error);
        return 1;
    }
    logLine("table " + path + " loaded: " + std::to_string(load.table->size()) + " records, " +
                std::to_string(load.table->cancelledCount()) + " cancelled",
            LogPriority::notice);

    raiseDescriptorLimit(settings.maxConnections);
    // A vanished reader of the log must not take the service down with it.
    static_cast<void>(std::signal(SIGPIPE, SIG_IGN));
    try {
        asio::io_context io(1);
        ControlServer server(io, settings, std::move(load.table));
        server.start();
        logLine("listening on " + endpointText(server.localEndpoint()), LogPriority::notice);
        tellServiceManager("READY=1\nSTATUS=" + tableStatus(*server.table()));
        setControlSignalsBlocked(false);
        io.run();
        // Asio restores the default actions as the server goes: one more stop asked for while it
        // winds down must not turn a clean end into death by signal.
        setControlSignalsBlocked(true);
    } catch (const std::exception& failure) {
        logLine(std::string("cannot serve: ") + failure.what(), LogPriority::error);
        return 1;
    }
    return 0;
}
