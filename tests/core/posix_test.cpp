// Checks against the C library's own Windows-1252 tables and case mapping, and failures that need
// POSIX resource limits.
#include <gtest/gtest.h>
#include <iconv.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <clocale>
#include <cwctype>
#include <filesystem>
#include <fstream>

#include "fakes.hpp"
#include "store/identification_store.hpp"
#include "store/std_file_system.hpp"
#include "text/cp1252.hpp"
#include "text/path.hpp"

namespace corvalis {
namespace {

namespace fs = std::filesystem;

// glibc's converter, independent of ours; empty for the bytes it leaves unassigned.
std::optional<std::string> iconvToUtf8(char byte) {
    iconv_t converter = iconv_open("UTF-8", "WINDOWS-1252");
    char out[8] = {};
    char* inPtr = &byte;
    char* outPtr = out;
    std::size_t inLeft = 1;
    std::size_t outLeft = sizeof out;
    const std::size_t result = iconv(converter, &inPtr, &inLeft, &outPtr, &outLeft);
    iconv_close(converter);
    if (result == static_cast<std::size_t>(-1)) {
        return std::nullopt;
    }
    return std::string(out, sizeof out - outLeft);
}

TEST(Cp1252AgainstTheCLibrary, DecodingAndUpperCaseMatchGlibc) {
    ASSERT_NE(std::setlocale(LC_CTYPE, "C.UTF-8"), nullptr);
    int unassigned = 0;
    for (int value = 0; value < 256; ++value) {
        const char byte = static_cast<char>(value);
        const std::string ours = text::decodeCp1252(std::string(1, byte));
        const auto utf8 = iconvToUtf8(byte);
        if (!utf8) {
            ++unassigned;  // kept as the C1 control of the same value
            EXPECT_EQ(ours, (std::string{'\xC2', byte})) << value;
            continue;
        }
        EXPECT_EQ(ours, *utf8) << value;
        // The upper-case partner, where the page holds one; the byte itself otherwise.
        wchar_t wide = 0;
        ASSERT_GE(std::mbtowc(&wide, utf8->data(), utf8->size()), 0);
        char buffer[8] = {};
        const wchar_t upper = static_cast<wchar_t>(std::towupper(wide));
        const int length = upper == 0 ? 1 : std::wctomb(buffer, upper);
        const std::string partner = text::encodeCp1252(std::string(buffer, length));
        EXPECT_EQ(text::upperCp1252(byte), partner == "?" ? byte : partner[0]) << value;
    }
    EXPECT_EQ(unassigned, 5);
    std::setlocale(LC_CTYPE, "C");
}

// A write that fails half-way (the file size limit) leaves the previous file as it was.
TEST(StdFileSystemFailures, FailedWriteLeavesThePreviousFileIntact) {
    const fs::path folder =
        fs::temp_directory_path() / ("corvalis-fsize-" + std::to_string(getpid()));
    fs::create_directories(folder);
    std::ofstream(folder / "pelmark.ini", std::ios::binary) << "acme\r\n";
    test::FakeView view;
    store::StdFileSystem files;
    store::IdentificationStore store{files, folder.string(), view};
    view.box_ = "a much longer identification";
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    rlimit limited = saved;
    limited.rlim_cur = 8;
    const sighandler_t previousHandler = signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &limited);
    store.tratarIni(false);
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, previousHandler);
    std::ifstream in(folder / "pelmark.ini", std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "acme\r\n");
    EXPECT_EQ(view.messages_, std::vector<std::string>{std::string(store::kStoreFailureMessage)});
    EXPECT_FALSE(fs::exists(folder / "pelmark.ini.tmp"));
    fs::remove_all(folder);
}

TEST(Paths, FilesBesideTheProgramJoinWithOneSlash) {
    EXPECT_EQ(text::joinPath("/opt/corvalis", "pelmark.ini"), "/opt/corvalis/pelmark.ini");
    EXPECT_EQ(text::joinPath("/", "pelmark.ini"), "/pelmark.ini");
}

}  // namespace
}  // namespace corvalis
