#pragma once

#include <cstddef>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace corvalis::control_server {

// Items of an access record; the client reads items 0, 3 and 4.
inline constexpr std::size_t kRecordItemCount = 9;

struct AccessEntry {
    std::string identification;
    std::string record;  // the nine items joined by '|', sent to the client as stored
    bool cancelled = false;
    std::size_t lineNumber = 0;
};

struct TableProblem {
    std::size_t lineNumber = 0;
    std::string reason;
};

enum class LookupOutcome { record, cancelled, unknown };

struct Lookup {
    LookupOutcome outcome = LookupOutcome::unknown;
    std::string_view record;
    // Another identification in the table starts with the one looked up, so a request
    // that stopped here might still be growing.
    bool extendedByLongerIdentification = false;
};

class AccessTable {
public:
    // Malformed lines are described in `problems` and left out of the table.
    static AccessTable parse(std::string_view text, std::vector<TableProblem>& problems);

    Lookup find(std::string_view identification) const;
    std::size_t size() const { return entries_.size(); }
    std::size_t cancelledCount() const;

private:
    std::vector<AccessEntry> entries_;  // sorted by identification
};

struct TableLoad {
    std::shared_ptr<const AccessTable> table;  // null when the file is unusable
    std::vector<TableProblem> problems;
    std::string failure;  // why the file is unusable
};

// A file that cannot be read, or that holds no valid record, is unusable: serving it would
// refuse every company, which is far more likely an accident (a truncated save) than intended.
TableLoad loadAccessTable(const std::filesystem::path& file);

}  // namespace corvalis::control_server
