#include "request_gathering.hpp"

#include <algorithm>

#include "protocol.hpp"

namespace corvalis::control_server {

RequestVerdict judgeRequest(std::string_view received, const AccessTable& table, bool ended) {
    const auto compared = std::min(received.size(), kRequestPrefix.size());
    if (received.substr(0, compared) != kRequestPrefix.substr(0, compared)) {
        return {true, kRefusal, "not-a-request"};
    }
    if (received.size() > kMaxRequestBytes) {
        return {true, kRefusal, "oversize"};
    }
    if (received.size() < kRequestPrefix.size()) {
        return ended ? RequestVerdict{true, kRefusal, "not-a-request"} : RequestVerdict{};
    }
    // A company that a longer identification extends ("acme", "acme-filial"), or bytes that some
    // identification starts with, may still grow into another answer; bytes that no
    // identification starts with never will. The table is sorted: one search tells both.
    const auto lookup = table.find(received.substr(kRequestPrefix.size()));
    if (lookup.extendedByLongerIdentification && !ended) {
        return {};
    }
    switch (lookup.outcome) {
        case LookupOutcome::record:
            return {true, lookup.record, "record"};
        case LookupOutcome::cancelled:
            return {true, kRefusal, "cancelled"};
        case LookupOutcome::unknown:
            break;
    }
    return {true, kRefusal, "unknown"};
}

}  // namespace corvalis::control_server
