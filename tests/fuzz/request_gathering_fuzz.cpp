// The control server's request gathering on arbitrary bytes, fed as they might arrive: whatever it
// answers before the request has ended must stand once it has.
#include <cstdlib>

#include "protocol.hpp"
#include "request_gathering.hpp"

using namespace corvalis::control_server;

// NOLINTNEXTLINE(readability-identifier-naming): the name libFuzzer calls
extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    static const AccessTable table = [] {
        std::vector<TableProblem> problems;
        return AccessTable::parse("acme=1|a|||||||\nacme-filial=2|b|||||||\n!velha=3|c|||||||\n",
                                  problems);
    }();
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    for (std::size_t length = 0; length <= bytes.size(); ++length) {
        const auto early = judgeRequest(bytes.substr(0, length), table, false);
        const auto ended = judgeRequest(bytes.substr(0, length), table, true);
        // An ended request always has its answer; an answer given early is the one the same bytes
        // get at their end, and an early refusal stands whatever follows.
        if (!ended.final || (early.final && early.reply != ended.reply) ||
            (early.final && early.reply == kRefusal &&
             judgeRequest(bytes, table, true).reply != kRefusal)) {
            std::abort();
        }
    }
    return 0;
}
