#pragma once

#include <string_view>

#include "access_table.hpp"

namespace corvalis::control_server {

// What the bytes a client has sent so far call for. Nothing marks the end of a request, so the
// server answers as soon as more bytes could not change the answer, and otherwise waits.
struct RequestVerdict {
    bool final = false;        // false: the request may still grow; wait for bytes or the pause
    std::string_view reply;    // the record (it lives in the table) or the refusal
    std::string_view outcome;  // as logged: record, cancelled, unknown, not-a-request, oversize
};

// `ended`: nothing more will come (the request pause has passed or the client closed its side).
RequestVerdict judgeRequest(std::string_view received, const AccessTable& table, bool ended);

}  // namespace corvalis::control_server
