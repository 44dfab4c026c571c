// What needs POSIX: resource limits and the platform's path separator.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <filesystem>

#include "store/std_file_system.hpp"
#include "text/path.hpp"

namespace corvalis {
namespace {

namespace fs = std::filesystem;

// A write that fails half-way (the file size limit) or may not be made leaves the previous file as
// it was.
TEST(StdFileSystemFailures, FailedOrForbiddenWriteLeavesThePreviousFileIntact) {
    const fs::path folder =
        fs::temp_directory_path() / ("corvalis-fsize-" + std::to_string(getpid()));
    fs::create_directories(folder);
    const std::string file = (folder / "pelmark.ini").string();
    store::StdFileSystem files;
    ASSERT_TRUE(files.replace(file, "acme\r\n"));
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    const rlimit limited{8, saved.rlim_max};
    const sighandler_t previousHandler = signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &limited);
    const bool replaced = files.replace(file, "a much longer identification\r\n");
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, previousHandler);
    EXPECT_EQ(std::tuple(replaced, files.readOrCreate(file, 64), fs::exists(file + ".tmp")),
              std::tuple(false, std::optional<std::string>("acme\r\n"), false));

    // A file its user may not write keeps its bytes (root is tried as nobody, whom the mode binds),
    // though the folder takes new files; a link is written through to its file, which keeps its
    // mode.
    fs::permissions(file, fs::perms::owner_read | fs::perms::others_read);
    fs::permissions(folder, fs::perms::all);
    EXPECT_EXIT(std::exit((geteuid() == 0 && setuid(65534) != 0) || files.replace(file, "x")),
                testing::ExitedWithCode(0), "");
    EXPECT_EQ(files.readOrCreate(file, 64), std::optional<std::string>("acme\r\n"));
    fs::permissions(file, fs::perms::owner_all);
    fs::create_symlink(file, folder / "link.ini");
    EXPECT_TRUE(files.replace((folder / "link.ini").string(), "via\r\n"));
    EXPECT_EQ(files.readOrCreate(file, 64), std::optional<std::string>("via\r\n"));
    EXPECT_EQ(files.readOrCreate(file, 2), std::optional<std::string>("vi"));
    EXPECT_EQ(fs::status(file).permissions(), fs::perms::owner_all);
    fs::remove_all(folder);
}

TEST(Paths, FilesBesideTheProgramJoinWithOneSlash) {
    EXPECT_EQ(text::joinPath("/opt/corvalis", "pelmark.ini"), "/opt/corvalis/pelmark.ini");
    EXPECT_EQ(text::joinPath("/", "pelmark.ini"), "/pelmark.ini");
}

}  // namespace
}  // namespace corvalis
