// Stands in for xfreerdp: writes "program=" and the name it was started as, each argument on a line
// of its own, then "stdin=" and all its standard input held, to the file named by
// CORVALIS_RDP_RECORD.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>

int main(int argc, char* argv[]) {
    const char* recordPath = std::getenv("CORVALIS_RDP_RECORD");
    if (recordPath == nullptr) {
        return 2;
    }
    std::string record = std::string("program=") + basename(argv[0]) + '\n';
    for (int i = 1; i < argc; ++i) {
        record += std::string(argv[i]) + '\n';
    }
    record += "stdin=" + std::string(std::istreambuf_iterator<char>(std::cin), {});
    // Written aside, then renamed: the record appears whole or not at all.
    const std::string partial = std::string(recordPath) + ".partial";
    std::ofstream(partial, std::ios::binary) << record;
    return std::rename(partial.c_str(), recordPath) == 0 ? 0 : 3;
}
