#include "access_table.hpp"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>

namespace corvalis::control_server {
namespace {

constexpr char cancelled_marker = '!';
constexpr char comment_marker = '#';
constexpr char identification_separator = '=';
constexpr char item_separator = '|';

bool is_blank(char byte) {
    return byte == ' ' || byte == '\t';
}

// The client lower-cases the identification (Windows-1252) before sending it, so an
// identification holding a capital could never be asked for.
bool is_windows1252_capital(unsigned char byte) {
    if (byte >= 'A' && byte <= 'Z') return true;
    if (byte >= 0xC0 && byte <= 0xDE && byte != 0xD7) return true;
    return byte == 0x8A || byte == 0x8C || byte == 0x8E || byte == 0x9F;
}

bool has_control_byte(std::string_view text) {
    return std::any_of(text.begin(), text.end(), [](char byte) {
        const auto value = static_cast<unsigned char>(byte);
        return value < 0x20 || value == 0x7F;
    });
}

std::string check_identification(std::string_view identification) {
    if (identification.empty()) return "empty identification";
    if (is_blank(identification.front()) || is_blank(identification.back()))
        return "identification starts or ends with a blank, which the client never sends";
    if (std::any_of(identification.begin(), identification.end(), [](char byte) {
            return is_windows1252_capital(static_cast<unsigned char>(byte));
        }))
        return "identification has a capital letter, which the client never sends";
    return {};
}

}  // namespace

AccessTable AccessTable::parse(std::string_view text, std::vector<TableProblem>& problems) {
    AccessTable table;
    std::size_t line_number = 0;
    while (!text.empty()) {
        ++line_number;
        const auto line_end = text.find('\n');
        std::string_view line = text.substr(0, line_end);
        text = line_end == std::string_view::npos ? std::string_view{} : text.substr(line_end + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);

        const auto first_visible = line.find_first_not_of(" \t");
        if (first_visible == std::string_view::npos || line[first_visible] == comment_marker)
            continue;

        const auto report = [&](std::string reason) {
            problems.push_back({line_number, std::move(reason)});
        };
        if (has_control_byte(line)) {
            report("control character in line");
            continue;
        }
        AccessEntry entry;
        entry.line_number = line_number;
        if (line.front() == cancelled_marker) {
            entry.cancelled = true;
            line.remove_prefix(1);
        }
        const auto separator = line.find(identification_separator);
        if (separator == std::string_view::npos) {
            report("no '=' between identification and record");
            continue;
        }
        const auto identification = line.substr(0, separator);
        const auto record = line.substr(separator + 1);
        if (auto reason = check_identification(identification); !reason.empty()) {
            report(std::move(reason));
            continue;
        }
        const auto items =
            static_cast<std::size_t>(std::count(record.begin(), record.end(), item_separator)) + 1;
        if (items != record_item_count) {
            report("expected " + std::to_string(record_item_count) +
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
    std::vector<AccessEntry> unique_entries;
    unique_entries.reserve(table.entries_.size());
    for (auto& entry : table.entries_) {
        if (!unique_entries.empty() &&
            unique_entries.back().identification == entry.identification) {
            problems.push_back(
                {entry.line_number, "identification already given on line " +
                                        std::to_string(unique_entries.back().line_number)});
            continue;
        }
        unique_entries.push_back(std::move(entry));
    }
    table.entries_ = std::move(unique_entries);
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
    lookup.extended_by_longer_identification =
        next != entries_.end() && next->identification.starts_with(identification);
    return lookup;
}

std::size_t AccessTable::cancelled_count() const {
    return static_cast<std::size_t>(
        std::count_if(entries_.begin(), entries_.end(),
                      [](const AccessEntry& entry) { return entry.cancelled; }));
}

TableLoad load_access_table(const std::filesystem::path& file) {
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
