// What needs POSIX: resource limits and the platform's path separator.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "fakes.hpp"
#include "store/identification_store.hpp"
#include "store/std_file_system.hpp"
#include "text/path.hpp"

namespace corvalis {
namespace {

namespace fs = std::filesystem;

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
