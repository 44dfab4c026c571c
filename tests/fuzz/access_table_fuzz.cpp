// Any bytes as the control server's table: whatever any line's identification finds is a whole
// record of nine items without a line end, as the server sends it.
#include <algorithm>
#include <sstream>

#include "access_table.hpp"

using namespace corvalis::control_server;

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::vector<TableProblem> problems;
    const AccessTable table = AccessTable::parse(text, problems);
    std::istringstream lines(text);
    bool ok = true;
    for (std::string line; std::getline(lines, line);) {
        const auto found = table.find(std::string_view(line).substr(0, line.find('=')));
        ok = ok && (found.outcome == LookupOutcome::unknown ||
                    (std::count(found.record.begin(), found.record.end(), '|') == 8 &&
                     found.record.find_first_of("\r\n") == std::string_view::npos));
    }
    return ok ? 0 : (__builtin_trap(), 0);
}
