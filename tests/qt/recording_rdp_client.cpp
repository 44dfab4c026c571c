// Stands in for xfreerdp: writes "program=" and the name it was started as, each argument on a line
// of its own, then "stdin=" and what its standard input is, to the file named by
// CORVALIS_RDP_RECORD. The record appears whole or not at all, so a test can wait for it.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char* argv[]) {
    const char* recordPath = std::getenv("CORVALIS_RDP_RECORD");
    if (recordPath == nullptr) {
        return 2;
    }
    const std::string started = argv[0];
    std::string record = "program=" + started.substr(started.find_last_of('/') + 1) + '\n';
    for (int i = 1; i < argc; ++i) {
        record += argv[i];
        record += '\n';
    }
    char input[4096] = {};
    const ssize_t length = readlink("/proc/self/fd/0", input, sizeof input - 1);
    record += "stdin=";
    record += length > 0 ? std::string(input, static_cast<std::size_t>(length)) : "closed";
    record += '\n';

    const std::string partial = std::string(recordPath) + ".partial";
    std::FILE* out = std::fopen(partial.c_str(), "wb");
    if (out == nullptr) {
        return 3;
    }
    std::fwrite(record.data(), 1, record.size(), out);
    std::fclose(out);
    return std::rename(partial.c_str(), recordPath) == 0 ? 0 : 4;
}
