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
constexpr rlim_t spare_descriptors = 32;

// Every connection is a descriptor; the default soft limit (often 1024) would cap the server
// well below what the hard limit allows.
void raise_descriptor_limit(std::size_t max_connections) {
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0) return;
    if (limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        setrlimit(RLIMIT_NOFILE, &limit);
        getrlimit(RLIMIT_NOFILE, &limit);
    }
    if (limit.rlim_cur != RLIM_INFINITY && max_connections + spare_descriptors > limit.rlim_cur)
        log_line("warning: --max-connections " + std::to_string(max_connections) +
                 " is above what the open-file limit of " + std::to_string(limit.rlim_cur) +
                 " allows");
}

}  // namespace

int main(int argc, char** argv) {
    const std::string program_name = argc > 0 ? argv[0] : "corvalis-control-server";
    const auto options = parse_options(std::vector<std::string>(argv + 1, argv + argc));
    if (options.help_requested) {
        std::fputs(usage_text(program_name).c_str(), stdout);
        return 0;
    }
    if (options.version_requested) {
        std::puts("corvalis-control-server " CORVALIS_VERSION);
        return 0;
    }
    if (!options.settings) {
        std::fprintf(stderr, "%s: %s\n%s", program_name.c_str(), options.error.c_str(),
                     usage_text(program_name).c_str());
        return 2;
    }
    const auto& settings = *options.settings;

    const auto path = settings.table_file.string();
    auto load = load_table_reporting_problems(settings.table_file);
    if (!load.table) {
        log_line("table " + path + " unusable (" + load.failure + ")");
        return 1;
    }
    log_line("table " + path + " loaded: " + std::to_string(load.table->size()) + " records, " +
             std::to_string(load.table->cancelled_count()) + " cancelled");

    raise_descriptor_limit(settings.max_connections);
    // A vanished reader of the log must not take the service down with it.
    std::signal(SIGPIPE, SIG_IGN);
    try {
        asio::io_context io(1);
        ControlServer server(io, settings, std::move(load.table));
        server.start();
        log_line("listening on " + endpoint_text(server.local_endpoint()));
        io.run();
    } catch (const std::exception& failure) {
        log_line(std::string("cannot serve: ") + failure.what());
        return 1;
    }
    return 0;
}
