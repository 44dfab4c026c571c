#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "fakes.hpp"
#include "store/identification_store.hpp"
#include "store/std_file_system.hpp"

namespace corvalis::store {
namespace {

namespace fs = std::filesystem;
using Strings = std::vector<std::string>;

std::string readBytes(const fs::path& path) {
    return {std::istreambuf_iterator<char>(std::ifstream(path, std::ios::binary).rdbuf()), {}};
}

// The program's folder is a fresh temporary one, with a blank and an accent in its name.
class StoreOnDisk : public ::testing::Test {
protected:
    StoreOnDisk() { fs::create_directories(folder_); }
    ~StoreOnDisk() override { fs::remove_all(folder_); }

    static std::string utf8(const fs::path& path) {
        const std::u8string text = path.u8string();
        return {text.begin(), text.end()};
    }

    fs::path folder_ = fs::temp_directory_path() / fs::path(u8"corvalis são ") +=
        std::to_string(std::random_device{}());
    fs::path file_ = folder_ / "pelmark.ini";
    test::FakeView view_;
    StdFileSystem files_;
    IdentificationStore store_{files_, utf8(folder_), view_};
};

TEST_F(StoreOnDisk, FirstStartCreatesAnEmptyFileAndLeavesTheBox) {
    view_.box_ = "typed";
    store_.tratarIni(true);
    EXPECT_EQ(std::tuple(fs::exists(file_), readBytes(file_), view_.box_, view_.messages_),
              std::tuple(true, "", "typed", Strings{}));
}

TEST_F(StoreOnDisk, WriteNormalisesInWindows1252WithCrLfAndReadsBack) {
    view_.box_ = "  Acme ";
    store_.tratarIni(false);
    // The box is Connect's business.
    EXPECT_EQ(std::tuple(readBytes(file_), view_.box_), std::tuple("acme\r\n", "  Acme "));

    view_.box_ = "SÃO Paulo € Š";
    store_.tratarIni(false);
    EXPECT_EQ(readBytes(file_), "s\xE3o paulo \x80 \x9A\r\n");
    EXPECT_FALSE(fs::exists(folder_ / "pelmark.ini.tmp"));
    store_.tratarIni(true);
    EXPECT_EQ(std::tuple(view_.box_, view_.messages_), std::tuple("são paulo € š", Strings{}));
}

TEST_F(StoreOnDisk, OnlyTheFirstLineIsReadAndShownUnchanged) {
    for (const auto& [content, shown] : std::vector<std::pair<std::string, std::string>>{
             {"  Hand Edited \r\nsecond\r\n", "  Hand Edited "},
             {"\r\nsecond\r\n", ""},
             {"unix\nsecond\n", "unix"},
             {"no line end", "no line end"},
             {std::string(5000, 'x') + "\r\n", std::string(5000, 'x')}}) {
        std::ofstream(file_, std::ios::binary) << content;
        view_.box_ = "before";
        store_.tratarIni(true);
        EXPECT_EQ(view_.box_, shown) << content;
    }
    EXPECT_TRUE(view_.messages_.empty());
}

// A folder where the file should be: neither read nor written, told each time, the box kept.
TEST_F(StoreOnDisk, FailuresAreReportedEachTimeKeepTheBoxAndLeaveNoTemporary) {
    fs::create_directories(file_ / "inside");
    view_.box_ = "kept";
    store_.tratarIni(true);
    store_.tratarIni(false);
    EXPECT_EQ(std::tuple(view_.box_, view_.messages_, fs::exists(folder_ / "pelmark.ini.tmp")),
              std::tuple("kept", Strings(2, std::string(kStoreFailureMessage)), false));
}

TEST_F(StoreOnDisk, AFolderInTheWayOfTheTemporaryFileFallsBackToWritingInPlace) {
    std::ofstream(file_, std::ios::binary) << "old\r\n";
    fs::create_directory(folder_ / "pelmark.ini.tmp");
    view_.box_ = "new";
    store_.tratarIni(false);
    EXPECT_EQ(std::tuple(readBytes(file_), view_.messages_), std::tuple("new\r\n", Strings{}));
}

}  // namespace
}  // namespace corvalis::store
