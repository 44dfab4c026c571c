#include "access_table.hpp"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>

#include "text/cp1252.hpp"

namespace corvalis::control_server {
namespace {

constexpr char kCancelledMarker = '!';
constexpr char kCommentMarker = '#';
constexpr char kIdentificationSeparator = '=';
constexpr char kItemSeparator = '|';

bool isBlank(char byte) {
    return byte == ' ' || byte == '\t';
}

// The client lower-cases the identification (Windows-1252) before sending it, so an
// identification holding a capital could never be asked for.
bool hasCapital(std::string_view identification) {
    const std::string text = text::decodeCp1252(identification);
    return text::toLower(text) != text;
}

bool hasControlByte(std::string_view text) {
    return std::any_of(text.begin(), text.end(), [](char byte) {
        const auto value = static_cast<unsigned char>(byte);
        return value < 0x20 || value == 0x7F;
    });
}

std::string checkIdentification(std::string_view identification) {
    if (identification.empty()) {
        return "empty identification";
    }
    if (isBlank(identification.front()) || isBlank(identification.back())) {
        return "identification starts or ends with a blank, which the client never sends";
    }
    if (hasCapital(identification)) {
        return "identification has a capital letter, which the client never sends";
    }
    return {};
}

}  // namespace

AccessTable AccessTable::parse(std::string_view text, std::vector<TableProblem>& problems) {
    AccessTable table;
    std::size_t lineNumber = 0;
    while (!text.empty()) {
        ++lineNumber;
        const auto lineEnd = text.find('\n');
        std::string_view line = text.substr(0, lineEnd);
        text = lineEnd == std::string_view::npos ? std::string_view{} : text.substr(lineEnd + 1);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }

        const auto firstVisible = line.find_first_not_of(" \t");
        if (firstVisible == std::string_view::npos || line[firstVisible] == kCommentMarker) {
            continue;
        }

        const auto report = [&](std::string reason) {
            problems.push_back({lineNumber, std::move(reason)});
        };
        if (hasControlByte(line)) {
            report("control character in line");
            continue;
        }
        AccessEntry entry;
        entry.lineNumber = lineNumber;
        if (line.front() == kCancelledMarker) {
            entry.cancelled = true;
            line.remove_prefix(1);
        }
        const auto separator = line.find(kIdentificationSeparator);
        if (separator == std::string_view::npos) {
            report("no '=' between identification and record");
            continue;
        }
        const auto identification = line.substr(0, separator);
        const auto record = line.substr(separator + 1);
        if (auto reason = checkIdentification(identification); !reason.empty()) {
            report(std::move(reason));
            continue;
        }
        const auto items =
            static_cast<std::size_t>(std::count(record.begin(), record.end(), kItemSeparator)) + 1;
        if (items != kRecordItemCount) {
            report("expected " + std::to_string(kRecordItemCount) +
                   " items separated by '|', found " + std::to_string(items));
            continue;
        }
        entry.identification = identification;
        entry.record = record;
        table.entries_.push_back(std::move(entry));
        table.entries_.back().identification.shrink_to_fit();
    }

    // Stable, so that of two lines naming the same company the first one stays.
    std::stable_sort(table.entries_.begin(), table.entries_.end(),
                     [](const AccessEntry& left, const AccessEntry& right) {
                         return left.identification < right.identification;
                     });
    std::vector<AccessEntry> uniqueEntries;
    uniqueEntries.reserve(table.entries_.size());
    for (auto& entry : table.entries_) {
        if (!uniqueEntries.empty() && uniqueEntries.back().identification == entry.identification) {
            problems.push_back(
                {entry.lineNumber, "identification already given on line " +
                                       std::to_string(uniqueEntries.back().lineNumber)});
            continue;
        }
        uniqueEntries.push_back(std::move(entry));
    }
    table.entries_ = std::move(uniqueEntries);
    return table;
}

Lookup AccessTable::find(std::string_view identification) const {
    const auto found = std::lower_bound(
        entries_.begin(), entries_.end(), identification,
        [](const AccessEntry& entry, std::string_view key) { return entry.identification < key; });
    Lookup lookup;
    auto next = found;
    if (found != entries_.end() && found->identification == identification) {
        lookup.outcome = found->cancelled ? LookupOutcome::cancelled : LookupOutcome::record;
        lookup.record = found->record;
        ++next;
    }
    // In sorted order every identification that extends this one follows it directly.
    lookup.extendedByLongerIdentification =
        next != entries_.end() && next->identification.starts_with(identification);
    return lookup;
}

std::size_t AccessTable::cancelledCount() const {
    return static_cast<std::size_t>(
        std::count_if(entries_.begin(), entries_.end(),
                      [](const AccessEntry& entry) { return entry.cancelled; }));
}

TableLoad loadAccessTable(const std::filesystem::path& file) {
    TableLoad load;
    std::ifstream stream(file, std::ios::binary);
    if (!stream) {
        load.failure = "cannot open: " + std::string(std::strerror(errno));
        return load;
    }
    std::ostringstream contents;
    contents << stream.rdbuf();
    if (stream.bad()) {
        load.failure = "cannot read: " + std::string(std::strerror(errno));
        return load;
    }
    auto table = AccessTable::parse(contents.str(), load.problems);
    if (table.size() == 0) {
        load.failure = "no valid record";
        return load;
    }
    load.table = std::make_shared<const AccessTable>(std::move(table));
    return load;
}

}  // namespace corvalis::control_server
